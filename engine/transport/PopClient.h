// One POP3 session for one account, run synchronously on the caller's thread:
// login (USER/PASS or APOP), new mail found by UID, whole or partial fetch,
// deletion on the server, every step reported to one observer. Each connect
// and each response read runs on a short worker thread while the session's
// thread waits in steps (NetworkWait.h), watching cancel, abort and the data
// connection. Port 995 means implicit TLS with the engine's certificate hook.
//
// Hostile servers are bounded: a response longer than its limit, a status line
// without end, numbers out of range and malformed list lines end the session
// with an error; a given-up worker is woken by closing the socket and joined,
// so no thread outlives the session's buffer.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/QvMiddleExport.h"
#include "platform/base/WinTypes.h"
#include "engine/transport/MailAccount.h"

class MailSocket;
class ProtocolLog;

class QVMIDDLE_API PopClient {
 public:
  class NotifyPop {
   public:
    virtual ~NotifyPop() = default;
    virtual bool notify(int message, long w, long l) = 0;
  };

  enum {
    MSG_PopNewMessage = 0,
    MSG_PopNewPartMessage = 1,
    MSG_PopNewHeader = 2,
    MSG_PopErrorOccured = 3,
    MSG_PopComplete = 4,
    MSG_PopAborted = 5,
    MSG_PopCanceled = 6,
    MSG_PopMailBoxSize = 7,
    MSG_PopRecvSize = 8,
    MSG_PopDeleteComplete = 9,
    MSG_PopUpdateStatus = 10,
  };

  PopClient();
  virtual ~PopClient();
  PopClient(const PopClient&) = delete;
  PopClient& operator=(const PopClient&) = delete;

  bool registerNotifyPop(NotifyPop* observer);
  void setPopMode(int mode);
  void setAccount(MailAccount* account, void* connection);
  void setDownloadList(std::list<std::string>& uids);
  void setDeleteList(std::list<std::string>& uids);
  void newConnection();
  void getMail(std::string* text, std::string* uid);
  std::string getLastRecvUid();
  void getUidlList(std::list<std::wstring>& out);
  void quit();
  void cancel();
  void abort();

 private:
  // What the command just sent expects back; it decides when the worker may
  // stop reading and how much it may collect.
  enum class Reply { Line, List, Message };
  // A state handler either sent a command (wait for its answer) or moves on
  // at once without new input.
  enum class Step { Wait, Next };

  // Transport (PopClientTransport.cpp).
  int startRecv();
  int openSocket();
  int connectServer(const char* host, int port);
  int connectServerSub();
  static DWORD connectServerThread(void* self);
  int sendData(const char* text);
  int recvExec();
  int recvData();
  static DWORD recvThread(void* self);
  DWORD receivePiece();
  bool errorHandling(int code, std::string& response);
  int closeSocket();
  void releaseSocket();
  bool checkLimit();
  // Waits for a worker thread in steps; see the definition for the rules.
  enum class WaitEnd { Done, Cancelled, CancelledQuiet, Aborted, TimedOut, LinkLost };
  WaitEnd waitWorker(void* thread, bool receiving);

  // Protocol (PopClient.cpp).
  int incomingData();
  Step handleState(int* error);
  bool responseOk() const;
  int failureCode() const;
  bool notify(int message, long w, long l);
  Step sendCommand(const char* text, int next, int* error);
  Step fail(int code, int* error);
  Step afterMailBoxSize();
  Step onGreeting(int* error);
  Step onUidl(int* error);
  Step onStat(int* error);
  Step onListAll(int* error);
  Step onMessage(int* error);
  Step nextMessage(int* error);
  void bookUids();
  void endSession();
  void resetSession();
  std::string madeUpUid() const;
  size_t messageCount() const;
  uint32_t messageAt(size_t index) const;
  void removeLatest(const std::string& uid);

  NotifyPop* observer_ = nullptr;
  ProtocolLog* log_ = nullptr;

  // Settings (8-bit copies of the account record).
  std::string host_, user_, password_;
  uint32_t port_ = 110;
  uint32_t partialLines_ = 0;
  bool deleteOnServer_ = false;
  bool apop_ = false;
  bool ssl_ = false;
  std::string lastUid_;
  std::unordered_set<std::string> knownUids_;
  void* connection_ = nullptr;
  std::string senderAddress_, smtpServer_, smtpUser_, smtpPassword_;
  uint32_t smtpPort_ = 0;

  // Session.
  int mode_ = 0;
  std::atomic<int> state_{22};
  bool connected_ = false;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> abort_{false};
  bool expecting_ = false;
  bool continues_ = false;
  bool noUidl_ = false;
  bool lastUidFound_ = false;
  bool noKnownUid_ = false;
  bool headerOnly_ = false;
  bool firstLineChecked_ = false;
  bool deletesStarted_ = false;
  int endReason_ = 0;
  uint32_t toProcess_ = 0;
  uint64_t totalSize_ = 0;
  size_t listPos_ = 0;
  size_t receivedPos_ = 0;
  size_t messagePos_ = 0;
  uint32_t processed_ = 0;
  uint64_t receivedBytes_ = 0;
  uint32_t currentNumber_ = 0;
  uint32_t currentSize_ = 0;
  uint32_t lastListSize_ = 0;
  std::string currentUid_;
  std::string currentText_;
  std::string lastRecvUid_;
  int lastError_ = 0;

  struct UidlLine {
    uint32_t number;
    std::string uid;
  };
  std::vector<UidlLine> uidlLines_;
  std::unordered_map<uint32_t, std::string> uidByNumber_;
  std::list<std::string> downloadList_;
  std::vector<uint32_t> messageList_;
  uint32_t statRange_ = 0;  // without UIDL the message list is 1..statRange_
  std::vector<uint32_t> receivedList_;
  std::list<std::string> latestList_;
  std::list<std::string> pendingList_;

  // Transport.
  MailSocket* socket_ = nullptr;
  std::string buffer_;
  Reply reply_ = Reply::Line;
  size_t replyLimit_ = 0;
  std::atomic<bool> socketError_{false};
  std::atomic<bool> overflow_{false};
  std::atomic<bool> workerStop_{false};
  std::atomic<uint64_t> progress_{0};
  int connectResult_ = 0;
  void* wake_ = nullptr;  // event set by cancel and abort
};
