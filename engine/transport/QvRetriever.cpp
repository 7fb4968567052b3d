#include "engine/public/transport/QvRetriever.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <set>

#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/store/QvAccountHold.h"
#include "engine/store/QvDeferredSync.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvMessageLimit.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/transport/PopReply.h"
#include "engine/public/transport/QvClassifier.h"
#include "engine/transport/QvUidJournal.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/DeviceFs.h"

namespace {

using Settings = QvAccountInfoInterface::Attributes;

// Phone-status items and the values of the receive item.
constexpr unsigned kItemNewMail = 10;
constexpr unsigned kItemReceive = 13;
enum : unsigned { kRecvDone = 0, kRecvError = 1, kRecvStorageFull = 2, kRecvNoMail = 3, kRecvNoConnection = 4 };

constexpr unsigned long kPartialTray = 0x10001;
// The storage's own codes: a failure among them means the store is full or broken.
constexpr uint32_t kFirstStorageCode = 0x2000201;
constexpr uint32_t kStorageCodes = 510;
constexpr uint32_t kPopStorageFull = 0x200200b;
// Messages stored under one hold of the store's mutexes at most, so that
// others wait for the store no longer than that takes.
constexpr unsigned kBatchMessages = 64;

}  // namespace

QvRetriever::QvRetriever() {
  if (!registerNotifyPop(&popAdaptor_)) NKDbgPrintfW(L"Fail to register to PopClient at constructor of QvRetriever.\r\n");
}

QvRetriever::~QvRetriever() { delete classifier_; }

bool QvRetriever::registerNotify(Notify* observer) {
  if (observer_ && observer) {
    SetQvMiddleError(QVMDL_ERR_RECV_OBSERVER_TAKEN);
    return false;
  }
  observer_ = observer;
  return true;
}

void QvRetriever::CancelRetrieveMessages() {
  std::lock_guard<std::mutex> hold(runLock_);
  if (!running_) {
    // Only a run the caller announced hears a cancel before it starts.
    if (expected_) cancelledAhead_ = true;
    return;
  }
  cancelled_ = true;
  cancel();
}

void QvRetriever::ExpectRun() {
  std::lock_guard<std::mutex> hold(runLock_);
  expected_ = true;
  cancelledAhead_ = false;
}

void QvRetriever::RasAdaptor::notify(unsigned int message, long w, long l) {
  NKDbgPrintfW(L"***Retriever::SendMessage(%d)\r\n", static_cast<int>(message));
  owner_->OnRASReceiveMessage(message, w, l);
}

bool QvRetriever::OnRASReceiveMessage(unsigned int message, long w, long) {
  if (message != 0) return true;
  static const long kMapped[] = {0, 1, 3, 2};
  if (w >= 1 && w <= 3) ToObserver(MSG_Connection, kMapped[w], 0);
  return true;
}

bool QvRetriever::ToObserver(unsigned int message, long w, long l) {
  return observer_ ? observer_->notify(message, w, l) : true;
}

bool QvRetriever::RetrieveMessages(QvAccountInfoInterface* account, QvRASController* ras, std::string password) {
  NKDbgPrintfW(L"=== Retrieve Messages, Start ===\r\n");
  return Run(Kind::Whole, account, ras, password, nullptr);
}

bool QvRetriever::RetrieveSelectedMessages(const std::list<unsigned long>& ids, QvAccountInfoInterface* account,
                                           QvRASController* ras, std::string password) {
  NKDbgPrintfW(L"=== Retrieve Messages(S), Start ===\r\n");
  return Run(Kind::Selected, account, ras, password, &ids);
}

bool QvRetriever::ClearMessagesOnPopServer(QvAccountInfoInterface* account, QvRASController* ras,
                                           std::string password) {
  return Run(Kind::Clear, account, ras, password, nullptr);
}

bool QvRetriever::CheckAccountInfoInterface(QvAccountInfoInterface* account) {
  if (account != nullptr) return true;
  SetQvMiddleError(QVMDL_ERR_RECV_NO_ACCOUNT);
  if (observer_) ToObserver(MSG_Error, QVMDL_ERR_RECV_NO_ACCOUNT, 0);
  return false;
}

bool QvRetriever::Run(Kind kind, QvAccountInfoInterface* account, QvRASController* ras, const std::string& password,
                      const std::list<unsigned long>* ids) {
  const auto takeBackWord = [this] {
    std::lock_guard<std::mutex> hold(runLock_);
    expected_ = cancelledAhead_ = false;
  };
  if (!CheckAccountInfoInterface(account)) {
    takeBackWord();
    return false;
  }
  // One run of an account at a time, in any process: refused before it
  // touches this retriever, the store or the server.
  QvAccountHold accountHold(account);
  if (!accountHold.Held()) {
    takeBackWord();
    SetQvMiddleError(QVMDL_ERR_RECV_ACCOUNT_BUSY);
    ToObserver(MSG_Error, QVMDL_ERR_RECV_ACCOUNT_BUSY, 0);
    return false;
  }
  bool cancelledAhead = false;
  {
    std::lock_guard<std::mutex> hold(runLock_);
    running_ = true;
    cancelled_ = false;
    cancelledAhead = cancelledAhead_;
    expected_ = cancelledAhead_ = false;
  }
  if (cancelledAhead) {
    // Stopped before it started: nothing is touched, the caller hears the
    // cancel as from a session.
    SetQvMiddleError(QVMDL_ERR_POP_CANCELLED);
    ToObserver(MSG_Error, QVMDL_ERR_POP_CANCELLED, 0);
    std::lock_guard<std::mutex> hold(runLock_);
    running_ = false;
    return false;
  }
  account_ = account;
  kind_ = kind;
  map_.clear();
  storedUids_.clear();
  unsafe_.clear();
  unsynced_.clear();
  bool result = false;
  std::list<std::string> selected;
  if (ids == nullptr || Create_map_FromMsgIDToUIDL_AND_list_UID(account, *ids, &map_, &selected, false)) {
    // The registration goes with the run, whoever else registers meanwhile.
    QvRASController::ScopedNotifyRas registration(ras, &rasAdaptor_);
    saveResult_ = true;
    ToObserver(MSG_Connection, 1, 0);
    long status = 0;
    void* connection = ras != nullptr ? ras->EstablishConnection(&status, account) : nullptr;
    if (connection == nullptr) {
      if (PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvNoConnection);
      SetQvMiddleError(QVMDL_ERR_RECV_NO_CONNECTION);
      ToObserver(MSG_Error, QVMDL_ERR_RECV_NO_CONNECTION, 0);
    } else {
      result = Session(ras, connection, password);
    }
  }
  batch_.reset();
  Reset();
  std::lock_guard<std::mutex> hold(runLock_);
  running_ = false;
  forgetCancel();
  return result;
}

bool QvRetriever::Session(QvRASController* ras, void* connection, const std::string& password) {
  std::wstring wide;
  if (!MakeWstringFromString(password, &wide)) wide.clear();
  // The account's storage stays open for the whole run: the journal, the
  // partial copies and the filing each open it again, and each of those
  // opens would otherwise read and check the whole storage anew. Its own
  // failure is left to the opens that need it, with the error word as it was.
  const uint32_t wordBefore = GetQvMiddleError();
  const std::unique_ptr<QvStorageInterface> heldStorage(account_->OpenStorage());
  if (!heldStorage) SetQvMiddleError(wordBefore);
  // What an earlier run stored before it died counts as received.
  QvUidJournal journal(account_);
  if (!journal.FoldIn() || !setMailAccount(wide)) {
    saveResult_ = false;
    ReleaseAfter(ras);
    return false;
  }
  const Kind kind = kind_;  // partial or whole, by the account
  const std::list<std::wstring> known = record_.uidList;
  const int mode = kind == Kind::Clear ? 4 : kind == Kind::Selected ? 2 : kind == Kind::Partial ? 1 : 0;
  setAccount(&record_, connection);
  if (kind == Kind::Selected) {
    // The copies being completed; setAccount emptied the list.
    std::list<std::string> download;
    for (const auto& [uid, entry] : map_) download.push_back(uid);
    setDownloadList(download);
  }
  std::list<std::string> partial;
  if (!PartialUids(&partial)) {
    ReleaseAfter(ras);
    return false;
  }
  setPartialList(partial);
  setPopMode(mode);
  ToObserver(MSG_Connection, 2, 0);
  clearServer_ = kind == Kind::Clear;
  if (kind == Kind::Whole || kind == Kind::Partial) {
    classifier_ = new (std::nothrow) QvClassifier;
    if (classifier_ == nullptr) {
      SetQvMiddleError(QVMDL_ERR_EML_NOT_ENOUGH_MEMORY);
      saveResult_ = false;
      ReleaseAfter(ras);
      return false;
    }
  }
  sessionEnded_ = false;
  storedSafe_ = false;
  journal_ = &journal;
  {
    // The texts' syncs run beside the session: the server removes what
    // "DELE" named only at "QUIT", and everything stored is on the disk
    // before that (MakeStoredSafe).
    std::optional<QvDeferredSync> syncs;
    if (kind == Kind::Whole || kind == Kind::Partial) syncs.emplace();
    syncs_ = syncs ? &*syncs : nullptr;
    newConnection();
    batch_.reset();
    CommitSynced(true);
    if (!unsafe_.empty()) saveResult_ = false;
    syncs_ = nullptr;
  }
  journal_ = nullptr;
  // What the run stored reaches the disk, its slots, lists and counter with
  // it, before the list names it for good and the journal goes; failing
  // that, the journal stays and the next run settles from the store.
  if (journal.Begun() && !storedSafe_ && !qv::FlushDeviceVolume()) {
    ReportError(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML, 0);
  } else if (SaveUidList(kind, known)) {
    journal.Remove();
    // The last UID is a hint for older readers only (the list decides), so it
    // is written once a run, and never ahead of the list: with no list, the
    // hint alone would make the mail before it count as received.
    if (!lastStored_.empty()) account_->SaveLastUID(lastStored_);
  }
  delete classifier_;
  classifier_ = nullptr;
  clearServer_ = false;
  const bool unwell = kind == Kind::Whole || kind == Kind::Partial
                          ? lastCompletion_ > 0 || !limitNotHit_ || cancelled_ || diskFull_ || errorSeen_
                          : true;
  if (!saveResult_ && unwell) ReleaseAfter(ras);
  return saveResult_;
}

// The account's new list. A session that read the server's whole UID list and
// ended with "QUIT" answered knows what is on the server: its latest list.
// Any other keeps what was known and adds what was stored.
bool QvRetriever::SaveUidList(Kind kind, const std::list<std::wstring>& known) {
  std::list<std::wstring> uids;
  if (sessionEnded_ && uidlListComplete() && kind != Kind::Selected) {
    // A server may list a UID twice; the account knows it once, where it
    // came first.
    std::list<std::wstring> latest;
    getUidlList(latest);
    std::set<std::wstring> seen;
    for (std::wstring& uid : latest) {
      if (seen.insert(uid).second) uids.push_back(std::move(uid));
    }
  } else {
    std::list<std::wstring> latest;
    if (sessionEnded_ && uidlListComplete()) getUidlList(latest);
    const std::set<std::wstring> there(latest.begin(), latest.end());
    std::set<std::wstring> gone;
    // Completed copies deleted on the server leave the list with "QUIT".
    for (const std::string& uid : storedUids_) {
      if (sessionEnded_ && uidlListComplete() && !there.count(qv::Cp932ToWide(uid))) gone.insert(qv::Cp932ToWide(uid));
    }
    std::set<std::wstring> seen;
    for (const std::wstring& uid : known) {
      if (!gone.count(uid) && seen.insert(uid).second) uids.push_back(uid);
    }
    if (kind != Kind::Selected) {
      for (const std::string& uid : storedUids_) {
        std::wstring wide = qv::Cp932ToWide(uid);
        if (seen.insert(wide).second) uids.push_back(std::move(wide));
      }
    }
  }
  if (!unsafe_.empty()) {
    uids.remove_if([&](const std::wstring& uid) { return unsafe_.count(qv::WideToCp932(uid)) != 0; });
  }
  if (account_->SaveUIDL(uids)) return true;
  saveResult_ = false;
  return false;
}

void QvRetriever::ReleaseAfter(QvRASController* ras) {
  ToObserver(MSG_Connection, 3, 0);
  long status = 0;
  if (ras == nullptr || !ras->ReleaseConnection(&status)) {
    SetQvMiddleError(QVMDL_ERR_RECV_RELEASE);
    ToObserver(MSG_Error, QVMDL_ERR_RECV_RELEASE, 0);
  }
}

void QvRetriever::Reset() {
  saved_ = allowed_ = shortfall_ = 0;
  diskFull_ = clearServer_ = errorSeen_ = sessionEnded_ = false;
  lastCompletion_ = 0;
  limitNotHit_ = true;
  storedUids_.clear();
  lastStored_.clear();
  map_.clear();
  record_ = MailAccount();
}

bool QvRetriever::MakeWstringFromString(const std::string& text, std::wstring* out) {
  out->clear();
  if (text.empty()) return true;
  *out = qv::Cp932ToWide(text);
  if (out->empty()) {
    SetQvMiddleError(QVMDL_ERR_ACC_UID_CONVERT);
    return false;
  }
  return true;
}

bool QvRetriever::ReadMailAccount(QvAccountInfoInterface* account, const std::wstring& password, Settings* settings,
                                  MailAccount* record) {
  Settings s;
  for (uint32_t bit : {Settings::kSenderAddress, Settings::kPopUserName, Settings::kPopPasswd,
                       Settings::kPopServerName, Settings::kSmtpServerName, Settings::kPopServerPort,
                       Settings::kSmtpServerPort, Settings::kPartialRetrievingLines, Settings::kMessageLeavingEnabled,
                       Settings::kPopBeforeSmtpEnabled, Settings::kAPOPEnabled, Settings::kSmtpAuthEnabled,
                       Settings::kSmtpUserName, Settings::kSmtpPasswd, Settings::kPopBeforeSmtpLatencySec,
                       Settings::kTaccount, Settings::kAutoMailRetrievingEnabled, Settings::kPartialRetrievingEnabled,
                       Settings::kRemoveOldMessageEnabled, Settings::kRemoveOldMessageCnt}) {
    s.Select(bit);
  }
  std::wstring lastUid;
  MailAccount m;
  if (!account->GetAccountInfoAttributes(&s) || !account->GetLastUID(&lastUid) || !account->GetUIDL(&m.uidList))
    return false;
  m.senderAddress = s.strSenderAddress;
  m.popUserName = s.strPopUserName;
  m.popPassword = password.empty() ? s.strPopPasswd : password;
  m.popServerName = s.strPopServerName;
  m.smtpServerName = s.strSmtpServerName;
  m.popPort = s.uiPopServerPort;
  m.smtpPort = s.uiSmtpServerPort;
  m.partialLines = s.uiPartialRetrievingLines;
  m.deleteOnServer = s.bMessageLeavingEnabled ? 1 : 0;
  m.popBeforeSmtp = s.bPopBeforeSmtpEnabled ? 1 : 0;
  m.apop = s.bAPOPEnabled ? 1 : 0;
  m.smtpAuthMode = s.bSmtpAuthEnabled ? 1 : 0;
  m.smtpUserName = s.strSmtpUserName;
  m.smtpPassword = s.strSmtpPasswd;
  m.lastUid = lastUid;
  m.popBeforeSmtpWaitSeconds = s.ulPopBeforeSmtpLatencySec;
  *settings = s;
  *record = std::move(m);
  return true;
}

bool QvRetriever::setMailAccount(const std::wstring& password) {
  if (!ReadMailAccount(account_, password, &settings_, &record_)) return false;
  if (settings_.bTaccount) tAccount_ = true;
  autoRetrieval_ = settings_.bAutoMailRetrievingEnabled;
  if (kind_ == Kind::Whole || kind_ == Kind::Partial) {
    kind_ = settings_.bPartialRetrievingEnabled ? Kind::Partial : Kind::Whole;
    record_.popFlag = kind_ == Kind::Partial ? 1 : 0;
  }
  return true;
}

// The UIDs of the copies held in part (partial or header only): the server
// keeps them until they are fetched whole. A run that may delete cannot tell
// them from the whole ones when they cannot be read: false then, with the
// storage's error reported, and the run deletes nothing.
bool QvRetriever::PartialUids(std::list<std::string>* uids) {
  uids->clear();
  const bool mayDelete = record_.deleteOnServer != 0 || kind_ == Kind::Clear;
  const auto unreadable = [&] { return !mayDelete || ReportError(GetQvMiddleError(), 0); };
  std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
  if (!storage) return unreadable();
  std::unique_ptr<QvFolderInterface> tray(storage->OpenFolder(kPartialTray));
  std::vector<unsigned long> ids;
  if (!tray || !tray->GetMessageIds(&ids)) return unreadable();
  for (unsigned long id : ids) {
    std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(id));
    if (!message) return unreadable();
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUidl;
    // A copy older than the UID field has none to keep.
    if (!message->GetAttributes(&a) && GetQvMiddleError() != QVMDL_ERR_STG_EML_OLD_VERSION) return unreadable();
    if (!a.uidl.empty()) uids->push_back(a.uidl);
  }
  return true;
}

bool QvRetriever::Create_map_FromMsgIDToUIDL_AND_list_UID(QvAccountInfoInterface* account,
                                                          const std::list<unsigned long>& ids, UidMap* map,
                                                          std::list<std::string>* uids, bool flag) {
  map->clear();
  uids->clear();
  if (account == nullptr) return false;
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  if (!storage) return false;
  for (unsigned long id : ids) {
    std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(id));
    if (!message) return false;
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUidl;
    if (!message->GetAttributes(&a) && GetQvMiddleError() != 0x2004721) return false;
    if (!map->emplace(a.uidl, stMsgID_Partial{id, flag}).second) {
      SetQvMiddleError(QVMDL_ERR_RECV_UID_TWICE);
      return false;
    }
    uids->push_back(a.uidl);
  }
  return true;
}

bool QvRetriever::bActiveQvMailNow() {
  if (!periodic_ || observer_ == nullptr) return true;
  bool active = true;
  observer_->isActive(&active, this);
  return active;
}

bool QvRetriever::PhoneRule() { return tAccount_ || (periodic_ && !bActiveQvMailNow()); }

bool QvRetriever::SetMyPhoneStatus(unsigned int item, unsigned int value) { return SetPhoneStatus(item, value) == 1; }

bool QvRetriever::ReportError(uint32_t code, long l) {
  saveResult_ = false;
  if (!diskFull_ && PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvError);
  SetQvMiddleError(code);
  ToObserver(MSG_Error, static_cast<long>(code), l);
  return false;
}

bool QvRetriever::OnReceiveMessage(int message, long w, long l) {
  switch (message) {
    case PopClient::MSG_PopNewMessage:
    case PopClient::MSG_PopNewPartMessage:
    case PopClient::MSG_PopNewHeader:
      return OnFetched(message);
    case PopClient::MSG_PopErrorOccured:
      errorSeen_ = true;
      saveResult_ = false;
      if (!diskFull_ && PhoneRule()) {
        if (w == 0) {
          NKDbgPrintfW(L"=== MSG_PopErrorOccured : POP_OK\r\n");
        } else {
          SetMyPhoneStatus(kItemReceive, static_cast<uint32_t>(w) == kPopStorageFull ? kRecvStorageFull : kRecvError);
        }
      }
      shortfall_ = 0;
      ToObserver(MSG_Error, w, l);
      return true;
    case PopClient::MSG_PopComplete:
      sessionEnded_ = true;
      lastCompletion_ = w;
      if (w > 0) {
        SetPhoneStatus(kItemNewMail, 1);
        if (PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvDone);
        shortfall_ = 0;
        ToObserver(MSG_Complete, w, l);
        return true;
      }
      if (!clearServer_) {
        saveResult_ = false;
        if (!diskFull_ && PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvNoMail);
        SetQvMiddleError(QVMDL_ERR_RECV_NO_NEW_MAIL);
        ToObserver(MSG_Error, QVMDL_ERR_RECV_NO_NEW_MAIL, l);
      }
      return true;
    case PopClient::MSG_PopAborted:
      sessionEnded_ = true;
      saveResult_ = false;
      return true;
    case PopClient::MSG_PopCanceled:
      sessionEnded_ = true;
      return true;
    case PopClient::MSG_PopMailBoxSize:
      return OnMailBoxSize(w, l);
    case PopClient::MSG_PopBeforeQuit:
      return MakeStoredSafe();
    case PopClient::MSG_PopRecvSize:
    case PopClient::MSG_PopUpdateStatus:
      if (allowed_ > 0 && saved_ >= allowed_) {
        saveResult_ = false;
        limitNotHit_ = false;
        if (message == PopClient::MSG_PopUpdateStatus && PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvError);
        SetQvMiddleError(QVMDL_ERR_RECV_MESSAGE_LIMIT);
        ToObserver(MSG_Error, QVMDL_ERR_RECV_MESSAGE_LIMIT, static_cast<long>(shortfall_));
        return false;
      }
      return ToObserver(static_cast<unsigned>(message), w, l);
    case PopClient::MSG_PopDeleteComplete:
      sessionEnded_ = true;
      ToObserver(MSG_DeleteComplete, w, l);
      return true;
    default:
      return true;
  }
}

// MSG_PopMailBoxSize: w messages to fetch. The message limit makes room for
// them first, or caps the run at what fits.
bool QvRetriever::OnMailBoxSize(long w, long l) {
  if (w == 0) {
    saveResult_ = false;
    if (PhoneRule()) SetMyPhoneStatus(kItemReceive, kRecvNoMail);
    SetQvMiddleError(QVMDL_ERR_RECV_NO_NEW_MAIL);
    ToObserver(MSG_Error, QVMDL_ERR_RECV_NO_NEW_MAIL, l);
    return false;
  }
  if (settings_.bRemoveOldMessageEnabled && (kind_ == Kind::Whole || kind_ == Kind::Partial)) {
    std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
    if (!storage) return ReportError(GetQvMiddleError(), -1);
    const QvMessageLimitContext context{storage.get(), account_};
    unsigned shortfall = 0;
    if (!EnsureMessageLimit(context, static_cast<unsigned>(w), &shortfall)) {
      if (shortfall == 0) return ReportError(GetQvMiddleError(), -1);
      // The shortfall may pass the count asked for.
      const int64_t fits = static_cast<int64_t>(w) - static_cast<int64_t>(shortfall);
      shortfall_ = shortfall;
      if (fits <= 0) {
        limitNotHit_ = false;
        return ReportError(QVMDL_ERR_RECV_MESSAGE_LIMIT, static_cast<long>(shortfall));
      }
      allowed_ = static_cast<unsigned>(fits);
    }
  }
  ToObserver(MSG_MailBoxSize, w, l);
  return true;
}

// A fetched message (kind: whole, partial or header only). True only once it
// is stored and its UID journalled: the client may then go on, and delete it
// when it came whole.
bool QvRetriever::OnFetched(int kind) {
  std::string text, uid;
  getMail(&text, &uid);
  if (text.empty()) return ReportError(QVMDL_ERR_RECV_EMPTY_MESSAGE, 0);
  if (uid.empty()) return ReportError(QVMDL_ERR_RECV_NO_UID, 0);
  const bool replace = map_.count(uid) != 0;
  if (kind == PopClient::MSG_PopNewPartMessage && replace) {
    SetQvMiddleError(QVMDL_ERR_RECV_PARTIAL_TWICE);
    return ReportError(QVMDL_ERR_RECV_NO_UID, 0);
  }
  if (kind == PopClient::MSG_PopNewHeader) pop::InsertOversizeMark(text);
  // Header-only copies count as partial: they wait for their whole text.
  const bool partial = kind != PopClient::MSG_PopNewMessage;
  // The run's start in the store is on the disk before its first message.
  if (!replace) {
    const uint32_t begun = journal_ != nullptr ? journal_->Begin() : QVMDL_ERR_ACC_UIDL_CREATE;
    if (begun != QVMDL_SUCCESS) return ReportError(begun, 0);
  }
  // New messages are stored under one hold of the store's mutexes while the
  // server's answers are at hand; a replaced copy is not.
  if (replace) {
    batch_.reset();
  } else if (!batch_) {
    batch_.emplace();
    batchStored_ = 0;
    if (!batch_->Held()) batch_.reset();  // another holds part of the store: the next message tries again
  }
  const uint64_t ticketBefore = syncs_ != nullptr ? syncs_->LastTicket() : 0;
  const bool stored = replace ? ReplaceMessage(text, uid, partial) : SaveMessage(text, uid, partial);
  if (batch_ && ++batchStored_ >= kBatchMessages) batch_.reset();
  if (!stored) return ReportError(GetQvMiddleError(), 0);
  if (!replace) {
    storedUids_.push_back(uid);
    const uint64_t ticket = syncs_ != nullptr && syncs_->LastTicket() != ticketBefore ? syncs_->LastTicket() : 0;
    if (!Journal(uid, ticket, text)) return false;
  }
  if (kind_ != Kind::Selected) lastStored_ = uid;
  ++saved_;
  ToObserver(static_cast<unsigned>(kind), 0, 0);
  return true;
}

// A run whose start line is on the disk is settled from the store alone
// (QvUidJournal::FoldIn reads no other line of it): its messages need no line
// of their own, only the watch over their syncs.
bool QvRetriever::Journal(const std::string& uid, uint64_t ticket, const std::string& text) {
  if (journal_ == nullptr) return ReportError(QVMDL_ERR_ACC_UIDL_CREATE, 0);
  if (journal_->Begun()) {
    if (ticket != 0) unsynced_.emplace_back(uid, ticket);
    return ticket == 0 || CommitSynced(false);
  }
  if (ticket == 0) return journal_->Append(uid) || ReportError(QVMDL_ERR_ACC_UIDL_CREATE, 0);
  const unsigned long id = classifier_ != nullptr ? classifier_->LastSavedId() : 0;
  if (!journal_->AppendPending(uid, id, text)) return ReportError(QVMDL_ERR_ACC_UIDL_CREATE, 0);
  unsynced_.emplace_back(uid, ticket);
  return CommitSynced(false);
}

bool QvRetriever::CommitSynced(bool all) {
  // Enough to keep the disk busy while the session reads on.
  constexpr size_t kMaxUnsynced = 64;
  bool good = true;
  while (!unsynced_.empty()) {
    const auto& [uid, ticket] = unsynced_.front();
    bool synced = false;
    if (!syncs_->DoneInOrder(ticket, &synced)) {
      if (!all && unsynced_.size() <= kMaxUnsynced) break;
      synced = syncs_->Wait(ticket);
    }
    if (!synced) {
      // Stored but perhaps not on the disk: not known as received, so the
      // next run fetches it again rather than lose it. The session goes on.
      unsafe_.insert(uid);
      ReportError(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML, 0);
    } else if (journal_ == nullptr || (!journal_->Begun() && !journal_->Append(uid))) {
      good = ReportError(QVMDL_ERR_ACC_UIDL_CREATE, 0);
    }
    unsynced_.pop_front();
  }
  return good;
}

// Before the "QUIT" that removes what the session deleted on the server:
// every text synced and the store's lists, slots and counter with them. A
// text whose sync failed keeps "QUIT" back too, so that the server keeps it.
bool QvRetriever::MakeStoredSafe() {
  batch_.reset();
  if (syncs_ != nullptr) CommitSynced(true);
  if (journal_ == nullptr || !journal_->Begun()) return unsafe_.empty();
  if (!qv::FlushDeviceVolume()) return ReportError(QVMDL_ERR_STG_FILEIO_FILE_WRITE_EML, 0);
  storedSafe_ = true;  // nothing is stored after the "QUIT"
  return unsafe_.empty();
}

void QvRetriever::DiskFullRule() {
  const uint32_t code = GetQvMiddleError();
  if (PhoneRule() && code >= kFirstStorageCode && code < kFirstStorageCode + kStorageCodes) {
    SetMyPhoneStatus(kItemReceive, kRecvStorageFull);
    NKDbgPrintfW(L"QvRetriever::SaveMessages() --- Disk Full Err\r\n");
    diskFull_ = true;
  }
}

bool QvRetriever::SaveMessage(std::string& text, const std::string& uid, bool partial) {
  diskFull_ = false;
  saveResult_ = classifier_ != nullptr && classifier_->SaveToFolder(text, uid, partial, account_);
  if (!saveResult_) {
    DiskFullRule();
    NKDbgPrintfW(L"QvRetriever::SaveMessage() --- result is Fail.\r\n");
  }
  return saveResult_;
}

bool QvRetriever::FindMsg(const std::string& uid) {
  if (map_.count(uid)) return true;
  SetQvMiddleError(QVMDL_ERR_RECV_UID_NOT_MAPPED);
  return false;
}

bool QvRetriever::ReplaceMessage(const std::string& text, const std::string& uid, bool partial) {
  diskFull_ = false;
  if (!FindMsg(uid)) return false;
  if (ReplaceStoredMessage(account_, map_[uid].id, text, partial)) return true;
  DiskFullRule();
  return false;
}

bool QvRetriever::ReplaceStoredMessage(QvAccountInfoInterface* account, unsigned long id, const std::string& text,
                                       bool partial) {
  std::unique_ptr<QvStorageInterface> storage(account->OpenStorage());
  std::unique_ptr<QvMessageInterface> message(storage ? storage->OpenMessage(id) : nullptr);
  Email mail;
  if (!message || !EmlCompose().Decode(&mail, &text) || !message->Write(text)) return false;
  QvMessageInterface::Attributes a;
  a.mask = QvMessageInterface::kUnread | QvMessageInterface::kHasAttachments | QvMessageInterface::kState;
  a.unread = 1;
  a.hasAttachments = mail.attachments.empty() ? 0 : 1;
  a.state = partial ? 1 : 0;
  return message->SetAttributes(a);
}
