// Kernel objects shared with a real second process: the test program runs
// itself again with QV_KERNEL_CHILD naming the part the child plays; the child
// plays it before any test starts and exits with the number of failed checks.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "platform/kernel/Sync.h"
#include "tests/support/DeviceRootFixture.h"
#include "tests/support/SelfProcess.h"

namespace {

constexpr const wchar_t* kMutex = L"QvTest.Cross.Mutex";
constexpr const wchar_t* kEvent = L"QvTest.Cross.Event";
constexpr const wchar_t* kReady = L"QvTest.Cross.Ready";
constexpr const wchar_t* kRelease = L"QvTest.Cross.Release";

// ---- the second process ----

int g_childFailures = 0;

void Check(bool ok, const char* what) {
  if (ok) return;
  ++g_childFailures;
  std::fprintf(stderr, "child check failed: %s (last error %u)\n", what, GetLastError());
}

int PlayChild(const std::string& role) {
  if (role == "mutex-busy") {
    HANDLE m = CreateMutexW(nullptr, FALSE, kMutex);
    Check(m != nullptr && GetLastError() == ERROR_ALREADY_EXISTS, "the name is known");
    Check(WaitForSingleObject(m, 50) == WAIT_TIMEOUT, "the mutex is held elsewhere");
    CloseHandle(m);
  } else if (role == "mutex-hold") {
    HANDLE m = CreateMutexW(nullptr, FALSE, kMutex);
    HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, kReady);
    HANDLE release = CreateEventW(nullptr, FALSE, FALSE, kRelease);
    Check(GetLastError() == ERROR_ALREADY_EXISTS, "the events are known");
    Check(WaitForSingleObject(m, 10000) == WAIT_OBJECT_0, "the mutex is taken");
    SetEvent(ready);
    Check(WaitForSingleObject(release, 20000) == WAIT_OBJECT_0, "told to let go");
    Check(ReleaseMutex(m), "the mutex is released");
  } else if (role == "event-set") {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, kEvent);
    Check(GetLastError() == ERROR_ALREADY_EXISTS, "the event is known");
    Check(SetEvent(e), "the event is set");
  } else if (role == "event-open") {
    // Opens the parent's event by name only; it is not made here.
    HANDLE e = OpenEventW(EVENT_ALL_ACCESS, FALSE, kEvent);
    Check(e != nullptr, "the parent's event opens");
    Check(SetEvent(e), "the event is set");
    Check(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"QvTest.NoSuchEvent") == nullptr, "an unknown name does not open");
    Check(GetLastError() == ERROR_FILE_NOT_FOUND, "an unknown name is error 2");
  } else {
    Check(false, "unknown part");
  }
  return g_childFailures;
}

const bool g_child = [] {
  if (const char* role = ::getenv("QV_KERNEL_CHILD")) std::exit(PlayChild(role));
  return false;
}();

// ---- the tests ----

pid_t Spawn(const std::string& role, const std::string& root) {
  return qv::test::SpawnSelf({"QV_KERNEL_CHILD=" + role, "QVMAIL_DEVICE_ROOT=" + root});
}

using CrossProcess = qv::test::DeviceRootTest;

TEST_F(CrossProcess, NamedMutexExcludesAnotherProcess) {
  HANDLE m = CreateMutexW(nullptr, TRUE, kMutex);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(GetLastError(), 0u);
  // The child sees the name (183) and cannot take the mutex we hold.
  EXPECT_EQ(qv::test::WaitExit(Spawn("mutex-busy", root_)), 0);
  ASSERT_TRUE(ReleaseMutex(m));

  // Now the child holds it and we are shut out until it lets go.
  HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, kReady);
  HANDLE release = CreateEventW(nullptr, FALSE, FALSE, kRelease);
  const pid_t child = Spawn("mutex-hold", root_);
  ASSERT_EQ(WaitForSingleObject(ready, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(m, 50), WAIT_TIMEOUT);
  SetEvent(release);
  EXPECT_EQ(qv::test::WaitExit(child), 0);
  EXPECT_EQ(WaitForSingleObject(m, 5000), WAIT_OBJECT_0);
  ReleaseMutex(m);
  CloseHandle(ready);
  CloseHandle(release);
  CloseHandle(m);
}

TEST_F(CrossProcess, NamedEventSignalledByAnotherProcess) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, kEvent);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(GetLastError(), 0u);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
  EXPECT_EQ(qv::test::WaitExit(Spawn("event-set", root_)), 0);
  EXPECT_EQ(WaitForSingleObject(e, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);  // auto-reset took it
  CloseHandle(e);
}

TEST_F(CrossProcess, AnotherProcessOpensAnEventByItsName) {
  HANDLE e = CreateEventW(nullptr, TRUE, FALSE, kEvent);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(qv::test::WaitExit(Spawn("event-open", root_)), 0);
  EXPECT_EQ(WaitForSingleObject(e, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);  // opened, it stays manual-reset
  CloseHandle(e);
}

}  // namespace
