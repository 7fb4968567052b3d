// One SMTP submission session for the outgoing queue, run synchronously on
// the caller's thread: optional POP-before-SMTP login, connect (plain, TLS
// from the first byte on port 465, STARTTLS on port 587), greeting,
// HELO/EHLO, optional AUTH (LOGIN or CRAM-MD5), then per message MAIL FROM,
// RCPT TO for each recipient, DATA, the dot-stuffed text and the end of data;
// QUIT at the end. Each connect, body chunk and reply read runs on a short
// worker thread while the session's thread waits in steps (NetworkWait.h),
// watching cancel and the data connection. Results go to one observer.
//
// Hostile servers are bounded: a reply ends only when its last line is there,
// may not pass kMaxReply bytes, and every wait has its step limit. A STARTTLS
// handshake that fails ends the session: nothing goes out in plain text.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>

#include "engine/QvMiddleExport.h"
#include "engine/content/RawEmail_S.h"
#include "engine/transport/MailAccount.h"
#include "platform/base/WinTypes.h"

class MailSocket;
class ProtocolLog;

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

  // The session state number (for tests and the log).
  int status() const { return state_; }

 private:
  // How a worker wait ended.
  enum class WaitEnd { Done, Cancelled, TimedOut, LinkLost };

  // Transport (SmtpClientTransport.cpp).
  int openSocket(bool secure);
  int closeSocket();
  int connectServer(const char* host, int port);
  int connectServerSub();
  static DWORD connectServerThread(void* self);
  int startTlsExec();
  int smtp_tls();
  int sendData(const char* text);
  int sendData();
  int sendExecThread(const char* data, int length);
  static DWORD sendThread(void* self);
  int recvData();
  int recvData(char* buffer, int size);
  static DWORD recvThread(void* self);
  DWORD receiveReply();
  WaitEnd waitWorker(void* thread, bool watchLink);
  void pauseSeconds(uint32_t seconds, bool* cancelled);

  // Protocol (SmtpClient.cpp).
  int authenticate();
  int startSend();
  int sendExec();
  bool responseCheck() const;
  int smtp_ehlo();
  void smtp_auth();
  int auth_login();
  int auth_login_user();
  int auth_login_pass();
  int auth_cram_md5();
  int auth_cram_md5_user();
  int sendQuit();
  void errorHandling(int code, const std::string& reply);
  void logReply();

  NotifySmtp* observer_ = nullptr;
  ProtocolLog* log_ = nullptr;

  // 8-bit copies of the account (without a trailing NUL here: std::string
  // keeps its own length).
  std::string senderAddress_, popUser_, popPassword_, popServer_, smtpServer_;
  uint32_t popPort_ = 110;
  uint32_t smtpPort_ = 25;
  uint8_t deleteOnServer_ = 0, popBeforeSmtp_ = 0, apop_ = 0;
  uint32_t authMode_ = 0;
  std::string smtpUser_, smtpPassword_;
  uint32_t popWaitSeconds_ = 0;

  std::string envelopeSender_;
  std::list<std::string> recipients_;
  std::list<std::string>::const_iterator nextRecipient_;

  std::atomic<int> state_{0};
  bool sessionStarted_ = false;
  bool popDone_ = false;
  std::atomic<bool> cancel_{false};
  bool reported_ = false;  // the current session's failure went to the observer

  std::string reply_;
  bool keepReading_ = false;
  std::string ehloReply_;
  std::atomic<bool> sendFailed_{false};
  std::atomic<int> recvError_{0};
  std::atomic<bool> replyOverflow_{false};
  std::atomic<bool> workerStop_{false};

  // Body send cursor.
  const char* sendPos_ = nullptr;
  int sendLength_ = 0;
  std::atomic<int> sentBytes_{0};

  std::string lastReply_;
  void* connection_ = nullptr;
  int sslMode_ = 0;  // 0 plain, 1 TLS from connect, 2 STARTTLS
  std::string* text_ = nullptr;
  uint32_t mechanisms_ = 0;  // bit 0 LOGIN, bit 1 CRAM-MD5

  // Transport.
  MailSocket* socket_ = nullptr;
  void* wake_ = nullptr;  // event set by cancel
};
