// A send of three queued mails into postfix, its process killed before and
// after its file calls in turn: after the next send each mail is stored
// exactly once, in the sent box or, when the server took it but its copy was
// never made, left in the send box marked as sent (never to go again), and
// each was delivered (one whose acceptance the kill cut short may go out
// twice; none is lost). Each point runs in a process of its own, started from a
// copy of the device root with the three mails queued.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/public/transport/Sender.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/testing/Seams.h"
#include "tests/engine/transport/smtp/SenderFixture.h"
#include "tests/support/SelfProcess.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

std::string Queued(int n) { return Mail(qv::FormatA("To: to%d@example.org\r\n", n), qv::FormatA("mail %d\r\n", n)); }

// The child: one send of "Acc", dying at the chosen file call; point 0 only
// counts the calls.
int SendChild() {
  qv::seams::MapHost("smtp.example.com", 25, static_cast<WORD>(std::atoi(std::getenv("QV_SEND_PORT"))));
  const int point = std::atoi(std::getenv("QV_SEND_POINT"));
  std::unique_ptr<QvAccountInfoInterface> account(QvAccountInfoInterface::OpenAccountInfo(L"Acc", L""));
  if (!account) return 2;
  QvRASController ras;
  Sender sender;
  if (point == 0) {
    qv::seams::CountFileCalls();
  } else {
    const bool before = std::getenv("QV_SEND_WHEN")[0] == 'b';
    qv::seams::ArmCrashPoint(point, before ? qv::seams::CrashWhen::kBefore : qv::seams::CrashWhen::kAfter,
                               [](const qv::seams::CrashCall&) { _exit(0); });
  }
  sender.SendMultiMail(account.get(), &ras, L"");
  if (point == 0) std::ofstream(std::getenv("QV_SEND_COUNT")) << qv::seams::FileCalls();
  return 0;
}

const bool g_child = [] {
  if (::getenv("QV_SEND_PORT") != nullptr) std::exit(SendChild());
  return false;
}();

class SendSweep : public SenderTest {
 protected:
  void SetUp() override {
    SenderTest::SetUp();
    if (HasFatalFailure()) return;
    Empty(sent_);
    for (int n = 1; n <= 3; ++n) Queue(Queued(n));
    storage_.reset();
    account_.reset();
    snapshot_ = root_ + "-snapshot";
    fs::copy(root_, snapshot_, fs::copy_options::recursive);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(snapshot_, ignored);
    fs::remove_all(point_, ignored);
    qv::SetDeviceRoot(root_);
    SenderTest::TearDown();
  }

  void FreshPoint() {
    std::error_code ignored;
    if (!point_.empty()) fs::remove_all(point_, ignored);
    point_ = root_ + qv::FormatA("-point%d", ++points_);
    fs::copy(snapshot_, point_, fs::copy_options::recursive);
    qv::SetDeviceRoot(point_);
    peer_.ClearMail();
  }

  int RunChild(int point, bool before) {
    return WaitExit(SpawnSelf({"QV_SEND_PORT=" + std::to_string(peer_.PlainPort()), "QVMAIL_DEVICE_ROOT=" + point_,
                               "QV_SEND_POINT=" + std::to_string(point),
                               std::string("QV_SEND_WHEN=") + (before ? "b" : "a"),
                               "QV_SEND_COUNT=" + point_ + "/calls"}));
  }

  // A send as after a restart, then each mail once in the sent box and
  // delivered at least once.
  void CheckAfterRestart() {
    account_ = Open(L"Acc");
    ASSERT_TRUE(account_);
    storage_.reset(account_->OpenStorage());
    ASSERT_TRUE(storage_) << std::hex << GetQvMiddleError();
    if (!Messages(sendBox_).empty()) Send();
    std::vector<std::string> sent;
    for (unsigned long id : Messages(sent_)) sent.push_back(WithoutCr(Raw(id)));
    for (unsigned long id : Messages(sendBox_)) {
      EXPECT_EQ(Attributes(id, QvMessageInterface::kState).state, Sender::kSentNotFiled) << "left unsent: " << id;
      sent.push_back(WithoutCr(Raw(id)));
    }
    std::vector<std::string> queued;
    for (int n = 1; n <= 3; ++n) queued.push_back(WithoutCr(Queued(n)));
    EXPECT_EQ(sent.size(), 3u);
    for (const std::string& mail : queued) {
      EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                              [&](const std::string& copy) { return copy.find(mail.substr(mail.find("\n\n"))) !=
                                                                    std::string::npos; }),
                1)
          << mail;
    }
    const std::vector<std::string> delivered = peer_.WaitForMail(3);
    for (int n = 1; n <= 3; ++n) {
      const std::string body = qv::FormatA("mail %d", n);
      EXPECT_TRUE(std::any_of(delivered.begin(), delivered.end(),
                              [&](const std::string& mail) { return mail.find(body) != std::string::npos; }))
          << body << " never delivered";
    }
    storage_.reset();
    account_.reset();
  }

  std::string snapshot_, point_;
  int points_ = 0;
};

// Every 59th file call of the send (QV_SEND_STRIDE=1: every one).
TEST_F(SendSweep, KilledAtItsFileCallsNoMailLostOrFiledTwice) {
  FreshPoint();
  ASSERT_EQ(RunChild(0, true), 0);
  int calls = 0;
  std::ifstream(point_ + "/calls") >> calls;
  ASSERT_GT(calls, 10);
  const char* stride = std::getenv("QV_SEND_STRIDE");
  const int every = stride != nullptr ? std::max(1, std::atoi(stride)) : 59;
  for (int point = 1; point <= calls; point += every) {
    for (const bool before : {true, false}) {
      SCOPED_TRACE(qv::FormatA("killed %s call %d of %d", before ? "before" : "after", point, calls));
      FreshPoint();
      ASSERT_EQ(RunChild(point, before), 0);
      CheckAfterRestart();
      if (HasFailure()) return;
    }
  }
}

}  // namespace
}  // namespace qv::test
