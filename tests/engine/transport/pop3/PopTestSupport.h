// Shared pieces of the POP3 client tests: an observer that records every
// notification (and the mail handed over), and a fixture with its own device
// root, a data connection, the protocol log switched on, and helpers that
// run one session.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <string>
#include <vector>

#include "engine/transport/MailAccount.h"
#include "engine/transport/PopClient.h"
#include "platform/kernel/Files.h"
#include "platform/net/ConnMgr.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {

struct PopEvent {
  int message;
  long w, l;
  bool operator==(const PopEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const PopEvent& e) {
  return out << "{" << e.message << ", 0x" << std::hex << e.w << std::dec << ", " << e.l << "}";
}

struct FetchedMail {
  int kind;
  std::string text, uid;
};

class PopRecorder : public PopClient::NotifyPop {
 public:
  explicit PopRecorder(PopClient* client) : client_(client) {}
  bool notify(int message, long w, long l) override {
    events.push_back({message, w, l});
    if (message <= PopClient::MSG_PopNewHeader) {
      FetchedMail mail{message, {}, {}};
      client_->getMail(&mail.text, &mail.uid);
      mails.push_back(mail);
    }
    return answer ? answer(message, w, l) : true;
  }
  // The messages only, progress (8) left out.
  std::vector<int> Messages(bool withProgress = false) const {
    std::vector<int> out;
    for (const PopEvent& e : events) {
      if (withProgress || e.message != PopClient::MSG_PopRecvSize) out.push_back(e.message);
    }
    return out;
  }
  // The first error code reported, 0 when none.
  long Error() const {
    for (const PopEvent& e : events) {
      if (e.message == PopClient::MSG_PopErrorOccured) return e.w;
    }
    return 0;
  }

  std::vector<PopEvent> events;
  std::vector<FetchedMail> mails;
  std::function<bool(int, long, long)> answer;

 private:
  PopClient* client_;
};

class PopTest : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    // The protocol log writes only into a file that is already there.
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"\\Application Data\\QuvoMail", nullptr));
    WriteBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt", "");
    CONNMGR_CONNECTIONINFO info{};
    info.cbSize = sizeof info;
    DWORD status = 0;
    ASSERT_EQ(ConnMgrEstablishConnectionSync(&info, &connection_, 1000, &status), S_OK);
    account_.popServerName = L"pop.example.com";
    account_.popUserName = L"user";
    account_.popPassword = L"pw";
  }
  void TearDown() override {
    if (connection_) ConnMgrReleaseConnection(connection_, 0);
    DeviceRootTest::TearDown();
  }

  std::string Log() const { return ReadBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt"); }

  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  MailAccount account_;
  HANDLE connection_ = nullptr;
};

}  // namespace qv::test
