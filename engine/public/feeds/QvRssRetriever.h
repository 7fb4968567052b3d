// Fetches the feeds of one feed account for a program that loads the engine:
// brings up the data connection, drives one feed client, files every item
// through the classifier, keeps the account's last UID and passes every step
// on to one observer. Runs on the caller's thread.
//
// The items of the previous run are noted once the new document is in and
// removed only after the item walk ended without a transfer error, so a
// failed run never leaves the account without its items. Each run starts
// with its own flags cleared; a cancel stops the run in progress (between
// items, and a running transfer at its next wait step) and is spent by it.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/public/QvMiddleExport.h"
#include "engine/public/feeds/RssClient.h"
#include "engine/public/feeds/RssOldItems.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/store/QvStoreBatch.h"
#include "engine/public/transport/MailAccount.h"
#include "engine/public/transport/QvRASController.h"
#include "engine/public/transport/QvRetriever.h"

class QvClassifier;
class QvStorageInterface;

class QVMIDDLE_API QvRssRetriever {
 public:
  // Messages to the observer.
  enum : unsigned int {
    MSG_NewMessage = 0,      // w, l as the client gave them
    MSG_NewPartMessage = 1,  // stored in part (or failed to store, and counted all the same)
    MSG_Error = 2,           // w = error code
    MSG_Complete = 3,        // w = new items
    MSG_Connection = 6,      // w: 1 connecting, 2 connected, 3 disconnecting
  };

  class Notify {
   public:
    virtual ~Notify() = default;
    // Told on the run's thread, which may hold the store's mutexes while it
    // stores items (QvStoreBatch): the observer may use the store itself, but
    // it posts to other threads rather than wait for them.
    virtual void notify(unsigned int message, long w, long l) = 0;
    // Asked only while periodic retrieval is on: true when the mail program is in front.
    virtual void isActive(bool* mailActive, QvRssRetriever* retriever) = 0;
  };

  using stMsgID_Partial = QvRetriever::stMsgID_Partial;
  using UidMap = QvRetriever::UidMap;

  QvRssRetriever();
  ~QvRssRetriever();
  QvRssRetriever(const QvRssRetriever&) = delete;
  QvRssRetriever& operator=(const QvRssRetriever&) = delete;

  bool registerNotify(Notify* observer);
  // Any thread; cancels the run in progress, and only that.
  void CancelRetrieveMessages();
  void SetTAccountMode() { carrierMode_ = true; }
  void CancelTAccountMode() { carrierMode_ = false; }
  void StartPeriodicRetr() { periodic_ = true; }
  void FinishPeriodicRetr() { periodic_ = false; }

  bool RetrieveMessages(QvAccountInfoInterface* account, QvRASController* ras, int mode);
  // Fetches again the pictures and contents of stored items kept in part.
  bool RetrieveSelectedMessages(const std::list<unsigned long>& messageIds, QvAccountInfoInterface* account,
                                QvRASController* ras, std::string password);
  bool ClearMessagesOnPopServer(QvAccountInfoInterface* account, QvRASController* ras, std::string password);

  static bool Create_map_FromMsgIDToUIDL_AND_list_UID(QvAccountInfoInterface* account,
                                                      const std::list<unsigned long>& ids, UidMap* map,
                                                      std::list<std::string>* uids, bool partial);

 private:
  enum class Road { Fetch, Refetch, Clear };

  class ClientAdaptor : public RssClient::NotifyRss {
   public:
    explicit ClientAdaptor(QvRssRetriever* owner) : owner_(owner) {}
    void notify(int message, long w, long l) override { owner_->OnReceiveMessage(static_cast<unsigned>(message), w, l); }

   private:
    QvRssRetriever* owner_;
  };
  class RasAdaptor : public QvRASController::NotifyRas {
   public:
    explicit RasAdaptor(QvRssRetriever* owner) : owner_(owner) {}
    virtual ~RasAdaptor() = default;
    void notify(unsigned int message, long w, long l) override;

   private:
    QvRssRetriever* owner_;
  };

  bool Run(Road road, QvAccountInfoInterface* account, QvRASController* ras, int mode, const std::string& password,
           const std::list<unsigned long>* ids);
  bool Session(Road road, QvRASController* ras, void* connection, const std::string& password);
  void ReleaseAfter(QvRASController* ras);
  void ResetRun();

  bool CheckAccountInfoInterface(QvAccountInfoInterface* account);
  bool OnReceiveMessage(unsigned int message, long w, long l);
  bool OnRASReceiveMessage(unsigned int message, long w, long l);
  bool OnItem(bool partial, long w, long l);
  void OnError(long w, long l);
  void OnComplete(long w, long l);
  void ItemFailed(uint32_t code, long l);
  bool SaveMessage(std::string& raw, const std::string& uid, const bool& partial);
  bool ReplaceMessage(QvAccountInfoInterface* account, const std::string& raw, const std::string& uid);
  bool FindMsg(const std::string& uid);
  bool rssRequestMailData();
  static bool MakeWstringFromString(const std::string& in, std::wstring& out);
  bool setMailAccount(std::wstring password);
  bool deleteOldData();
  bool SetPeriodicRetrAccountName();
  bool bActiveQvMailNow();
  bool PhoneRule();
  bool SetMyPhoneStatus(unsigned int item, unsigned int value);
  void DiskFullRule();
  bool CoverUid(const std::string& uid);
  void SettleLastUid();
  // To the observer, or into the error word when none listens.
  void Tell(uint32_t code);
  void ToObserver(unsigned int message, long w, long l);

  ClientAdaptor clientAdaptor_{this};
  RasAdaptor rasAdaptor_{this};
  RssClient client_;
  Notify* observer_ = nullptr;
  QvAccountInfoInterface* account_ = nullptr;
  QvClassifier* classifier_ = nullptr;
  // The account's store, held for the client's session so that it stays
  // loaded from item to item (opening it for every notification cost a
  // profile read and two store locks an item).
  std::unique_ptr<QvStorageInterface> runStorage_;
  // The store's mutexes, held from one new item to the next (QvStoreBatch):
  // let go of before the client waits for an item's parts, after
  // kBatchItems items and when the session ends.
  std::optional<QvStoreBatch> batch_;
  unsigned batchStored_ = 0;
  // The last UID on the disk is saved ahead of the items stored (CoverUid):
  // the UID it covers up to, and the last item stored under that cover.
  bool uidAhead_ = false;
  uint32_t uidCoveredTo_ = 0;
  std::string lastCoveredUid_;
  UidMap uidMap_;
  MailAccount mailAccount_;
  QvAccountInfoInterface::Attributes attributes_;
  std::list<std::wstring> uidList_;
  RssOldItems oldItems_;
  int mode_ = 0;
  bool status_ = false;
  bool carrierMode_ = false;
  bool autoReceive_ = false;
  bool periodic_ = false;
  bool mailActive_ = false;
  uint32_t itemCount_ = 0;
  bool diskFull_ = false;
  bool clearing_ = false;
  bool partialSeen_ = false;
  bool errorSeen_ = false;
  std::atomic<bool> cancelled_{false};
  int completeCount_ = 0;
  uint32_t lastError_ = 0;

  // A cancel reaches the client only while a run is on.
  std::mutex runLock_;
  bool running_ = false;
};
