// Receives the mail of one account: brings up the data connection, runs one
// POP3 session (it is a PopClient and drives itself), stores each fetched
// message through the classifier, keeps the account's UID list and last UID,
// the message limit and the phone-status indicators, and passes every step
// on to one observer. It also clears the server of received mail and fetches
// the rest of partially received messages. Runs on the caller's thread.
//
// What counts as received is the account's UID list alone (the last UID is a
// hint kept for older readers). The run's start in the store is journalled
// before its first message is stored, so that a run cut short anywhere is
// settled from the store; no UID is deleted before its text is on the disk,
// and the list is rewritten only from
// a session that read the server's whole UID list; a failed session keeps the
// list and adds what it stored. Copies held in part (partial or header only)
// are never deleted from the server until fetched whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvStoreBatch.h"
#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/PopClient.h"
#include "engine/public/transport/QvRASController.h"

class QvClassifier;
class QvDeferredSync;
class QvStorageInterface;
class QvUidJournal;

class QVMIDDLE_API QvRetriever : public PopClient {
 public:
  // Messages to the observer.
  enum : unsigned int {
    MSG_NewMessage = 0,
    MSG_NewPartMessage = 1,
    MSG_NewHeader = 2,
    MSG_Error = 3,
    MSG_Complete = 4,
    MSG_MailBoxSize = 7,
    MSG_RecvSize = 8,
    MSG_DeleteComplete = 9,
    MSG_UpdateStatus = 10,
    MSG_Connection = 11,  // w: 1 connecting, 2 connected, 3 disconnecting
  };

  class Notify {
   public:
    virtual ~Notify() = default;
    // Told on the session's thread, which may hold the store's mutexes
    // while it stores messages (QvStoreBatch): the observer may use the
    // store itself, but it posts to other threads rather than wait for them.
    virtual bool notify(unsigned int message, long w, long l) = 0;
    // Asked only while periodic retrieval is on: true when the program is in front.
    virtual void isActive(bool* answer, QvRetriever* retriever) = 0;
  };

  struct stMsgID_Partial {
    unsigned long id = 0;
    bool flag = false;
  };
  using UidMap = std::map<std::string, stMsgID_Partial>;

  QvRetriever();
  ~QvRetriever() override;

  bool registerNotify(Notify* observer);
  // An empty password means the one saved in the account.
  bool RetrieveMessages(QvAccountInfoInterface* account, QvRASController* ras, std::string password);
  bool RetrieveSelectedMessages(const std::list<unsigned long>& ids, QvAccountInfoInterface* account,
                                QvRASController* ras, std::string password);
  bool ClearMessagesOnPopServer(QvAccountInfoInterface* account, QvRASController* ras, std::string password);
  // Any thread; cancels the run in progress, and only that, or the run
  // announced by ExpectRun that has not started yet. A cancel while no run
  // is on or announced is dropped: the next run starts clean.
  void CancelRetrieveMessages();
  // The caller's word that it starts a run of this retriever next: a cancel
  // from now until that run starts ends the run at its start, before it
  // touches the store or the server. The run takes the word back.
  void ExpectRun();
  void SetTAccountMode() { tAccount_ = true; }
  void CancelTAccountMode() { tAccount_ = false; }
  void StartPeriodicRetr() { periodic_ = true; }
  void FinishPeriodicRetr() { periodic_ = false; }

  // One URL of a feed account to the file named by `result` (`flag`: as
  // binary). 0, or the error code. Defined with the feed client, which it
  // drives: nothing below the feeds may call it.
  int HttpReceive(QvAccountInfoInterface* account, std::wstring* url, std::wstring* result, bool flag);

  // An account's connection data as the protocol clients take them: the
  // settings a run reads (kept in `settings`), the last UID and the UID
  // list; an empty password means the saved one. False, with both left as
  // they were, when any of them cannot be read.
  static bool ReadMailAccount(QvAccountInfoInterface* account, const std::wstring& password,
                              QvAccountInfoInterface::Attributes* settings, MailAccount* record);

  // Writes `text` over the stored message `id`, marked unread, with its
  // attachment flag from the text and its state (1: held in part).
  static bool ReplaceStoredMessage(QvAccountInfoInterface* account, unsigned long id, const std::string& text,
                                   bool partial);

  static bool Create_map_FromMsgIDToUIDL_AND_list_UID(QvAccountInfoInterface* account,
                                                      const std::list<unsigned long>& ids, UidMap* map,
                                                      std::list<std::string>* uids, bool flag);

 private:
  enum class Kind { Whole, Partial, Selected, Clear };

  class PopAdaptor : public PopClient::NotifyPop {
   public:
    explicit PopAdaptor(QvRetriever* owner) : owner_(owner) {}
    bool notify(int message, long w, long l) override { return owner_->OnReceiveMessage(message, w, l); }

   private:
    QvRetriever* owner_;
  };
  class RasAdaptor : public QvRASController::NotifyRas {
   public:
    explicit RasAdaptor(QvRetriever* owner) : owner_(owner) {}
    virtual ~RasAdaptor() = default;
    void notify(unsigned int message, long w, long l) override;

   private:
    QvRetriever* owner_;
  };

  bool Run(Kind kind, QvAccountInfoInterface* account, QvRASController* ras, const std::string& password,
           const std::list<unsigned long>* ids);
  bool Session(QvRASController* ras, void* connection, const std::string& password);
  bool SaveUidList(Kind kind, const std::list<std::wstring>& known);
  bool CheckAccountInfoInterface(QvAccountInfoInterface* account);
  bool setMailAccount(const std::wstring& password);
  bool PartialUids(std::list<std::string>* uids);
  bool OnReceiveMessage(int message, long w, long l);
  bool OnFetched(int kind);
  // Journals a UID just stored with `text`, whose sync is `ticket` (0: done);
  // after the start line only the sync is watched.
  bool Journal(const std::string& uid, uint64_t ticket, const std::string& text);
  // Journals for good the UIDs whose texts reached the disk, waiting for
  // them when `all` or when too many are on their way. A failed sync is
  // reported and its UID left unknown; false only when the journal fails.
  bool CommitSynced(bool all);
  bool OnMailBoxSize(long w, long l);
  bool OnRASReceiveMessage(unsigned int message, long w, long l);
  bool SaveMessage(std::string& text, const std::string& uid, bool partial);
  bool ReplaceMessage(const std::string& text, const std::string& uid, bool partial);
  bool FindMsg(const std::string& uid);
  bool MakeStoredSafe();
  void beforeServerWait() override { batch_.reset(); }
  bool holdsForServer() const override { return batch_.has_value(); }
  void DiskFullRule();
  static bool MakeWstringFromString(const std::string& text, std::wstring* out);
  bool ReportError(uint32_t code, long l);
  bool PhoneRule();
  bool bActiveQvMailNow();
  bool SetMyPhoneStatus(unsigned int item, unsigned int value);
  bool ToObserver(unsigned int message, long w, long l);
  void ReleaseAfter(QvRASController* ras);
  void Reset();

  QvClassifier* classifier_ = nullptr;
  QvUidJournal* journal_ = nullptr;  // the run's, while a session is on
  QvDeferredSync* syncs_ = nullptr;  // the session's, when texts are synced beside it
  // The store's mutexes, held from one stored message to the next while the
  // server's answers are at hand: let go of before a wait for the server,
  // after kBatchMessages messages and when the session ends.
  std::optional<QvStoreBatch> batch_;
  unsigned batchStored_ = 0;
  std::deque<std::pair<std::string, uint64_t>> unsynced_;  // UIDs with their texts' syncs
  std::set<std::string> unsafe_;  // UIDs whose texts could not be synced
  PopAdaptor popAdaptor_{this};
  RasAdaptor rasAdaptor_{this};
  Notify* observer_ = nullptr;
  UidMap map_;
  MailAccount record_;
  QvAccountInfoInterface* account_ = nullptr;
  bool saveResult_ = true;
  Kind kind_ = Kind::Whole;
  bool tAccount_ = false;
  bool autoRetrieval_ = false;
  QvAccountInfoInterface::Attributes settings_;
  unsigned saved_ = 0;
  unsigned allowed_ = 0;  // 0: no cap
  unsigned shortfall_ = 0;
  bool diskFull_ = false;
  bool clearServer_ = false;
  bool periodic_ = false;
  long lastCompletion_ = 0;
  bool limitNotHit_ = true;
  std::atomic<bool> cancelled_{false};
  bool errorSeen_ = false;
  bool sessionEnded_ = false;  // "QUIT" was answered
  bool storedSafe_ = false;    // everything stored was flushed before "QUIT"
  std::vector<std::string> storedUids_;  // UIDs stored new in this run
  std::string lastStored_;

  // A cancel reaches the POP session only while a run is on.
  std::mutex runLock_;
  bool running_ = false;
  bool expected_ = false;         // a run was announced and has not started
  bool cancelledAhead_ = false;   // ...and was cancelled before its start
};
