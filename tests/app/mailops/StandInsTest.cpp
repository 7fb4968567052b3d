// The stand-ins the account operations meet: the receive-timer program the
// periodic receive's notification starts, handing "-t" to the mail program.
#include <filesystem>

#include "app/mailops/AccountOperations.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Notify.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/HandOff.h"
#include "tests/app/mailops/MailOpsFixture.h"

namespace qv::test {
namespace {

class StandInsTest : public MailOpsTest {
 protected:
  void Install(const std::string& built, const std::wstring& device) {
    std::filesystem::copy_file(std::string(::getenv("QV_BINARY_DIR")) + "/outside/" + built, HostOf(device),
                               std::filesystem::copy_options::overwrite_existing);
  }
  static bool WaitNamed(const std::wstring& name) {
    HANDLE e = CreateEventW(nullptr, FALSE, FALSE, name.c_str());
    const bool signalled = WaitForSingleObject(e, 30000) == WAIT_OBJECT_0;
    CloseHandle(e);
    return signalled;
  }
};

TEST_F(StandInsTest, TheReceiveTimerStartsTheMailProgramUnattended) {
  MakeDir(L"\\Windows");
  Install("QvRecvTimer/QvRecvTimer", L"\\Windows\\QvRecvTimer.exe");
  // Whatever stands in for the mail program logs what it was started with.
  Install("DevicePrograms/peghelp", L"\\Windows\\QvMail.exe");
  ApplyRecvTimer(true, 30);
  // As the notification starts it when its time comes.
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(L"\\Windows\\QvRecvTimer.exe", L"-t", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_TRUE(WaitNamed(L"peghelp.Logged"));
  EXPECT_EQ(ReadBytes(L"\\Windows\\QvRecvTimer.log"), "start -t -> QvMail.exe -t\n");
  EXPECT_EQ(ReadBytes(L"\\Windows\\peghelp.log"), "start -t\n");
  ApplyRecvTimer(false, 30);
}

TEST_F(StandInsTest, WithoutTheMailProgramTheTimerSaysSo) {
  MakeDir(L"\\Windows");
  Install("QvRecvTimer/QvRecvTimer", L"\\Windows\\QvRecvTimer.exe");
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(L"\\Windows\\QvRecvTimer.exe", L"-t", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             nullptr, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(ReadBytes(L"\\Windows\\QvRecvTimer.log"), "start -t -> QvMail.exe missing\n");
}

}  // namespace
}  // namespace qv::test
