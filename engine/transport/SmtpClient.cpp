// The protocol half of SmtpClient: settings, the dialogue loop, STARTTLS,
// EHLO and AUTH, POP-before-SMTP. The socket, the workers and their wait
// rules are in SmtpClientTransport.cpp.
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
#include "engine/public/transport/SmtpClient.h"

#include <cstring>

#include "engine/content/Base64.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/transport/Md5.h"
#include "engine/transport/PopBeforeSmtp.h"
#include "engine/transport/SmtpReply.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Debug.h"

namespace {

// Longest user name or password whose Base64 form fits the 8192-byte line.
constexpr size_t kMaxCredential = 6141;

bool CodeIs(const std::string& reply, const char* code) { return reply.compare(0, 3, code) == 0; }

// A reply judged in the "EHLO" states: refused as "no extensions here"
// (HELO may follow), failed with any other 4xx or 5xx (the session ends at
// once: no more of this reply will come), incomplete, or accepted.
enum class Ehlo { Refused, Failed, Incomplete, Accepted };

Ehlo JudgeEhlo(const std::string& reply) {
  for (const char* code : {"500", "502", "530", "550"}) {
    if (CodeIs(reply, code)) return Ehlo::Refused;
  }
  if (!reply.empty() && (reply[0] == '4' || reply[0] == '5') && smtp::ReplyComplete(reply)) return Ehlo::Failed;
  if (reply.find("250 ") != std::string::npos || reply.find("250\r\n") != std::string::npos) return Ehlo::Accepted;
  return Ehlo::Incomplete;
}

// EHLO keywords are case-insensitive: "250-starttls" offers TLS as well.
bool OffersStartTls(const std::string& reply) { return smtp::EhloOffers(reply, "STARTTLS"); }

}  // namespace

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
  smtpServer_.clear();
  smtpUser_.clear();
  smtpPassword_.clear();
  popLogin_->SetAccount(MailAccount{}, nullptr);
  if (!account) return;
  senderAddress_ = qv::WideToCp932(account->senderAddress);
  smtpServer_ = qv::WideToCp932(account->smtpServerName);
  smtpPort_ = account->smtpPort;
  popLogin_->SetAccount(*account, connection);
  authMode_ = static_cast<Auth>(account->smtpAuthMode);
  smtpUser_ = qv::WideToCp932(account->smtpUserName);
  smtpPassword_ = qv::WideToCp932(account->smtpPassword);
  connection_ = connection;
  popWaitSeconds_ = account->popBeforeSmtpWaitSeconds > 300 ? 60 : account->popBeforeSmtpWaitSeconds;
  if (smtpPort_ == 465) {
    tls_ = Tls::Implicit;
    NKDbgPrintfW(L"SmtpClient:: set isSSL ON! \r\n");
  } else if (smtpPort_ == 587) {
    tls_ = Tls::StartTls;
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

// Envelope addresses go into command lines: one with a line end or NUL in
// it would add commands of its own.
bool SmtpClient::envelopeSafe() const {
  if (!smtp::EnvelopeAddressSafe(envelopeSender_)) return false;
  for (const std::string& to : recipients_) {
    if (!smtp::EnvelopeAddressSafe(to)) return false;
  }
  return true;
}

// Ports other than 465 and 587 still take STARTTLS when the server offers
// it, before any credential goes out.
bool SmtpClient::opportunisticTls() const { return tls_ == Tls::None && logsIn(); }

void SmtpClient::newConnection() {
  NKDbgPrintfW(L"SmtpClient::newConnection\r\n");
  if (sessionStarted_) return;
  if (smtpServer_.empty()) {
    state_ = SmtpState::Closed;
    return;
  }
  static const char kTitle[] = "*** Smtp Protocol Start ";
  log_.start(kTitle, sizeof kTitle - 1);
  cancel_ = false;
  popLogin_->ForgetCancel();
  idleCancel_ = false;
  reported_ = false;
  if (!envelopeSafe()) {
    errorHandling(QVMDL_ERR_SEND_NO_RECIPIENT);
    return;
  }
  keepReading_ = false;
  worker_.ClearWake();
  if (authMode_ == Auth::PopBeforeSmtp && popLogin_->HasServer()) {
    sessionStarted_ = true;
    if (const uint32_t r = authenticate()) {
      sessionStarted_ = false;
      if (!reported_) errorHandling(r);
      return;
    }
    log_.write_free("SmtpClient::start wait timer(%d) \r\n", static_cast<int>(popWaitSeconds_));
    // One wait step a second; a cancel wakes it at once.
    if (worker_.Pause(popWaitSeconds_, [this] { return cancel_.load(); })) {
      sessionStarted_ = false;
      errorHandling(QVMDL_ERR_SMTP_CANCELLED);
      return;
    }
  }
  startSend();
}

uint32_t SmtpClient::startSend() {
  sessionStarted_ = true;
  state_ = SmtpState::Greeting;
  tlsActive_ = false;
  uint32_t r = openSocket(tls_ != Tls::None || opportunisticTls());
  if (!r) r = connectServer(smtpServer_.c_str(), static_cast<int>(smtpPort_));
  if (!r && tls_ == Tls::StartTls) {
    r = startTlsExec();
    if (!r) state_ = SmtpState::TlsStarted;
  }
  if (!r) r = sendExec();
  if (r) {
    closeSocket();
    sessionStarted_ = false;
    if (!reported_) errorHandling(r);
  }
  return r;
}

void SmtpClient::sendEmail() {
  reported_ = false;
  if (state_ != SmtpState::Accepted || !sessionStarted_) {
    errorHandling(QVMDL_ERR_SMTP_NO_RECIPIENT);
    return;
  }
  // Refused before "MAIL FROM": the session stays idle for quit().
  if (idleCancel_) {
    errorHandling(QVMDL_ERR_SMTP_CANCELLED);
    return;
  }
  if (!envelopeSafe()) {
    errorHandling(QVMDL_ERR_SEND_NO_RECIPIENT);
    return;
  }
  keepReading_ = false;
  // C: MAIL FROM: <sender>   (the next message on the idle session)
  const std::string line = "MAIL FROM: <" + envelopeSender_ + ">\r\n";
  state_ = SmtpState::MailFromAnswer;
  const uint32_t r = sendData(line.c_str()) ? sendExec() : QVMDL_ERR_SMTP_SOCKET;
  if (r) {
    closeSocket();
    sessionStarted_ = false;
    if (!reported_) errorHandling(r);
  }
}

// C: QUIT   S: 221 Bye   (read briefly on this thread)
void SmtpClient::quit() {
  if (cancel_) return;
  if (state_ != SmtpState::Accepted && state_ != SmtpState::Challenged) return;
  sendData("QUIT \r\n");
  sessionStarted_ = false;
  state_ = SmtpState::Closed;
  readGoodbye();
  closeSocket();
}

void SmtpClient::errorHandling(uint32_t code) {
  NKDbgPrintfW(L"*SmtpClient::errorHandling() errcode:[%x],status:[%d]\r\n", code, status());
  reported_ = true;
  if (observer_) observer_->notify(1, static_cast<long>(code), 0);
}

bool SmtpClient::sendQuit() { return sendData("QUIT\r\n"); }

// The reply's code against the codes the current state accepts; the code
// must stand alone on a last line (a multi-line reply outside "EHLO" is not
// accepted, except a greeting, whose last line decides).
bool SmtpClient::responseCheck() const {
  const std::string_view r =
      state_ == SmtpState::Greeting ? std::string_view(reply_).substr(smtp::LastLineStart(reply_)) : reply_;
  if (r.size() < 4) return false;
  if (!(r[3] == ' ' || r[3] == '\r' || (r.size() >= 5 && r[4] == '\n'))) return false;
  auto any = [&r](std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
      if (r.compare(0, 3, code) == 0) return true;
    }
    return false;
  };
  switch (state_) {
    case SmtpState::Greeting:
      return any({"220", "250"});
    case SmtpState::HeloAnswer:
    case SmtpState::CramResult:
    case SmtpState::LoginResult:
      return any({"250", "235"});
    case SmtpState::MailFromAnswer:
    case SmtpState::RcptToAnswer:
    case SmtpState::StartTlsAnswer:
      return any({"250", "220"});
    case SmtpState::DataAnswer:
      return any({"354", "250"});
    case SmtpState::Accepted:
      return any({"250"});
    default:
      return false;
  }
}

// The gathered "EHLO" reply: AUTH with a known mechanism, no usable reply,
// AUTH not offered, or no known mechanism.
SmtpClient::EhloAuth SmtpClient::smtp_ehlo() {
  const std::string& r = ehloReply_;
  mechanisms_ = 0;
  if (r.size() < 4) return EhloAuth::NoUsableReply;
  std::string offered;
  if (!smtp::EhloOffers(r, "AUTH", &offered)) {
    if ((r[0] == '1' || r[0] == '2' || r[0] == '3') && (r[3] == ' ' || r[3] == '\0')) return EhloAuth::NoUsableReply;
    if (r[3] != '-') return EhloAuth::NoUsableReply;
    if (r[0] != '5' || r[1] != '0') return EhloAuth::NotOffered;
    if (r[2] == '4' || r[2] == '3' || r[2] == '1') return EhloAuth::NoUsableReply;
    return EhloAuth::NotOffered;
  }
  // Mechanism names are whole words of the AUTH line, in any case.
  if (smtp::HasWord(offered, "LOGIN")) mechanisms_ |= kLoginOffered;
  if (smtp::HasWord(offered, "CRAM-MD5")) mechanisms_ |= kCramOffered;
  return mechanisms_ ? EhloAuth::Usable : EhloAuth::NoMechanism;
}

// C: AUTH CRAM-MD5 or AUTH LOGIN as the account and the offer decide, else
// HELO. A failed send shows in the reply that does not come.
void SmtpClient::smtp_auth() {
  if (authMode_ == Auth::CramMd5 || (authMode_ == Auth::ByEhlo && (mechanisms_ & kCramOffered))) {
    auth_cram_md5();
  } else if (authMode_ == Auth::Login || (authMode_ == Auth::ByEhlo && (mechanisms_ & kLoginOffered))) {
    auth_login();
  } else {
    state_ = SmtpState::HeloAnswer;
    sendData("HELO r9post\r\n");
  }
}

// C: AUTH CRAM-MD5
bool SmtpClient::auth_cram_md5() {
  state_ = SmtpState::CramAnswer;
  return sendData("AUTH CRAM-MD5\r\n");
}

// C: AUTH LOGIN
bool SmtpClient::auth_login() {
  state_ = SmtpState::LoginUser;
  return sendData("AUTH LOGIN\r\n");
}

// S: 334 VXNlcm5hbWU6   C: base64(user)
// Answers with "*" (ending the exchange) unless the server asked; the final
// check then fails.
bool SmtpClient::auth_login_user() {
  if (reply_.compare(0, 4, "334 ") != 0) {
    state_ = SmtpState::LoginResult;
    return sendData("*\r\n");
  }
  const std::string line = content::Base64Encode(smtpUser_) + "\r\n";
  return sendData(line.c_str());
}

// S: 334 UGFzc3dvcmQ6   C: base64(password)
bool SmtpClient::auth_login_pass() {
  if (reply_.compare(0, 4, "334 ") != 0) return sendData("*\r\n");
  const std::string line = content::Base64Encode(smtpPassword_) + "\r\n";
  return sendData(line.c_str());
}

// S: 334 <base64 challenge>   C: base64("user " + HMAC-MD5 hex of the challenge)
// No challenge: C: * / QUIT, and the session ends without AUTH.
bool SmtpClient::auth_cram_md5_user() {
  if (reply_.compare(0, 4, "334 ") != 0) {
    sendData("*\r\n");
    sendData("QUIT\r\n");
    state_ = SmtpState::CramRefused;
    return true;
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

// POP-before-SMTP: the POP3 client's login on the POP server, then QUIT.
//   S: +OK ready <1.2@pop>   C: CAPA   S: +OK / STLS / .   C: STLS   (TLS)   C: CAPA
//   C: USER u / PASS p   (or APOP u <digest>)   S: +OK   C: QUIT   S: +OK bye
uint32_t SmtpClient::authenticate() {
  if (cancel_) return QVMDL_ERR_SMTP_CANCELLED;
  state_ = SmtpState::PopLogin;
  const uint32_t r = popLogin_->Login();
  if (r) return cancel_ ? static_cast<uint32_t>(QVMDL_ERR_SMTP_CANCELLED) : r;
  state_ = SmtpState::PopDone;
  return cancel_ ? static_cast<uint32_t>(QVMDL_ERR_SMTP_CANCELLED) : 0;
}

// STARTTLS (port 587), right after connect:
//   S: 220 mail ESMTP     C: EHLO QvMail_1
//   S: 250-mail / 250-STARTTLS / 250 8BITMIME      C: STARTTLS
//   S: 220 2.0.0 Ready to start TLS                (handshake; EHLO again in TLS)
// A server that offers no STARTTLS keeps the session in plain text, unless
// the session would log in: then it ends before any credential goes out
// (someone on the way may have stripped the offer).
//   S: 250-mail / 250 AUTH LOGIN   C: QUIT        (0x2002103)
uint32_t SmtpClient::startTlsExec() {
  NKDbgPrintfW(L"[TLS1]SmtpClient::startTls()\r\n");
  state_ = SmtpState::Greeting;
  keepReading_ = false;
  for (;;) {
    if (!keepReading_) reply_.clear();
    const size_t before = reply_.size();
    if (const uint32_t r = recvData()) return r;
    logReceived(before);
    bool sent = true;
    if (state_ == SmtpState::Greeting) {
      state_ = SmtpState::TlsEhloAnswer;
      sent = sendData("EHLO QvMail_1\r\n");
    } else if (state_ == SmtpState::TlsEhloAnswer) {
      const Ehlo judged = JudgeEhlo(reply_);
      if (judged == Ehlo::Refused || judged == Ehlo::Failed) return QVMDL_ERR_SMTP_AUTH;
      keepReading_ = judged == Ehlo::Incomplete;
      if (keepReading_) continue;
      if (!OffersStartTls(reply_)) {
        if (!logsIn()) return 0;
        NKDbgPrintfW(L"SmtpClient:: no STARTTLS offered, no AUTH in plain text\r\n");
        sendQuit();
        return QVMDL_ERR_SMTP_NO_NETWORK;
      }
      state_ = SmtpState::StartTlsAnswer;
      sent = sendData("STARTTLS\r\n");
    } else {
      if (!responseCheck()) {
        NKDbgPrintfW(L"status ResTls ERROR!!\r\n");
        return QVMDL_ERR_SMTP_AUTH;
      }
      state_ = SmtpState::TlsHandshake;
      const uint32_t r = smtp_tls();
      tlsActive_ = r == 0;
      return r;
    }
    if (!sent) return QVMDL_ERR_SMTP_SOCKET;
  }
}

// The dialogue loop: one reply per round, acted on by the state. Returns 0
// when the message was accepted (the session idles in Accepted), else the
// code, already reported.
uint32_t SmtpClient::sendExec() {
  if (recipients_.empty()) {
    errorHandling(QVMDL_ERR_SMTP_NO_RECIPIENT);
    return QVMDL_ERR_SMTP_NO_RECIPIENT;
  }
  uint32_t pending = 0;
  for (;;) {
    if (!keepReading_) reply_.clear();
    if (cancel_) {
      if (state_ == SmtpState::Accepted && !pending) return 0;
      pending = QVMDL_ERR_SMTP_CANCELLED;
    }
    if (pending) return giveUp(pending);
    if (state_ != SmtpState::TlsStarted) {
      const size_t before = keepReading_ ? reply_.size() : 0;
      if (const uint32_t r = recvData()) {
        // No reply to the end of data means no proof the message was taken:
        // it is reported as failed so that it stays in the send box.
        errorHandling(r);
        return r;
      }
      logReceived(before);
    }
    switch (onReply(&pending)) {
      case Turn::Go:
        break;
      case Turn::Accepted:
        return 0;
      case Turn::Ended:
        return pending;
    }
  }
}

// A failed session: "QUIT" while the connection can still carry it, then the code.
uint32_t SmtpClient::giveUp(uint32_t code) {
  if (code != QVMDL_ERR_SMTP_SOCKET && code != QVMDL_ERR_SMTP_TIMEOUT && code != QVMDL_ERR_NET_LINK_LOST) sendQuit();
  errorHandling(code);
  return code;
}

// The reply in reply_, acted on by the state that waited for it. A failure
// goes to `failure` (the loop then ends the session); Accepted ends the
// loop with the message taken, Ended with the session already over.
SmtpClient::Turn SmtpClient::onReply(uint32_t* failure) {
  switch (state_) {
    case SmtpState::Greeting:
      return onGreeting(failure);
    case SmtpState::TlsStarted:
      return greet(failure);
    case SmtpState::EhloAnswer:
      return onEhlo(failure);
    case SmtpState::StartTlsAnswer:
      return onStartTls(failure);
    case SmtpState::CramAnswer:
      // S: 334 <challenge>   C: base64(user digest)
      state_ = SmtpState::CramResult;
      return sent(auth_cram_md5_user(), failure);
    case SmtpState::LoginUser:
      // S: 334 VXNlcm5hbWU6   C: base64(user)
      state_ = SmtpState::LoginPass;
      return sent(auth_login_user(), failure);
    case SmtpState::LoginPass:
      // S: 334 UGFzc3dvcmQ6   C: base64(password)
      state_ = SmtpState::LoginResult;
      return sent(auth_login_pass(), failure);
    case SmtpState::CramRefused:
      return fail(QVMDL_ERR_SMTP_NO_AUTH, failure);
    case SmtpState::HeloAnswer:
    case SmtpState::CramResult:
    case SmtpState::LoginResult:
      return onLoggedIn(failure);
    case SmtpState::MailFromAnswer:
    case SmtpState::RcptToAnswer:
      return onRecipient(failure);
    case SmtpState::DataAnswer:
      return onData(failure);
    case SmtpState::Accepted:
      return onEndOfData(failure);
    default:
      return Turn::Go;
  }
}

// C: (line), and the session waits in `next` for its answer.
SmtpClient::Turn SmtpClient::command(const std::string& line, SmtpState next, uint32_t* failure) {
  state_ = next;
  return sent(sendData(line.c_str()), failure);
}

// A send that failed ends the session.
SmtpClient::Turn SmtpClient::sent(bool ok, uint32_t* failure) {
  if (!ok) *failure = QVMDL_ERR_SMTP_SOCKET;
  return Turn::Go;
}

SmtpClient::Turn SmtpClient::fail(uint32_t code, uint32_t* failure) {
  *failure = code;
  return Turn::Go;
}

// Greeting: S: 220 ready   C: HELO or EHLO
SmtpClient::Turn SmtpClient::onGreeting(uint32_t* failure) {
  if (!responseCheck()) return fail(QVMDL_ERR_SMTP_UNEXPECTED, failure);
  return greet(failure);
}

// After the greeting, or inside TLS after STARTTLS's handshake:
// C: HELO QvMail, or EHLO QvMail when the account logs in.
SmtpClient::Turn SmtpClient::greet(uint32_t* failure) {
  if (!logsIn()) return command("HELO QvMail\r\n", SmtpState::HeloAnswer, failure);
  if (smtpUser_.empty() || smtpPassword_.empty() || smtpUser_.size() > kMaxCredential ||
      smtpPassword_.size() > kMaxCredential) {
    return fail(QVMDL_ERR_SMTP_AUTH, failure);
  }
  ehloReply_.clear();
  return command("EHLO QvMail\r\n", SmtpState::EhloAnswer, failure);
}

// EhloAnswer: S: 250-mail / 250-AUTH LOGIN CRAM-MD5 / 250 8BITMIME   C: AUTH ...
//             S: 502 (no EHLO)                                      C: HELO QvMail
SmtpClient::Turn SmtpClient::onEhlo(uint32_t* failure) {
  ehloReply_ = reply_;
  const Ehlo judged = JudgeEhlo(reply_);
  keepReading_ = judged == Ehlo::Incomplete;
  switch (judged) {
    case Ehlo::Refused:
      // No extensions: the mail goes without authentication.
      return command("HELO QvMail\r\n", SmtpState::HeloAnswer, failure);
    case Ehlo::Failed:
      // S: 554 no service   (nothing more comes: end now)
      return fail(QVMDL_ERR_SMTP_UNEXPECTED, failure);
    case Ehlo::Incomplete:
      return Turn::Go;
    case Ehlo::Accepted:
      break;
  }
  if (opportunisticTls() && !tlsActive_ && OffersStartTls(reply_)) {
    // S: 250-STARTTLS ...   C: STARTTLS   (before any AUTH)
    return command("STARTTLS\r\n", SmtpState::StartTlsAnswer, failure);
  }
  switch (smtp_ehlo()) {
    case EhloAuth::Usable:
      smtp_auth();
      return Turn::Go;
    case EhloAuth::NoUsableReply:
      return fail(QVMDL_ERR_SMTP_UNEXPECTED, failure);
    case EhloAuth::NotOffered:
      return fail(QVMDL_ERR_SMTP_NO_AUTH, failure);
    case EhloAuth::NoMechanism:
      return fail(QVMDL_ERR_SMTP_NO_MECHANISM, failure);
  }
  return Turn::Go;
}

// StartTlsAnswer: S: 220 ready for TLS   (handshake, then EHLO again inside TLS)
SmtpClient::Turn SmtpClient::onStartTls(uint32_t* failure) {
  if (!responseCheck()) {
    NKDbgPrintfW(L"status ResTls ERROR!!\r\n");
    return fail(QVMDL_ERR_SMTP_AUTH, failure);
  }
  state_ = SmtpState::TlsHandshake;
  if (const uint32_t r = smtp_tls()) {
    // The socket is unusable: no QUIT in plain text.
    closeSocket();
    errorHandling(r);
    *failure = r;
    return Turn::Ended;
  }
  tlsActive_ = true;
  state_ = SmtpState::TlsStarted;
  return Turn::Go;
}

// HeloAnswer, CramResult, LoginResult: S: 250 hi / 235 ok   C: MAIL FROM: <sender>
SmtpClient::Turn SmtpClient::onLoggedIn(uint32_t* failure) {
  if (!responseCheck()) {
    return fail(state_ == SmtpState::HeloAnswer ? QVMDL_ERR_SMTP_UNEXPECTED : QVMDL_ERR_SMTP_AUTH, failure);
  }
  return command("MAIL FROM: <" + envelopeSender_ + ">\r\n", SmtpState::MailFromAnswer, failure);
}

// MailFromAnswer, RcptToAnswer: S: 250 ok   C: RCPT TO: <each recipient>, after the last one DATA
SmtpClient::Turn SmtpClient::onRecipient(uint32_t* failure) {
  if (!responseCheck()) return fail(QVMDL_ERR_SMTP_ADDRESS, failure);
  if (state_ == SmtpState::MailFromAnswer) {
    nextRecipient_ = recipients_.begin();
    state_ = SmtpState::RcptToAnswer;
  }
  if (nextRecipient_ != recipients_.end()) {
    return command("RCPT TO: <" + *nextRecipient_++ + ">\r\n", SmtpState::RcptToAnswer, failure);
  }
  return command("DATA\r\n", SmtpState::DataAnswer, failure);
}

// DataAnswer: S: 354 go   C: (text, dot-stuffed) .   in one go: the end of
// data rides with the text.
SmtpClient::Turn SmtpClient::onData(uint32_t* failure) {
  if (!responseCheck()) return fail(QVMDL_ERR_SMTP_UNEXPECTED, failure);
  if (const uint32_t r = sendData()) return fail(r, failure);
  state_ = SmtpState::Accepted;
  return Turn::Go;
}

// Accepted: S: 250 queued   (the session idles for the next message)
SmtpClient::Turn SmtpClient::onEndOfData(uint32_t* failure) {
  if (CodeIs(reply_, "334")) {
    state_ = SmtpState::Challenged;
    lastReply_ = reply_;
    notifySmtp(0);
    return Turn::Accepted;
  }
  if (!responseCheck()) return fail(QVMDL_ERR_SMTP_UNEXPECTED, failure);
  if (cancel_) log_.write_free("[#1011]:send finish and Abort occured!!\r\n");
  notifySmtp(0);
  return Turn::Accepted;
}
