// One POP3 session for one account, run synchronously on the caller's thread:
// login (USER/PASS or APOP), new mail found by UID, whole or partial fetch,
// deletion on the server, every step reported to one observer. Each connect
// and each response read runs on a short worker thread while the session's
// thread waits in steps (NetworkWait.h), watching cancel, abort and the data
// connection. Port 995 means implicit TLS with the engine's certificate hook.
//
// What the caller decides: which messages are new (its known UID list; the
// last UID is only a hint, used alone when the caller has no list), and which
// are stored. The observer's true answer to a new-message notification says
// that the message and its UID are stored for good; only then does its UID
// join the latest list, and only a message fetched whole ("RETR") and so
// confirmed is ever deleted ("DELE"), never one fetched by "TOP". UIDs the
// caller holds only in part (setPartialList) are never deleted. A deleted
// UID leaves the latest list only once "QUIT" was answered "+OK" (before
// that the server keeps the message), and uidlListComplete() says whether
// the latest list stands on a whole UID list of the server at all.
//
// A server that announces PIPELINING (CAPA) gets the sizes of all messages
// by one "LIST" and no "LIST n" per message, and, while mail stays on the
// server, the next message's fetch goes out with the current one's. Replies
// are read in order; bytes of the next reply wait in carry_.
//
// A server without UIDL gets UIDs made from each message's header, read
// with "TOP n 0" (pop::MadeUid), the same in every session.
//
// On port 110 the session asks "CAPA" before it logs in, and a server that
// offers "STLS" gets it: the handshake, "CAPA" again, then the login inside
// TLS. A refused "STLS" or a failed handshake ends the session (0x2002003);
// no credential ever goes in clear to a server that offered TLS. A server
// that offers no TLS (or answers "-ERR" to "CAPA") gets the plain login.
// POP-before-SMTP runs this very login (PopMode::LoginOnly), then "QUIT".
//
// Hostile servers are bounded: a response longer than its limit, a status line
// without end, numbers out of range end the session with an error; every
// response has a deadline of its own (NetworkWait.h: a message's by the size
// "LIST" announced), so a server trickling bytes cannot hold it. A list is
// read as it comes, never whole in memory; a UIDL line that is malformed
// (a blank or control byte, 8-bit bytes, a UID empty or over 70 bytes)
// or repeats a UID or number leaves its message on the server, noted once
// in the protocol log, and the rest is received. A cancel stops a message
// in flight at once: it is dropped, neither stored nor deleted. A given-up
// worker is woken by closing the socket and joined, so no thread outlives
// the session's buffer.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/MailSocket.h"
#include "engine/public/transport/PopUidTable.h"
#include "engine/public/transport/ProtocolLog.h"
#include "engine/public/transport/SessionWorker.h"
#include "platform/base/WinTypes.h"

// The POP3 session's states, by the numbers the log and the tests know. A
// state names the reply it waits for ("...Answer") or the step it takes next
// without new input; the login states come first.
enum class PopState : int {
  Greeting = 0,         // the greeting; USER or APOP goes out
  UserAnswer = 1,       // C: USER
  LoginAnswer = 2,      // C: PASS or APOP
  UidlAnswer = 3,       // C: UIDL (the whole list)
  NextSize = 4,         // "LIST n" of the next listed message, to add up sizes
  SizeAnswer = 5,       // C: LIST n (adding up)
  Stat = 6,             // "STAT" goes out
  StatAnswer = 7,       // C: STAT
  DeleteReceived = 8,   // "DELE n" of each earlier received message
  NextMessage = 9,      // "LIST n" of the next message to fetch
  MessageSize = 10,     // C: LIST n (before the fetch)
  FetchStatus = 11,     // C: RETR n / TOP n m, status line
  FetchBody = 12,       // the fetched text, until its "."
  Fetched = 13,         // a fetch ended: delete it or go on
  DeleteFetched = 14,   // "DELE n" of the fetched message
  DeleteAnswer = 15,    // C: DELE n (fetched)
  LastUid = 16,         // "UIDL n" of the last message
  LastUidAnswer = 17,   // C: UIDL n
  DeleteListed = 18,    // "DELE n" of each listed message, and its answer
  Quit = 19,            // "QUIT" goes out
  QuitAnswer = 21,      // C: QUIT
  Idle = 22,            // no session
  ListAll = 23,         // "LIST" goes out
  ListAllAnswer = 24,   // C: LIST (the whole list)
  // Without UIDL, each message's UID is made from its header:
  MadeUidList = 25,     // C: LIST (the messages and their sizes)
  MadeUidTop = 26,      // "TOP n 0" of the next message goes out
  MadeUidHeader = 27,   // C: TOP n 0
  CapaAnswer = 28,      // C: CAPA (after the login)
  DrainAhead = 29,      // a fetch sent ahead is read and dropped before "QUIT"
  CapaFirst = 30,       // C: CAPA (before the login, port 110)
  StlsAnswer = 31,      // C: STLS
  CapaTls = 32,         // C: CAPA (inside TLS, before the login)
};

// What a session does once logged in (setPopMode's numbers).
enum class PopMode : int {
  Receive = 0,         // fetch new mail whole (header only when too big or short of memory)
  Partial = 1,         // fetch new mail by "TOP n lines"
  Select = 2,          // fetch the download list's messages
  DeleteListed = 3,    // delete the download list's messages
  DeleteReceived = 4,  // delete what the device has received, fetch nothing
  LoginOnly = 5,       // log in and say "QUIT" (POP-before-SMTP)
};

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
    // Before the "QUIT" that makes the server remove what "DELE" named: the
    // observer puts what the session stored on the disk first; false keeps
    // "QUIT" back, and the server keeps every message.
    MSG_PopBeforeQuit = 11,
  };

  PopClient();
  virtual ~PopClient();
  PopClient(const PopClient&) = delete;
  PopClient& operator=(const PopClient&) = delete;

  bool registerNotifyPop(NotifyPop* observer);
  // A PopMode number.
  void setPopMode(int mode);
  void setAccount(MailAccount* account, void* connection);
  void setDownloadList(std::list<std::string>& uids);
  void setDeleteList(std::list<std::string>& uids);
  // UIDs the device holds only partly (partial or header-only fetches): never
  // deleted from the server by the deletes of received mail (modes 0, 1, 4).
  void setPartialList(const std::list<std::string>& uids);
  void newConnection();
  // The message just fetched, during its notification. The text moves out:
  // a second call within the same notification gets an empty one.
  void getMail(std::string* text, std::string* uid);
  std::string getLastRecvUid();
  void getUidlList(std::list<std::wstring>& out);
  // Whether the last session read the server's whole UID list, so that the
  // latest list (getUidlList) may replace the account's list.
  bool uidlListComplete() const { return uidlComplete_; }
  void quit();
  void cancel();
  void abort();

 protected:
  // A cancel that came after the session's last look at it would otherwise
  // end the next session at its start.
  void forgetCancel() { cancel_ = false; }
  // On the session's thread, before it waits for the server's next bytes:
  // what the session holds that others may need is let go of here.
  virtual void beforeServerWait() {}
  // Whether the session's thread holds something of that kind now: an
  // answer then gets a few brief waits on that thread before the hold goes.
  virtual bool holdsForServer() const { return false; }

 private:
  // What the command just sent expects back; it decides when the worker may
  // stop reading and how much it may collect.
  enum class Reply { Line, List, Message };
  // A state handler either sent a command (wait for its answer) or moves on
  // at once without new input.
  enum class Step { Wait, Next };
  // Until the login is through, a cancel ends the session at once.
  static constexpr bool IsLogin(PopState state) {
    return state <= PopState::LoginAnswer || state == PopState::CapaFirst || state == PopState::StlsAnswer ||
           state == PopState::CapaTls;
  }
  // How far a multi-line answer read as it comes has got.
  enum class Lines { More, Done, Bad };

  // Transport (PopClientTransport.cpp).
  uint32_t startRecv();
  uint32_t connectServer(const char* host, int port);
  uint32_t handshake();
  bool sendData(const char* text);
  uint32_t recvExec();
  std::optional<uint32_t> readAnswer();
  std::optional<uint32_t> takeCancel();
  uint32_t recvData();
  NetResult receivePiece(bool sawByte);
  NetResult receiveWaiting(bool* sawByte);
  std::optional<NetResult> take(const char* chunk, int n);
  bool pastDeadline() const;
  uint32_t cancelUnheard();
  // C: QUIT, unless the session deleted and the observer could not make its
  // mail safe; then nothing goes out and false comes back.
  bool sendQuit();
  void errorHandling(uint32_t code);
  void closeSocket();
  bool checkLimit();
  SessionWorker::Rules waitRules(bool receiving);

  // Protocol (PopClient.cpp).
  uint32_t incomingData();
  Step handleState(uint32_t* error);
  bool responseOk() const;
  bool positive() const;
  uint32_t failureCode() const;
  bool notify(int message, long w, long l);
  Step sendCommand(const char* text, PopState next, uint32_t* error);
  Step fail(uint32_t code, uint32_t* error);
  Step moveTo(PopState next);
  Step endEarly();
  Step afterMailBoxSize();
  Step login(uint32_t* error);
  Step onGreeting(uint32_t* error);
  Step onCapaTls(uint32_t* error);
  Step onUserAnswer(uint32_t* error);
  Step onLoginAnswer(uint32_t* error);
  Step nextSize(uint32_t* error);
  Step onSizeAnswer(uint32_t* error);
  Step madeUidTop(uint32_t* error);
  Step deleteReceived(uint32_t* error);
  Step onMessageSize(uint32_t* error);
  Step deleteListed(uint32_t* error);
  Step lastUid(uint32_t* error);
  Step onLastUid(uint32_t* error);
  Step onDrainAhead();
  Step quitStep(uint32_t* error);
  Step onQuit(uint32_t* error);
  Step onCapaFirst(uint32_t* error);
  Step onStls(uint32_t* error);
  Lines readLines(const std::function<bool(std::string_view)>& take);
  void skipLine(const char* why, uint32_t number);
  Step onUidl(uint32_t* error);
  Step onStat(uint32_t* error);
  Step onListAll(uint32_t* error);
  Step onMadeUidList(uint32_t* error);
  bool listSize(std::string_view line, std::vector<std::pair<uint32_t, uint32_t>>* out);
  std::optional<uint32_t> sizeOf(uint32_t number) const;
  std::optional<std::string> uidOf(uint32_t number) const;
  Step onCapa(uint32_t* error);
  Step pipelinedFetch(uint32_t* error);
  std::string fetchCommand(uint32_t number, bool headerOnly) const;
  size_t replyEnd() const;
  Step onMadeUidHeader(uint32_t* error);
  Step sendDelete(uint32_t number, PopState next, uint32_t* error);
  void confirmDelete();
  Step onMessage();
  Step nextMessage(uint32_t* error);
  void bookUids();
  void bookSelected();
  void bookNew();
  void endSession();
  void resetSession();
  std::string madeUpUid() const;
  size_t messageCount() const;
  uint32_t messageAt(size_t index) const;
  void removeLatest(const std::string& uid);

  // How a session came to its end, for the last notification.
  enum class EndReason { Complete, Declined, Cancelled };

  NotifyPop* observer_ = nullptr;
  ProtocolLog log_;

  // Settings (8-bit copies of the account record).
  std::string host_, user_, password_;
  uint32_t port_ = 110;
  uint32_t partialLines_ = 0;
  bool deleteOnServer_ = false;
  bool apop_ = false;
  bool ssl_ = false;
  std::string lastUid_;
  // Looked up by the listing's string views without a copy.
  struct UidHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using UidSet = std::unordered_set<std::string, UidHash, std::equal_to<>>;
  UidSet knownUids_;
  std::unordered_set<std::string> partialUids_;
  HANDLE connection_ = nullptr;  // the link (Connection Manager) the session runs over
  std::string senderAddress_, smtpServer_, smtpUser_, smtpPassword_;
  uint32_t smtpPort_ = 0;

  // Session.
  PopMode mode_ = PopMode::Receive;
  std::atomic<PopState> state_{PopState::Idle};
  bool connected_ = false;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> abort_{false};
  bool expecting_ = false;
  bool continues_ = false;
  bool noUidl_ = false;
  bool lastUidFound_ = false;
  bool noKnownUid_ = false;
  bool headerOnly_ = false;
  bool deletesStarted_ = false;
  bool uidlComplete_ = false;
  bool fetchedWhole_ = false;  // the current message came by "RETR" and the observer stored it
  EndReason endReason_ = EndReason::Complete;
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
  uint32_t lastError_ = 0;

  PopUidTable uids_;  // the listing's lines (UIDL, or UIDs made from headers)
  std::list<std::string> downloadList_;
  std::vector<uint32_t> messageList_;
  uint32_t statRange_ = 0;  // without UIDL the message list is 1..statRange_
  std::vector<uint32_t> receivedList_;  // received lines the known list names: the ones "DELE" may take
  std::list<std::string> latestList_;
  // UIDs whose "DELE" was answered "+OK": they leave the latest list with
  // the "+OK" to "QUIT".
  std::vector<std::string> deleted_;
  std::string deleting_;  // the UID of the "DELE" in flight
  bool deleteSent_ = false;
  bool quitWithheld_ = false;
  // Without UIDL: the messages and sizes of "LIST", and the next to ask.
  std::vector<std::pair<uint32_t, uint32_t>> madeUidSizes_;
  size_t madeUidPos_ = 0;
  // PIPELINING.
  bool pipelining_ = false;
  std::vector<std::pair<uint32_t, uint32_t>> sizes_;  // from "LIST": number and size, by number once whole
  bool sizesSorted_ = true;
  // The fetches out beyond the one in hand, for the messages from
  // messagePos_ on, each with whether it asked for the header only.
  std::deque<bool> ahead_;
  std::string carry_;            // bytes that came after the reply in hand
  // STLS: what the first CAPA offered, and the greeting (APOP's time stamp).
  bool stlsOffered_ = false;
  std::string greeting_;
  uint32_t listLine_ = 0;  // the UIDL answer's lines so far

  // Transport.
  MailSocket socket_;
  SessionWorker worker_{socket_, log_};
  std::string buffer_;
  Reply reply_ = Reply::Line;
  size_t replyLimit_ = 0;
  std::atomic<uint64_t> progress_{0};
  // The reply in hand's deadline: from its first byte, by its bytes so far
  // or the size announced for it, whichever is more.
  bool replyStarted_ = false;
  DWORD replyStart_ = 0;
  uint64_t replyBytes_ = 0;
  uint64_t replyAnnounced_ = 0;
};
