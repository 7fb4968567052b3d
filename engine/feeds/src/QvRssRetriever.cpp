#include "engine/public/feeds/QvRssRetriever.h"

#include <cstdio>
#include <memory>
#include <new>

#include "engine/feeds/src/RssClientCodes.h"
#include "engine/feeds/src/RssText.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/public/foundation/QvRegistryValue.h"
#include "engine/store/QvAccountHold.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/public/transport/QvClassifier.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Debug.h"

namespace {

using Settings = QvAccountInfoInterface::Attributes;

constexpr wchar_t kRivuletKey[] = L"Software\\Norvale\\Rivulet";

// Phone-status items and the values of the receive item.
constexpr unsigned kItemNewMail = 10;
constexpr unsigned kItemReceive = 13;
enum : unsigned { kRecvDone = 0, kRecvError = 1, kRecvStorageFull = 2, kRecvNothingNew = 3, kRecvNoConnection = 4 };

// The store's own codes: a failure among them means the storage is full or broken.
constexpr uint32_t kFirstStorageCode = 0x2000201;
constexpr uint32_t kLastStorageCode = 0x20003fe;
constexpr uint32_t kFeedStorageFull = 0x200200b;

// Client notifications the feed client never sends, handled for any other
// sender of the same interface.
constexpr unsigned kClientComplete = 5;
constexpr unsigned kClientRunFailed = 6;

// New items stored under one hold of the store's mutexes at most, so that
// others wait for the store no longer than that takes.
constexpr unsigned kBatchItems = 64;

}  // namespace

QvRssRetriever::QvRssRetriever() {
  if (!client_.registerNotifyRss(&clientAdaptor_))
    NKDbgPrintfW(L"Fail to register to RssClient at constructor of QvRetriever.\r\n");
}

QvRssRetriever::~QvRssRetriever() {
  client_.registerNotifyRss(nullptr);
  delete classifier_;
}

bool QvRssRetriever::registerNotify(Notify* observer) {
  if (observer_ != nullptr && observer != nullptr) {
    SetQvMiddleError(QVMDL_ERR_RECV_OBSERVER_TAKEN);
    return false;
  }
  observer_ = observer;
  return true;
}

void QvRssRetriever::CancelRetrieveMessages() {
  std::lock_guard<std::mutex> hold(runLock_);
  if (!running_) return;  // nothing to cancel; the next run starts clean
  cancelled_ = true;
  client_.cancel();
}

void QvRssRetriever::RasAdaptor::notify(unsigned int message, long w, long l) {
  NKDbgPrintfW(L"***Retriever::SendMessage(%d)\r\n", static_cast<int>(w));
  owner_->OnRASReceiveMessage(message, w, l);
}

bool QvRssRetriever::OnRASReceiveMessage(unsigned int message, long w, long) {
  if (message != 0) return true;
  static const long kMapped[] = {0, 1, 3, 2};
  if (w >= 1 && w <= 3) ToObserver(MSG_Connection, kMapped[w], 0);
  return true;
}

void QvRssRetriever::ToObserver(unsigned int message, long w, long l) {
  if (observer_ != nullptr) observer_->notify(message, w, l);
}

void QvRssRetriever::Tell(uint32_t code) {
  if (observer_ != nullptr) ToObserver(MSG_Error, static_cast<long>(code), 0);
  else SetQvMiddleError(code);
}

bool QvRssRetriever::CheckAccountInfoInterface(QvAccountInfoInterface* account) {
  if (account != nullptr) return true;
  Tell(QVMDL_ERR_RECV_NO_ACCOUNT);
  return false;
}

bool QvRssRetriever::RetrieveMessages(QvAccountInfoInterface* account, QvRASController* ras, int mode) {
  NKDbgPrintfW(L"********** Retrieve Messages, Start **********\r\n");
  return Run(Road::Fetch, account, ras, mode, std::string(), nullptr);
}

bool QvRssRetriever::RetrieveSelectedMessages(const std::list<unsigned long>& messageIds,
                                              QvAccountInfoInterface* account, QvRASController* ras,
                                              std::string password) {
  NKDbgPrintfW(L"=== Retrieve Messages(S), Start ===\r\n");
  return Run(Road::Refetch, account, ras, 2, password, &messageIds);
}

bool QvRssRetriever::ClearMessagesOnPopServer(QvAccountInfoInterface* account, QvRASController* ras,
                                              std::string password) {
  return Run(Road::Clear, account, ras, 4, password, nullptr);
}

bool QvRssRetriever::Create_map_FromMsgIDToUIDL_AND_list_UID(QvAccountInfoInterface* account,
                                                             const std::list<unsigned long>& ids, UidMap* map,
                                                             std::list<std::string>* uids, bool partial) {
  return QvRetriever::Create_map_FromMsgIDToUIDL_AND_list_UID(account, ids, map, uids, partial);
}

void QvRssRetriever::ResetRun() {
  status_ = true;
  completeCount_ = 0;
  cancelled_ = false;
  diskFull_ = false;
  itemCount_ = 0;
  errorSeen_ = false;
  partialSeen_ = false;
  lastError_ = 0;
  uidMap_.clear();
  oldItems_.Clear();
}

bool QvRssRetriever::Run(Road road, QvAccountInfoInterface* account, QvRASController* ras, int mode,
                         const std::string& password, const std::list<unsigned long>* ids) {
  // One run of an account at a time, in any process; refused before this
  // retriever's state is touched. No account: nothing to hold, and the
  // check below reports it.
  QvAccountHold accountHold(account);
  if (!accountHold.Held()) {
    Tell(QVMDL_ERR_RECV_ACCOUNT_BUSY);
    return false;
  }
  {
    std::lock_guard<std::mutex> hold(runLock_);
    running_ = true;
    ResetRun();
  }
  bool result = false;
  std::list<std::string> download;
  if (CheckAccountInfoInterface(account)) {
    account_ = account;
    clearing_ = road == Road::Clear;
    if (ids == nullptr || Create_map_FromMsgIDToUIDL_AND_list_UID(account, *ids, &uidMap_, &download, false)) {
      // The registration goes with the run, whoever else registers meanwhile.
      QvRASController::ScopedNotifyRas registration(ras, &rasAdaptor_);
      client_.setRssMode(mode);
      mode_ = mode;
      ToObserver(MSG_Connection, 1, 0);
      long connStatus = 0;
      void* connection = ras != nullptr ? ras->EstablishConnection(&connStatus, account) : nullptr;
      if (connection == nullptr) {
        if (PhoneRule()) {
          NKDbgPrintfW(L"=== QvRssRetriever::RetrieveMessages - Fail to establish RAS. SetPhoneStatus(4)\r\n");
          SetMyPhoneStatus(kItemReceive, kRecvNoConnection);
        }
        Tell(QVMDL_ERR_RECV_NO_CONNECTION);
        status_ = false;
      } else {
        client_.setDownloadList(download);
        result = Session(road, ras, connection, password);
      }
    }
    clearing_ = false;
  }
  std::lock_guard<std::mutex> hold(runLock_);
  running_ = false;
  ResetRun();
  account_ = nullptr;
  return result;
}

bool QvRssRetriever::Session(Road road, QvRASController* ras, void* connection, const std::string& password) {
  std::wstring wide;
  if (!MakeWstringFromString(password, wide)) wide.clear();
  if (!setMailAccount(wide)) {
    ReleaseAfter(ras);
    return false;
  }
  client_.setAccount(&mailAccount_, connection);
  ToObserver(MSG_Connection, 2, 0);
  // A re-fetch only replaces stored items; every other run files new ones.
  if (road != Road::Refetch) {
    classifier_ = new (std::nothrow) QvClassifier;
    if (classifier_ == nullptr) {
      SetQvMiddleError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
      ReleaseAfter(ras);
      return false;
    }
  }
  runStorage_.reset(account_->OpenStorage());
  if (cancelled_) {
    // Asked before the client's session began: it would not take it now.
    OnReceiveMessage(RssClient::MSG_RssErrorOccured, feeds::kErrCancelled, 0);
  } else if (road == Road::Refetch) {
    client_.ReGet();
  } else {
    client_.GetRDF();
  }
  batch_.reset();
  SettleLastUid();
  runStorage_.reset();
  uidList_.clear();
  client_.getUidlList(uidList_);
  account_->SaveUIDL(uidList_);
  delete classifier_;
  classifier_ = nullptr;
  NKDbgPrintfW(L"=== Retrieve Messages, Finish (status:[%d] ===\r\n", status_ ? 1 : 0);
  const bool unwell = road != Road::Fetch || completeCount_ > 0 || cancelled_ || diskFull_ || errorSeen_;
  // A run that went well leaves the connection up for the caller.
  if (!status_ && unwell) ReleaseAfter(ras);
  if (errorSeen_) {
    status_ = false;
    NKDbgPrintfW(L"  Error Occured Code:[%08x]\r\n", lastError_);
  }
  return status_;
}

void QvRssRetriever::ReleaseAfter(QvRASController* ras) {
  status_ = false;
  ToObserver(MSG_Connection, 3, 0);
  long connStatus = 0;
  const bool released = ras->ReleaseConnection(&connStatus);
  NKDbgPrintfW(L"Release Connection : Status = %ld\r\n", connStatus);
  if (!released) {
    SetQvMiddleError(QVMDL_ERR_RECV_RELEASE);
    ToObserver(MSG_Error, QVMDL_ERR_RECV_RELEASE, 0);
  }
}

bool QvRssRetriever::MakeWstringFromString(const std::string& in, std::wstring& out) {
  out = in.empty() ? std::wstring() : qv::Cp932ToWide(in);
  if (in.empty() || !out.empty()) return true;
  SetQvMiddleError(QVMDL_ERR_ACC_UID_CONVERT);
  return false;
}

bool QvRssRetriever::setMailAccount(std::wstring password) {
  if (!QvRetriever::ReadMailAccount(account_, password, &attributes_, &mailAccount_)) return false;
  carrierMode_ = attributes_.bTaccount;
  autoReceive_ = attributes_.bAutoMailRetrievingEnabled;
  uidList_.clear();
  return true;
}

// ---------------------------------------------------------------------------
// The client's notifications

bool QvRssRetriever::OnReceiveMessage(unsigned int message, long w, long l) {
  // A cancel asked before the client's session began takes effect now.
  if (cancelled_) client_.cancel();
  // Held while the notification is handled, so that the store stays loaded
  // (the session's own when one runs).
  std::unique_ptr<QvStorageInterface> storage;
  if (!runStorage_) storage.reset(account_ != nullptr ? account_->OpenStorage() : nullptr);
  if (!runStorage_ && !storage) return false;
  switch (message) {
    case RssClient::MSG_RssDeleteOldData:
      return oldItems_.Note(account_);
    case RssClient::MSG_RssOldDataExpired:
      return deleteOldData();
    case RssClient::MSG_RssNewMessage:
      return OnItem(false, w, l);
    case RssClient::MSG_RssNewPartMessage:
      return OnItem(true, w, l);
    case RssClient::MSG_RssNeedStoredData:
      return rssRequestMailData();
    case RssClient::MSG_RssFetchingParts:
      batch_.reset();  // not held while the network is waited for
      return true;
    case RssClient::MSG_RssErrorOccured:
      OnError(w, l);
      return true;
    case kClientComplete:
      OnComplete(w, l);
      return true;
    case kClientRunFailed:
      status_ = false;
      return true;
    default:
      return true;
  }
}

void QvRssRetriever::ItemFailed(uint32_t code, long l) {
  status_ = false;
  if (!diskFull_ && PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvError);
  lastError_ = code;
  SetQvMiddleError(code);
  ToObserver(MSG_Error, static_cast<long>(code), l);
}

bool QvRssRetriever::OnItem(bool partial, long w, long l) {
  if (partial) partialSeen_ = true;
  std::string raw, uid;
  client_.getData(&raw, &uid);
  if (raw.empty() || uid.empty()) {
    ItemFailed(raw.empty() ? QVMDL_ERR_RECV_EMPTY_MESSAGE : QVMDL_ERR_RECV_NO_UID, l);
    return false;
  }
  if (partial) {
    if (uidMap_.count(uid) != 0) {
      // A copy of it is being completed already.
      SetQvMiddleError(QVMDL_ERR_RECV_PARTIAL_TWICE);
      lastError_ = QVMDL_ERR_RECV_PARTIAL_TWICE;
      ToObserver(MSG_Error, QVMDL_ERR_RECV_PARTIAL_TWICE, l);
      status_ = false;
      return false;
    }
    const bool covered = CoverUid(uid);
    const bool stored = SaveMessage(raw, uid, partial);
    if (stored && covered) lastCoveredUid_ = uid;
    else if (stored) account_->SaveLastUID(uid);
    else ItemFailed(GetQvMiddleError(), l);
    // Counted and announced either way: the reader lists what it heard of.
    ++itemCount_;
    ToObserver(MSG_NewPartMessage, w, l);
    return stored;
  }
  const bool replace = FindMsg(uid);
  const bool covered = !replace && mode_ != 2 && CoverUid(uid);
  const bool stored = replace ? ReplaceMessage(account_, raw, uid) : SaveMessage(raw, uid, partial);
  if (!stored) {
    ItemFailed(GetQvMiddleError(), l);
    return false;
  }
  if (covered) lastCoveredUid_ = uid;
  else if (mode_ != 2) account_->SaveLastUID(uid);
  ++itemCount_;
  ToObserver(MSG_NewMessage, w, l);
  return true;
}

void QvRssRetriever::OnError(long w, long l) {
  errorSeen_ = true;
  status_ = false;
  lastError_ = static_cast<uint32_t>(w);
  if (!diskFull_ && PhoneRule() && w != 0)
    SetMyPhoneStatus(kItemReceive, static_cast<uint32_t>(w) == kFeedStorageFull ? kRecvStorageFull : kRecvError);
  SetQvMiddleError(static_cast<uint32_t>(w));
  ToObserver(MSG_Error, w, l);
}

void QvRssRetriever::OnComplete(long w, long l) {
  completeCount_ = static_cast<int>(w);
  if (w > 0) SetPhoneStatus(kItemNewMail, 1);
  if (w == 0) {
    if (!clearing_) status_ = false;
    if (!diskFull_ && PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvNothingNew);
    SetQvMiddleError(QVMDL_ERR_RECV_NO_NEW_MAIL);
    ToObserver(MSG_Error, QVMDL_ERR_RECV_NO_NEW_MAIL, l);
    return;
  }
  if (!diskFull_ && PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvDone);
  ToObserver(MSG_Complete, w, l);
}

// ---------------------------------------------------------------------------
// The store

// The client numbers a run's items on from the account's last UID. Saved
// after each item, a run cut off between an item's store and that save would
// give the next run's first item a UID a stored item carries already, and it
// cost a safe replacement (three syncs) an item. So the last UID goes to the
// disk before the items it covers, kBatchItems UIDs at a time, and back to
// the run's last item at the session's end: a cut leaves a gap in the
// numbering, never a UID given twice. A UID not in the client's own form is
// saved after its item, as before.
bool QvRssRetriever::CoverUid(const std::string& uid) {
  if (uid.empty() || uid.size() > 10) return false;
  uint64_t number = 0;
  for (char c : uid) {
    const int digit = feeds::HexDigit(c);
    if (digit < 0) return false;
    number = number * 16 + static_cast<uint64_t>(digit);
  }
  if (number > 0xFFFFFFFFu) return false;
  if (uidAhead_ && number <= uidCoveredTo_) return true;
  const uint64_t upTo = number + kBatchItems - 1;
  if (upTo > 0xFFFFFFFFu) return false;
  char text[16];
  snprintf(text, sizeof text, "00%08X", static_cast<unsigned>(upTo));
  if (!account_->SaveLastUID(text)) return false;
  uidAhead_ = true;
  uidCoveredTo_ = static_cast<uint32_t>(upTo);
  return true;
}

// Back from the cover to the last item stored under it; with none stored,
// the cover stays (a gap in the numbering).
void QvRssRetriever::SettleLastUid() {
  if (uidAhead_ && !lastCoveredUid_.empty()) account_->SaveLastUID(lastCoveredUid_);
  uidAhead_ = false;
  uidCoveredTo_ = 0;
  lastCoveredUid_.clear();
}

void QvRssRetriever::DiskFullRule() {
  const uint32_t code = GetQvMiddleError();
  if (code >= kFirstStorageCode && code <= kLastStorageCode && PhoneRule()) {
    SetMyPhoneStatus(kItemReceive, kRecvStorageFull);
    diskFull_ = true;
  }
}

bool QvRssRetriever::SaveMessage(std::string& raw, const std::string& uid, const bool& partial) {
  diskFull_ = false;
  if (classifier_ == nullptr) SetQvMiddleError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
  // New items are stored under one hold of the store's mutexes; a replaced
  // copy is not.
  if (!batch_) {
    batch_.emplace();
    batchStored_ = 0;
    if (!batch_->Held()) batch_.reset();  // another holds part of the store: the next item tries again
  }
  status_ = classifier_ != nullptr && classifier_->SaveToFolder(raw, uid, partial, account_);
  if (batch_ && ++batchStored_ >= kBatchItems) batch_.reset();
  if (!status_) {
    DiskFullRule();
    if (diskFull_) NKDbgPrintfW(L"QvRssRetriever::SaveMessages() --- Disk Full Err\r\n");
    NKDbgPrintfW(L"QvRssRetriever::SaveMessage() --- result is Fail.\r\n");
  }
  return status_;
}

bool QvRssRetriever::FindMsg(const std::string& uid) {
  if (uidMap_.count(uid) != 0) return true;
  SetQvMiddleError(QVMDL_ERR_RECV_UID_NOT_MAPPED);
  return false;
}

// The stored item takes the raw text the client built, feed header lines and all.
bool QvRssRetriever::ReplaceMessage(QvAccountInfoInterface* account, const std::string& raw, const std::string& uid) {
  diskFull_ = false;
  batch_.reset();
  if (!FindMsg(uid)) return false;
  if (QvRetriever::ReplaceStoredMessage(account, uidMap_[uid].id, raw, false)) return true;
  DiskFullRule();
  return false;
}

bool QvRssRetriever::rssRequestMailData() {
  std::string ignored, uid;
  client_.getData(&ignored, &uid);
  std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
  if (!storage || !FindMsg(uid)) return false;
  std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(uidMap_[uid].id));
  if (!message) return false;
  std::string stored;
  if (message->Read(&stored)) client_.setRawMailData(&stored);
  return true;
}

// The items noted when the run had its new document, from the run's own
// account; whatever this run stored stays.
bool QvRssRetriever::deleteOldData() { return oldItems_.Remove(account_); }

bool QvRssRetriever::SetPeriodicRetrAccountName() {
  if (!CheckAccountInfoInterface(account_)) return false;
  std::wstring name;
  if (!account_->GetAccountName(&name) || name.empty()) return false;
  return SetRegistryValue(HKEY_CURRENT_USER, kRivuletKey, L"PeriodicRetrAccount", name);
}

// ---------------------------------------------------------------------------
// Phone status

bool QvRssRetriever::bActiveQvMailNow() {
  if (!periodic_ || observer_ == nullptr) return true;
  observer_->isActive(&mailActive_, this);
  return mailActive_;
}

bool QvRssRetriever::PhoneRule() {
  const bool active = bActiveQvMailNow();
  return carrierMode_ || (periodic_ && !active);
}

bool QvRssRetriever::SetMyPhoneStatus(unsigned int item, unsigned int value) {
  return SetPhoneStatus(item, value) == 1;
}
