// POP-before-SMTP for SmtpClient: the POP3 client's own login, so that it
// holds the same rules as receiving does (CAPA first, STLS when offered, a
// failed upgrade never falls back to clear text, USER/PASS or APOP), then
// "QUIT". What it comes to is told in SMTP's codes.
#pragma once

#include <cstdint>

#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/PopClient.h"
#include "platform/base/WinTypes.h"

class PopBeforeSmtp final : private PopClient::NotifyPop {
 public:
  PopBeforeSmtp();
  PopBeforeSmtp(const PopBeforeSmtp&) = delete;
  PopBeforeSmtp& operator=(const PopBeforeSmtp&) = delete;

  // The POP side of `account` (server, port, user, password, APOP); the
  // session runs over `connection`.
  void SetAccount(const MailAccount& account, void* connection);
  bool HasServer() const { return !account_.popServerName.empty(); }
  // Logs in and out again: 0, or the SMTP code of what failed.
  uint32_t Login();
  // Ends a login in progress at once (any thread).
  void Cancel() { client_.cancel(); }
  // A cancel from an earlier session is not this one's.
  void ForgetCancel() { client_.forgetCancel(); }

 private:
  // PopClient with its cancel reset at hand.
  class Client : public PopClient {
   public:
    using PopClient::forgetCancel;
  };

  bool notify(int message, long w, long l) override;

  MailAccount account_;
  HANDLE connection_ = nullptr;  // the link (Connection Manager) the login runs over
  Client client_;
  uint32_t popError_ = 0;
  bool complete_ = false;
};
