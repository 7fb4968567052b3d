// Shared pieces of the SMTP client tests: an observer that records every
// notification, and a fixture with its own device root, a data connection,
// the protocol log switched on, an account and one message.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/content/RawEmail_S.h"
#include "engine/transport/MailAccount.h"
#include "engine/transport/SmtpClient.h"
#include "platform/kernel/Files.h"
#include "platform/net/ConnMgr.h"
#include "platform/testing/Seams.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {

struct SmtpEvent {
  int message;
  long w, l;
  bool operator==(const SmtpEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SmtpEvent& e) {
  return out << "{" << e.message << ", 0x" << std::hex << e.w << std::dec << ", " << e.l << "}";
}

class SmtpRecorder : public SmtpClient::NotifySmtp {
 public:
  void notify(int message, long w, long l) override { events.push_back({message, w, l}); }
  std::vector<SmtpEvent> events;
};

inline SmtpEvent Accepted() { return {0, 0, 0}; }
inline SmtpEvent Failed(long code) { return {1, code, 0}; }

class SmtpTest : public DeviceRootTest {
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
    account_.senderAddress = L"me@example.com";
    account_.smtpServerName = L"smtp.example.com";
    account_.smtpPort = 25;
    mail_.sender = "me@example.com";
    mail_.recipients = {"you@example.com"};
    text_ = "From: me@example.com\r\nTo: you@example.com\r\nSubject: hi\r\n\r\nhello\r\n";
    mail_.text = &text_;
    NewClient();
  }
  void TearDown() override {
    client_.reset();
    if (connection_) ConnMgrReleaseConnection(connection_, 0);
    DeviceRootTest::TearDown();
  }

  // A fresh client (a failed session is not reused) and a clean record.
  void NewClient() {
    recorder_.events.clear();
    client_ = std::make_unique<SmtpClient>();
    ASSERT_TRUE(client_->registerNotifySmtp(&recorder_));
  }

  // One whole session: account, mail, connection.
  void Send() {
    client_->setAccount(&account_, connection_);
    client_->setMail(&mail_);
    client_->newConnection();
  }

  std::string Log() const { return ReadBytes(L"\\Application Data\\QuvoMail\\QvMailLog.txt"); }

  MailAccount account_;
  RawEmail_S mail_;
  std::string text_;
  HANDLE connection_ = nullptr;
  SmtpRecorder recorder_;
  std::unique_ptr<SmtpClient> client_;
};

}  // namespace qv::test
