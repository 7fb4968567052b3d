#include "platform/kernel/Sync.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "tests/support/DeviceRootFixture.h"

namespace {

using Sync = qv::test::DeviceRootTest;

struct TryLock {
  HANDLE mutex;
  DWORD waitMs;
  std::atomic<DWORD> result{0xDEAD};
};

DWORD TryFromThread(LPVOID p) {
  auto* t = static_cast<TryLock*>(p);
  t->result = WaitForSingleObject(t->mutex, t->waitMs);
  if (t->result == WAIT_OBJECT_0) ReleaseMutex(t->mutex);
  return 7;
}

DWORD RunOtherThread(HANDLE mutex, DWORD waitMs) {
  TryLock t{mutex, waitMs};
  HANDLE th = CreateThread(nullptr, 0, TryFromThread, &t, 0, nullptr);
  EXPECT_NE(th, nullptr);
  EXPECT_EQ(WaitForSingleObject(th, 5000), WAIT_OBJECT_0);
  CloseHandle(th);
  return t.result;
}

TEST_F(Sync, NamedMutexIsReentrantAndExcludesOtherThreads) {
  HANDLE m = CreateMutexW(nullptr, TRUE, L"QvTest.Mutex");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // re-entered: count 2
  HANDLE same = CreateMutexW(nullptr, FALSE, L"QvTest.Mutex");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(RunOtherThread(same, 20), WAIT_TIMEOUT);
  ASSERT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(RunOtherThread(same, 20), WAIT_TIMEOUT);  // still held once
  ASSERT_TRUE(ReleaseMutex(m));
  EXPECT_FALSE(ReleaseMutex(m));  // not the owner any more
  EXPECT_EQ(RunOtherThread(same, 1000), WAIT_OBJECT_0);
  CloseHandle(same);
  CloseHandle(m);
  // Once every handle is closed the name is new again.
  HANDLE fresh = CreateMutexW(nullptr, FALSE, L"QvTest.Mutex");
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(fresh);
}

TEST_F(Sync, UnnamedMutexHandsOverOnRelease) {
  HANDLE m = CreateMutexW(nullptr, TRUE, nullptr);
  TryLock t{m, 5000};
  HANDLE th = CreateThread(nullptr, 0, TryFromThread, &t, 0, nullptr);
  Sleep(20);
  EXPECT_EQ(WaitForSingleObject(th, 0), WAIT_TIMEOUT);
  ReleaseMutex(m);
  EXPECT_EQ(WaitForSingleObject(th, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(t.result.load(), WAIT_OBJECT_0);
  CloseHandle(th);
  CloseHandle(m);
}

TEST_F(Sync, AForkedChildIsItsOwnThread) {
  const DWORD parent = GetCurrentThreadId();  // known to this thread from now on
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child's only thread is a new one: a mutex it takes is its own, and
    // the parent's hold on another does not make it an owner.
    HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
    const bool own = GetCurrentThreadId() == static_cast<DWORD>(::getpid()) && GetCurrentThreadId() != parent &&
                     WaitForSingleObject(m, 0) == WAIT_OBJECT_0 && ReleaseMutex(m);
    std::_Exit(own ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

DWORD TakeAndLeave(LPVOID p) { return WaitForSingleObject(static_cast<HANDLE>(p), 0); }

TEST_F(Sync, MutexLeftByAnEndingThreadIsAbandoned) {
  HANDLE m = CreateMutexW(nullptr, FALSE, L"QvTest.Abandoned");
  HANDLE th = CreateThread(nullptr, 0, TakeAndLeave, m, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(th, 5000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeThread(th, &code);
  EXPECT_EQ(code, WAIT_OBJECT_0);  // the thread took it, then ended
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(m));  // ours now
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // reported once only
  ReleaseMutex(m);
  CloseHandle(th);
  CloseHandle(m);
}

// Objects destroyed at exit (a store facade, say) still take mutexes after
// the main thread's own records of held mutexes are gone.
void TakeMutexAtExit() {
  HANDLE m = CreateMutexW(nullptr, FALSE, nullptr);
  const DWORD got = WaitForSingleObject(m, 0);
  ReleaseMutex(m);
  CloseHandle(m);
  std::_Exit(got == WAIT_OBJECT_0 ? 0 : 3);
}

TEST(SyncAtExit, MutexTakenWhileTheProgramEnds) {
  EXPECT_EXIT(
      {
        HANDLE m = CreateMutexW(nullptr, TRUE, nullptr);  // the thread's records now exist
        ReleaseMutex(m);
        CloseHandle(m);
        std::atexit(TakeMutexAtExit);
        std::exit(1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(Sync, EventsManualAndAutoReset) {
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE autoReset = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_TIMEOUT);
  EventModify(autoReset, EVENT_SET);
  HANDLE both[] = {manual, autoReset};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
  // Waiting for all takes nothing unless all are signalled.
  SetEvent(autoReset);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 10), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);  // still set after the failed wait-all
  SetEvent(autoReset);
  SetEvent(manual);
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x5), 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(manual);
  CloseHandle(autoReset);
}

DWORD SetLater(LPVOID p) {
  Sleep(30);
  SetEvent(static_cast<HANDLE>(p));
  return 0;
}

TEST_F(Sync, WaitWakesWhenAnotherThreadSignals) {
  HANDLE e = CreateEventW(nullptr, FALSE, FALSE, L"QvTest.Event.Wake");
  HANDLE th = CreateThread(nullptr, 0, SetLater, e, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 5000), WAIT_OBJECT_0);
  WaitForSingleObject(th, INFINITE);
  CloseHandle(th);
  CloseHandle(e);
}

DWORD ReturnParameter(LPVOID p) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)); }

TEST_F(Sync, SuspendedThreadRunsAfterResume) {
  DWORD id = 0;
  HANDLE th = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(42), CREATE_SUSPENDED, &id);
  ASSERT_NE(th, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0;
  EXPECT_EQ(WaitForSingleObject(th, 30), WAIT_TIMEOUT);
  ASSERT_TRUE(GetExitCodeThread(th, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(ResumeThread(th), 1u);
  EXPECT_EQ(WaitForSingleObject(th, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(th, &code));
  EXPECT_EQ(code, 42u);
  CloseHandle(th);
}

TEST_F(Sync, CriticalSectionsAndCounters) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);  // recursive
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  DeleteCriticalSection(&cs);
  LONG volatile n = 0;
  EXPECT_EQ(InterlockedIncrement(&n), 1);
  EXPECT_EQ(InterlockedDecrement(&n), 0);
  EXPECT_EQ(InterlockedDecrement(&n), -1);
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(::getpid()));
}

TEST_F(Sync, TickCountFollowsTheClockSeam) {
  const DWORD before = GetTickCount();
  qv::seams::AdvanceClock(60000);
  const DWORD after = GetTickCount();
  EXPECT_GE(after - before, 60000u);
  EXPECT_LT(after - before, 70000u);
  Sleep(15);
  EXPECT_GE(GetTickCount() - after, 10u);
}


// ---- opening events by name, thread priorities ----

TEST_F(Sync, OpenEventFindsOnlyAnEventSomeHandleHolds) {
  struct Case {
    const char* what;
    bool created, closedAgain;
    bool opens;
  };
  const Case cases[] = {
      {"never made", false, false, false},
      {"made and held", true, false, true},
      {"made, then every handle closed", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring name = L"QvTest.Open." + std::to_wstring(&c - cases);
    HANDLE made = c.created ? CreateEventW(nullptr, FALSE, FALSE, name.c_str()) : nullptr;
    if (c.closedAgain) CloseHandle(made);
    SetLastError(0);
    HANDLE opened = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    EXPECT_EQ(opened != nullptr, c.opens);
    EXPECT_EQ(GetLastError(), c.opens ? 0u : static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    if (opened) {
      // The same event: what the opened handle sets, the made one sees.
      ASSERT_TRUE(SetEvent(opened));
      EXPECT_EQ(WaitForSingleObject(made, 0), WAIT_OBJECT_0);
      CloseHandle(opened);
    }
    if (made && !c.closedAgain) CloseHandle(made);
  }
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L""), nullptr);
}

struct PriorityProbe {
  HANDLE go;
  std::atomic<int> seen{12345};
};

DWORD ReadOwnPriority(LPVOID p) {
  auto* probe = static_cast<PriorityProbe*>(p);
  WaitForSingleObject(probe->go, 5000);
  probe->seen = GetThreadPriority(GetCurrentThread());
  return 0;
}

TEST_F(Sync, ThreadPrioritiesAreKeptPerThread) {
  HANDLE self = GetCurrentThread();
  EXPECT_EQ(self, GetCurrentThread());  // a pseudo handle, the same every time
  EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_NORMAL);
  const int levels[] = {THREAD_PRIORITY_IDLE, THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_BELOW_NORMAL,
                        THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL,
                        THREAD_PRIORITY_NORMAL};
  for (int level : levels) {
    ASSERT_TRUE(SetThreadPriority(self, level));
    EXPECT_EQ(GetThreadPriority(self), level);
  }
  EXPECT_FALSE(SetThreadPriority(self, 99));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_NORMAL);

  // Another thread's handle sets that thread's level, not this one's.
  PriorityProbe probe;
  probe.go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE th = CreateThread(nullptr, 0, ReadOwnPriority, &probe, 0, nullptr);
  ASSERT_NE(th, nullptr);
  ASSERT_TRUE(SetThreadPriority(th, THREAD_PRIORITY_IDLE));
  EXPECT_EQ(GetThreadPriority(th), THREAD_PRIORITY_IDLE);
  EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_NORMAL);
  SetEvent(probe.go);
  ASSERT_EQ(WaitForSingleObject(th, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(probe.seen.load(), THREAD_PRIORITY_IDLE);
  CloseHandle(th);
  CloseHandle(probe.go);

  HANDLE notAThread = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(GetThreadPriority(notAThread), THREAD_PRIORITY_ERROR_RETURN);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetThreadPriority(notAThread, THREAD_PRIORITY_IDLE));
  CloseHandle(notAThread);
}

// Batch scheduling is the calling thread's alone and keeps its nice value:
// the thread keeps its share, only its wake-ups stop preempting.
TEST_F(Sync, BatchSchedulingIsTheCallingThreadsOwn) {
  const int ownPolicy = sched_getscheduler(0);
  int policy = -1, niceBefore = 0, niceAfter = 1;
  std::thread([&] {
    errno = 0;
    niceBefore = getpriority(PRIO_PROCESS, 0);
    EXPECT_TRUE(qv::SetThreadBatchScheduling());
    policy = sched_getscheduler(0);
    niceAfter = getpriority(PRIO_PROCESS, 0);
  }).join();
  EXPECT_EQ(policy, SCHED_BATCH);
  EXPECT_EQ(niceAfter, niceBefore);
  EXPECT_EQ(sched_getscheduler(0), ownPolicy);
  EXPECT_NE(ownPolicy, SCHED_BATCH);
}

}  // namespace
