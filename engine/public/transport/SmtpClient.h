// One SMTP submission session for the outgoing queue, run synchronously on
// the caller's thread: optional POP-before-SMTP login (the POP3 client's own:
// CAPA first and STLS when offered, never a credential in clear to a server
// that offered TLS), connect (plain, TLS from the first byte on port 465,
// STARTTLS on port 587), greeting,
// HELO/EHLO, optional AUTH (LOGIN or CRAM-MD5; never in plain text when the
// server offers STARTTLS, and never on 587 without it), then per message MAIL FROM,
// RCPT TO for each recipient, DATA, the dot-stuffed text and the end of data;
// QUIT at the end. Each connect, body chunk and reply read runs on a short
// worker thread while the session's thread waits in steps (NetworkWait.h),
// watching cancel and the data connection. Results go to one observer.
//
// Hostile servers are bounded: a reply ends only when its last line is there,
// may not pass kMaxReply bytes, must be whole within its deadline from its
// first byte (NetworkWait.h), and every wait has its step limit. EHLO
// keywords and AUTH mechanisms are matched without regard to case. STARTTLS's
// handshake runs on the worker like any reply (the wait's deadline, the
// cancel); one that fails ends the session: nothing goes out in plain text.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/content/RawEmail_S.h"
#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/MailSocket.h"
#include "engine/public/transport/ProtocolLog.h"
#include "engine/public/transport/SessionWorker.h"
#include "platform/base/WinTypes.h"

class PopBeforeSmtp;

// The SMTP session's states, by the numbers status(), the log and the tests
// know. A state names the reply it waits for ("...Answer") or where the
// session stands; 22 and 25 are the POP-before-SMTP login.
enum class SmtpState : int {
  Greeting = 0,         // S: 220
  HeloAnswer = 3,       // C: HELO
  MailFromAnswer = 4,   // C: MAIL FROM: <sender>
  RcptToAnswer = 5,     // C: RCPT TO: <recipient>
  DataAnswer = 7,       // C: DATA
  Closed = 9,           // no session (never started, or ended by "QUIT")
  Accepted = 10,        // C: (text) .   and, once answered, the session idles
  Challenged = 11,      // the end of data was answered with "334"
  EhloAnswer = 13,      // C: EHLO
  CramAnswer = 14,      // C: AUTH CRAM-MD5
  CramResult = 15,      // C: (CRAM-MD5 answer)
  LoginUser = 16,       // C: AUTH LOGIN
  LoginPass = 17,       // C: (user, base64)
  LoginResult = 18,     // C: (password, base64)
  CramRefused = 19,     // no CRAM-MD5 challenge: "*" and "QUIT" went out
  PopLogin = 22,        // POP: the POP3 client logs in and out
  PopDone = 25,         // POP: the login is over
  TlsStarted = 26,      // STARTTLS done: HELO or EHLO goes out without a reply to read
  TlsEhloAnswer = 27,   // C: EHLO QvMail_1
  StartTlsAnswer = 28,  // C: STARTTLS
  TlsHandshake = 29,    // the handshake after "220"
};

class QVMIDDLE_API SmtpClient {
 public:
  class NotifySmtp {
   public:
    virtual ~NotifySmtp() = default;
    // (0, 0, 0): the current message was accepted; (1, code, 0): the session failed.
    virtual void notify(int message, long w, long l) = 0;
  };

  SmtpClient();
  virtual ~SmtpClient();
  SmtpClient(const SmtpClient&) = delete;
  SmtpClient& operator=(const SmtpClient&) = delete;

  bool registerNotifySmtp(NotifySmtp* observer);
  void notifySmtp(int ignored);
  void setAccount(MailAccount* account, void* connection);
  void setMail(RawEmail_S* mail);
  void newConnection();
  void sendEmail();
  void quit();
  void cancel();

  // The session state number (SmtpState; for tests and the log).
  int status() const { return static_cast<int>(state_.load()); }

 private:
  // How the connection is secured.
  enum class Tls { None, Implicit, StartTls };
  // How the account logs in (MailAccount::smtpAuthMode).
  enum class Auth : uint32_t { None = 0, PopBeforeSmtp = 1, ByEhlo = 2, CramMd5 = 3, Login = 4 };
  // The mechanisms the EHLO list offers (bits of mechanisms_).
  static constexpr uint32_t kLoginOffered = 1, kCramOffered = 2;
  // What one round of the dialogue comes to: go on, the message was taken,
  // or the session is over (already reported).
  enum class Turn { Go, Accepted, Ended };
  // What the gathered "EHLO" reply offers.
  enum class EhloAuth { Usable, NoUsableReply, NotOffered, NoMechanism };

  // Transport (SmtpClientTransport.cpp).
  uint32_t openSocket(bool secure);
  void closeSocket();
  uint32_t connectServer(const char* host, int port);
  uint32_t smtp_tls();
  bool sendData(const char* text);
  uint32_t sendData();
  uint32_t recvData();
  void readGoodbye();
  NetResult receiveReply();
  SessionWorker::Rules waitRules(bool watchLink);
  void logReceived(size_t from);

  // Protocol (SmtpClient.cpp).
  uint32_t authenticate();
  uint32_t startSend();
  uint32_t startTlsExec();
  uint32_t sendExec();
  uint32_t giveUp(uint32_t code);
  Turn onReply(uint32_t* failure);
  Turn command(const std::string& line, SmtpState next, uint32_t* failure);
  Turn sent(bool ok, uint32_t* failure);
  Turn fail(uint32_t code, uint32_t* failure);
  Turn onGreeting(uint32_t* failure);
  Turn greet(uint32_t* failure);
  Turn onEhlo(uint32_t* failure);
  Turn onStartTls(uint32_t* failure);
  Turn onLoggedIn(uint32_t* failure);
  Turn onRecipient(uint32_t* failure);
  Turn onData(uint32_t* failure);
  Turn onEndOfData(uint32_t* failure);
  // The account logs in with AUTH (and so asks for STARTTLS first).
  bool logsIn() const { return static_cast<uint32_t>(authMode_) >= static_cast<uint32_t>(Auth::ByEhlo); }
  bool responseCheck() const;
  EhloAuth smtp_ehlo();
  void smtp_auth();
  bool auth_login();
  bool auth_login_user();
  bool auth_login_pass();
  bool auth_cram_md5();
  bool auth_cram_md5_user();
  bool sendQuit();
  void errorHandling(uint32_t code);
  bool envelopeSafe() const;
  bool opportunisticTls() const;

  NotifySmtp* observer_ = nullptr;
  ProtocolLog log_;

  // 8-bit copies of the account (without a trailing NUL here: std::string
  // keeps its own length).
  std::string senderAddress_, smtpServer_;
  uint32_t smtpPort_ = 25;
  Auth authMode_ = Auth::None;
  std::string smtpUser_, smtpPassword_;
  uint32_t popWaitSeconds_ = 0;

  std::string envelopeSender_;
  std::list<std::string> recipients_;
  std::list<std::string>::const_iterator nextRecipient_;

  std::atomic<SmtpState> state_{SmtpState::Greeting};
  bool sessionStarted_ = false;
  std::atomic<bool> cancel_{false};
  // A cancel while the session idles (or waits for the answer to a finished
  // message): the next message is refused, and quit() still says goodbye.
  std::atomic<bool> idleCancel_{false};
  bool tlsActive_ = false;  // STARTTLS's handshake is done on this session
  bool reported_ = false;  // the current session's failure went to the observer

  std::string reply_;
  bool keepReading_ = false;
  std::string ehloReply_;

  std::string lastReply_;
  HANDLE connection_ = nullptr;  // the link (Connection Manager) the session runs over
  Tls tls_ = Tls::None;
  std::string* text_ = nullptr;
  uint32_t mechanisms_ = 0;  // kLoginOffered, kCramOffered

  // The POP-before-SMTP login (the POP3 client's).
  std::unique_ptr<PopBeforeSmtp> popLogin_;

  // Transport.
  MailSocket socket_;
  SessionWorker worker_{socket_, log_};
};
