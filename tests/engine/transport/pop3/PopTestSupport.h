// Shared pieces of the POP3 client tests: an observer that records every
// notification (and the mail handed over), and a fixture with an account on
// top of the common transport fixture.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <list>
#include <string>
#include <vector>

#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/PopClient.h"
#include "tests/support/TransportFixture.h"

namespace qv::test {

using PopEvent = NotifyEvent;

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

class PopTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    if (HasFatalFailure()) return;
    account_.popServerName = L"pop.example.com";
    account_.popUserName = L"user";
    account_.popPassword = L"pw";
  }
  static std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

  MailAccount account_;
};

}  // namespace qv::test
