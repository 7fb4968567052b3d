// Shared pieces of the SMTP client tests: an observer that records every
// notification, and a fixture with an account and one message on top of the
// common transport fixture.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/public/content/RawEmail_S.h"
#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/SmtpClient.h"
#include "tests/support/TransportFixture.h"

namespace qv::test {

using SmtpEvent = NotifyEvent;

class SmtpRecorder : public SmtpClient::NotifySmtp {
 public:
  void notify(int message, long w, long l) override { events.push_back({message, w, l}); }
  std::vector<SmtpEvent> events;
};

inline SmtpEvent Accepted() { return {0, 0, 0}; }
inline SmtpEvent Failed(long code) { return {1, code, 0}; }

class SmtpTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    if (HasFatalFailure()) return;
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
    TransportTest::TearDown();
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

  MailAccount account_;
  RawEmail_S mail_;
  std::string text_;
  SmtpRecorder recorder_;
  std::unique_ptr<SmtpClient> client_;
};

}  // namespace qv::test
