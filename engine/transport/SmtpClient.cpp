// The protocol half of SmtpClient: settings, the dialogue loop, EHLO and
// AUTH, POP-before-SMTP. The socket, workers and waits are in
// SmtpClientTransport.cpp.
//
// A submission as postfix answers it (AUTH by the EHLO list, CRAM-MD5 first):
//   S: 220 mail.example.com ESMTP
//   C: EHLO QvMail               S: 250-mail.example.com / 250-AUTH PLAIN LOGIN CRAM-MD5 / 250 8BITMIME
//   C: AUTH CRAM-MD5             S: 334 PDEyMzQ1Ni4xMjM0QG1haWw+
//   C: dXNlciA4ZjE...            S: 235 2.7.0 Authentication successful
//   C: MAIL FROM: <a@b>          S: 250 2.1.0 Ok
//   C: RCPT TO: <c@d>            S: 250 2.1.5 Ok
//   C: DATA                      S: 354 End data with <CR><LF>.<CR><LF>
//   C: (text) \r\n.\r\n          S: 250 2.0.0 Ok: queued as 4ABC
//   C: QUIT                      S: 221 2.0.0 Bye
#include "engine/transport/SmtpClient.h"

#include <cstring>

#include "engine/content/Base64.h"
#include "engine/foundation/QvMiddleError.h"
#include "engine/transport/MailSocket.h"
#include "engine/transport/Md5.h"
#include "engine/transport/PopReply.h"
#include "engine/transport/ProtocolLog.h"
#include "engine/transport/SmtpReply.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"

namespace {

// Longest user name or password whose Base64 form fits the 8192-byte line.
constexpr size_t kMaxCredential = 6141;

bool CodeIs(const std::string& reply, const char* code) { return reply.compare(0, 3, code) == 0; }

// A reply judged in the "EHLO" states.
enum class Ehlo { Refused, Incomplete, Accepted };

Ehlo JudgeEhlo(const std::string& reply) {
  for (const char* code : {"500", "502", "530", "550"}) {
    if (CodeIs(reply, code)) return Ehlo::Refused;
  }
  if (reply.find("250 ") != std::string::npos || reply.find("250\r\n") != std::string::npos) return Ehlo::Accepted;
  return Ehlo::Incomplete;
}

}  // namespace

SmtpClient::SmtpClient() {
  socket_ = new MailSocket();
  log_ = new ProtocolLog();
  wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

SmtpClient::~SmtpClient() {
  closeSocket();
  delete socket_;
  delete log_;
  if (wake_) CloseHandle(wake_);
}

bool SmtpClient::registerNotifySmtp(NotifySmtp* observer) {
  if (observer_ && observer) return false;
  observer_ = observer;
  return true;
}

void SmtpClient::notifySmtp(int /*ignored*/) {
  if (observer_) observer_->notify(0, 0, 0);
}

void SmtpClient::setAccount(MailAccount* account, void* connection) {
  senderAddress_.clear();
  popUser_.clear();
  popPassword_.clear();
  popServer_.clear();
  smtpServer_.clear();
  smtpUser_.clear();
  smtpPassword_.clear();
  if (!account) return;
  senderAddress_ = qv::WideToCp932(account->senderAddress);
  popUser_ = qv::WideToCp932(account->popUserName);
  popPassword_ = qv::WideToCp932(account->popPassword);
  popServer_ = qv::WideToCp932(account->popServerName);
  smtpServer_ = qv::WideToCp932(account->smtpServerName);
  popPort_ = account->popPort;
  smtpPort_ = account->smtpPort;
  deleteOnServer_ = account->deleteOnServer;
  popBeforeSmtp_ = account->popBeforeSmtp;
  apop_ = account->apop;
  authMode_ = account->smtpAuthMode;
  smtpUser_ = qv::WideToCp932(account->smtpUserName);
  smtpPassword_ = qv::WideToCp932(account->smtpPassword);
  connection_ = connection;
  popWaitSeconds_ = account->popBeforeSmtpWaitSeconds > 300 ? 60 : account->popBeforeSmtpWaitSeconds;
  if (smtpPort_ == 465) {
    sslMode_ = 1;
    NKDbgPrintfW(L"SmtpClient:: set isSSL ON! \r\n");
  } else if (smtpPort_ == 587) {
    sslMode_ = 2;
    NKDbgPrintfW(L"SmtpClient:: set isStartTls ON! \r\n");
  }
}

// The text is stuffed in place: the caller keeps it alive until it is sent.
void SmtpClient::setMail(RawEmail_S* mail) {
  if (!mail) return;
  envelopeSender_ = mail->sender;
  recipients_ = mail->recipients;
  if (mail->text) smtp::DotStuff(*mail->text);
  text_ = mail->text;
}

void SmtpClient::newConnection() {
  NKDbgPrintfW(L"SmtpClient::newConnection\r\n");
  if (sessionStarted_) return;
  if (smtpServer_.empty()) {
    state_ = 9;
    return;
  }
  static const char kTitle[] = "*** Smtp Protocol Start ";
  log_->start(kTitle, sizeof kTitle - 1);
  cancel_ = false;
  reported_ = false;
  keepReading_ = false;
  if (wake_) ResetEvent(wake_);
  if (authMode_ == 1 && !popServer_.empty()) {
    popDone_ = true;
    sessionStarted_ = true;
    if (const int r = authenticate()) {
      sessionStarted_ = false;
      if (!reported_) errorHandling(r, reply_);
      return;
    }
    log_->write_free("SmtpClient::start wait timer(%d) \r\n", static_cast<int>(popWaitSeconds_));
    bool cancelled = false;
    pauseSeconds(popWaitSeconds_, &cancelled);
    if (cancelled) {
      sessionStarted_ = false;
      errorHandling(QVMDL_ERR_SMTP_CANCELLED, reply_);
      return;
    }
  }
  startSend();
}

int SmtpClient::startSend() {
  sessionStarted_ = true;
  state_ = 0;
  popDone_ = false;
  int r = openSocket(sslMode_ != 0);
  if (!r) r = connectServer(smtpServer_.c_str(), static_cast<int>(smtpPort_));
  if (!r && sslMode_ == 2) {
    r = startTlsExec();
    if (!r) state_ = 26;
  }
  if (!r) r = sendExec();
  if (r) {
    closeSocket();
    sessionStarted_ = false;
    if (!reported_) errorHandling(r, reply_);
  }
  return r;
}

void SmtpClient::sendEmail() {
  reported_ = false;
  if (state_ != 10 || !sessionStarted_) {
    errorHandling(QVMDL_ERR_SMTP_NO_RECIPIENT, reply_);
    return;
  }
  keepReading_ = false;
  const std::string line = "MAIL FROM: <" + envelopeSender_ + ">\r\n";
  state_ = 4;
  int r = sendData(line.c_str()) < 0 ? static_cast<int>(QVMDL_ERR_SMTP_SOCKET) : sendExec();
  if (r) {
    closeSocket();
    sessionStarted_ = false;
    if (!reported_) errorHandling(r, reply_);
  }
}

void SmtpClient::quit() {
  if (cancel_) return;
  if (state_ != 10 && state_ != 11) return;
  sendData("QUIT \r\n");
  sessionStarted_ = false;
  state_ = 9;
  char answer[1024];
  recvData(answer, sizeof answer);
  closeSocket();
}

void SmtpClient::errorHandling(int code, const std::string& /*reply*/) {
  NKDbgPrintfW(L"*SmtpClient::errorHandling() errcode:[%x],status:[%d]\r\n", code, static_cast<int>(state_));
  reported_ = true;
  if (observer_) observer_->notify(1, code, 0);
}

void SmtpClient::logReply() {
  log_->write_free("-[IN (%02d)]", static_cast<int>(reply_.size()));
  log_->write(reply_.data(), static_cast<unsigned>(reply_.size()));
}

int SmtpClient::sendQuit() { return sendData("QUIT\r\n"); }

// The reply's code against the codes the current state accepts; the code
// must stand alone on a last line (a multi-line reply outside "EHLO" is not
// accepted).
bool SmtpClient::responseCheck() const {
  const std::string& r = reply_;
  if (r.size() < 4) return false;
  if (!(r[3] == ' ' || r[3] == '\r' || (r.size() >= 5 && r[4] == '\n'))) return false;
  auto any = [&r](std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
      if (CodeIs(r, code)) return true;
    }
    return false;
  };
  switch (state_) {
    case 0:
      return any({"220", "250"});
    case 3:
    case 15:
    case 18:
      return any({"250", "235"});
    case 4:
    case 5:
    case 28:
      return any({"250", "220"});
    case 7:
      return any({"354", "250"});
    case 10:
      return any({"250"});
    default:
      return false;
  }
}

// The gathered "EHLO" reply: 0 AUTH with a known mechanism, 1 no usable
// reply, 2 AUTH not offered, 3 no known mechanism.
int SmtpClient::smtp_ehlo() {
  const std::string& r = ehloReply_;
  mechanisms_ = 0;
  if (r.size() < 4) return 1;
  if (r.find("250-AUTH") == std::string::npos && r.find("250 AUTH") == std::string::npos) {
    if ((r[0] == '1' || r[0] == '2' || r[0] == '3') && (r[3] == ' ' || r[3] == '\0')) return 1;
    if (r[3] != '-') return 1;
    if (r[0] != '5' || r[1] != '0') return 2;
    if (r[2] == '4' || r[2] == '3' || r[2] == '1') return 1;
    return 2;
  }
  if (r.find("LOGIN", 9) != std::string::npos) mechanisms_ |= 1;
  if (r.find("CRAM-MD5", 9) != std::string::npos) mechanisms_ |= 2;
  return mechanisms_ ? 0 : 3;
}

void SmtpClient::smtp_auth() {
  if (authMode_ == 3 || (authMode_ == 2 && (mechanisms_ & 2))) {
    auth_cram_md5();
  } else if (authMode_ == 4 || (authMode_ == 2 && (mechanisms_ & 1))) {
    auth_login();
  } else {
    state_ = 3;
    sendData("HELO r9post\r\n");
  }
}

int SmtpClient::auth_cram_md5() {
  state_ = 14;
  return sendData("AUTH CRAM-MD5\r\n");
}

int SmtpClient::auth_login() {
  state_ = 16;
  return sendData("AUTH LOGIN\r\n");
}

// Answers with "*" (ending the exchange) unless the server asked; the final
// check then fails.
int SmtpClient::auth_login_user() {
  if (reply_.compare(0, 4, "334 ") != 0) {
    state_ = 18;
    return sendData("*\r\n");
  }
  const std::string line = content::Base64Encode(smtpUser_) + "\r\n";
  return sendData(line.c_str());
}

int SmtpClient::auth_login_pass() {
  if (reply_.compare(0, 4, "334 ") != 0) return sendData("*\r\n");
  const std::string line = content::Base64Encode(smtpPassword_) + "\r\n";
  return sendData(line.c_str());
}

// "334 <base64 challenge>" → base64("user " + HMAC-MD5 hex of the challenge).
int SmtpClient::auth_cram_md5_user() {
  if (reply_.compare(0, 4, "334 ") != 0) {
    sendData("*\r\n");
    sendData("QUIT\r\n");
    state_ = 19;
    return 0;
  }
  size_t end = reply_.find_first_of("\r\n", 4);
  if (end == std::string::npos) end = reply_.size();
  std::string challenge;
  content::Base64DecodeGroup(challenge, reply_.data() + 4, static_cast<int>(end - 4));
  char hex[33];
  HmacMd5Hex(hex, challenge.data(), challenge.size(), smtpPassword_.data(), smtpPassword_.size());
  const std::string line = content::Base64Encode(smtpUser_ + " " + hex) + "\r\n";
  return sendData(line.c_str());
}

// POP-before-SMTP: a POP3 login on the POP server, never over TLS.
//   S: +OK ready <1.2@pop>     C: USER u / PASS p   (or APOP u <digest>)
//   S: +OK                     C: QUIT
int SmtpClient::authenticate() {
  if (const int r = openSocket(false)) return r;
  if (const int r = connectServer(popServer_.c_str(), static_cast<int>(popPort_))) {
    return r == QVMDL_ERR_SMTP_CONNECT ? static_cast<int>(QVMDL_ERR_SMTP_POP_CONNECT) : r;
  }
  state_ = apop_ ? 23 : 20;
  int result = 0;
  while (state_ != 25 && !result) {
    reply_.clear();
    if (const int r = recvData()) {
      result = r;
      break;
    }
    logReply();
    std::string line;
    switch (state_) {
      case 20:
        line = "USER " + popUser_ + "\r\n";
        state_ = 21;
        break;
      case 21:
        if (!pop::StatusOk(reply_)) {
          result = QVMDL_ERR_SMTP_AUTH;
          break;
        }
        line = "PASS " + popPassword_ + "\r\n";
        state_ = 22;
        break;
      case 23: {
        const size_t open = reply_.find('<');
        const size_t close = open == std::string::npos ? open : reply_.find('>', open);
        if (close == std::string::npos) {
          result = QVMDL_ERR_SMTP_AUTH;
          break;
        }
        const std::string stamp = reply_.substr(open, close - open + 1) + popPassword_;
        char digest[33];
        Md5HexString(digest, stamp.c_str());
        line = "APOP " + popUser_ + " " + digest + "\r\n";
        state_ = 22;
        break;
      }
      case 22:
        if (!pop::StatusOk(reply_)) {
          result = QVMDL_ERR_SMTP_AUTH;
          break;
        }
        line = "QUIT \r\n";
        state_ = 24;
        break;
      default:  // 24: the goodbye
        state_ = 25;
        break;
    }
    if (!line.empty() && sendData(line.c_str()) < 0) result = QVMDL_ERR_SMTP_SOCKET;
  }
  if (result == QVMDL_ERR_SMTP_AUTH) sendQuit();
  closeSocket();
  return result;
}

// The dialogue loop: one reply per round, acted on by the state. Returns 0
// when the message was accepted (the session idles in state 10), else the
// code, already reported.
int SmtpClient::sendExec() {
  if (recipients_.empty()) {
    errorHandling(QVMDL_ERR_SMTP_NO_RECIPIENT, std::string());
    return QVMDL_ERR_SMTP_NO_RECIPIENT;
  }
  int pending = 0;
  for (;;) {
    if (!keepReading_) reply_.clear();
    if (cancel_) {
      if (state_ == 10 && !pending) return 0;
      pending = QVMDL_ERR_SMTP_CANCELLED;
    }
    if (pending) {
      if (pending != QVMDL_ERR_SMTP_SOCKET && pending != QVMDL_ERR_SMTP_TIMEOUT && pending != QVMDL_ERR_NET_LINK_LOST) {
        sendQuit();
      }
      errorHandling(pending, reply_);
      return pending;
    }
    if (state_ != 26) {
      const size_t before = keepReading_ ? reply_.size() : 0;
      if (const int r = recvData()) {
        // No reply to the end of data means no proof the message was taken:
        // it is reported as failed so that it stays in the send box.
        errorHandling(r, reply_);
        return r;
      }
      log_->write_free("-[IN (%02d)]", static_cast<int>(reply_.size() - before));
      log_->write(reply_.data() + before, static_cast<unsigned>(reply_.size() - before));
    }
    int sent = 0;
    switch (state_) {
      case 0:
        if (!responseCheck()) {
          pending = QVMDL_ERR_SMTP_UNEXPECTED;
          break;
        }
        [[fallthrough]];
      case 26:
        if (authMode_ <= 1) {
          state_ = 3;
          sent = sendData("HELO QvMail\r\n");
        } else if (smtpUser_.empty() || smtpPassword_.empty() || smtpUser_.size() > kMaxCredential ||
                   smtpPassword_.size() > kMaxCredential) {
          pending = QVMDL_ERR_SMTP_AUTH;
        } else {
          state_ = 13;
          ehloReply_.clear();
          sent = sendData("EHLO QvMail\r\n");
        }
        break;
      case 13:
        ehloReply_ = reply_;
        switch (JudgeEhlo(reply_)) {
          case Ehlo::Refused:
            // No extensions: the mail goes without authentication.
            keepReading_ = false;
            state_ = 3;
            sent = sendData("HELO QvMail\r\n");
            break;
          case Ehlo::Incomplete:
            keepReading_ = true;
            break;
          case Ehlo::Accepted:
            keepReading_ = false;
            switch (smtp_ehlo()) {
              case 0:
                smtp_auth();
                break;
              case 1:
                pending = QVMDL_ERR_SMTP_UNEXPECTED;
                break;
              case 2:
                pending = QVMDL_ERR_SMTP_NO_AUTH;
                break;
              default:
                pending = QVMDL_ERR_SMTP_NO_MECHANISM;
                break;
            }
            break;
        }
        break;
      case 3:
      case 15:
      case 18:
        if (!responseCheck()) {
          pending = state_ == 3 ? QVMDL_ERR_SMTP_UNEXPECTED : QVMDL_ERR_SMTP_AUTH;
          break;
        }
        state_ = 4;
        sent = sendData(("MAIL FROM: <" + envelopeSender_ + ">\r\n").c_str());
        break;
      case 4:
        if (!responseCheck()) {
          pending = QVMDL_ERR_SMTP_ADDRESS;
          break;
        }
        nextRecipient_ = recipients_.begin();
        state_ = 5;
        sent = sendData(("RCPT TO: <" + *nextRecipient_++ + ">\r\n").c_str());
        break;
      case 5:
        if (!responseCheck()) {
          pending = QVMDL_ERR_SMTP_ADDRESS;
          break;
        }
        if (nextRecipient_ != recipients_.end()) {
          sent = sendData(("RCPT TO: <" + *nextRecipient_++ + ">\r\n").c_str());
          break;
        }
        state_ = 7;  // all recipients accepted (6): the data follows
        sent = sendData("DATA\r\n");
        break;
      case 7:
        if (!responseCheck()) {
          pending = QVMDL_ERR_SMTP_UNEXPECTED;
          break;
        }
        if (const int r = sendData()) {
          pending = r;
          break;
        }
        state_ = 10;
        sent = sendData("\r\n.\r\n");
        break;
      case 10:
        if (CodeIs(reply_, "334")) {
          state_ = 11;
          lastReply_ = reply_;
          notifySmtp(0);
          return 0;
        }
        if (!responseCheck()) {
          pending = QVMDL_ERR_SMTP_UNEXPECTED;
          break;
        }
        if (cancel_) log_->write_free("[#1011]:send finish and Abort occured!!\r\n");
        notifySmtp(0);
        return 0;
      case 14:
        state_ = 15;
        sent = auth_cram_md5_user();
        break;
      case 16:
        state_ = 17;
        sent = auth_login_user();
        break;
      case 17:
        state_ = 18;
        sent = auth_login_pass();
        break;
      case 19:
        pending = QVMDL_ERR_SMTP_NO_AUTH;
        break;
      default:
        break;
    }
    if (sent < 0 && !pending) pending = QVMDL_ERR_SMTP_SOCKET;
  }
}
