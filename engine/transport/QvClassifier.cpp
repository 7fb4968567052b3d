#include "engine/public/transport/QvClassifier.h"

#include <memory>
#include <new>

#include "engine/public/content/CharsetText.h"
#include "engine/public/content/Email.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/public/store/MailHistory.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/store/QvFolderSet.h"
#include "engine/store/QvIdTraits.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/public/store/QvStorageInterface.h"
#include "engine/transport/FilingAttributes.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Time.h"

namespace {

using Settings = QvAccountInfoInterface::Attributes;
using Message = QvMessageInterface;

bool Fail(uint32_t code) {
  SetQvMiddleError(code);
  return false;
}

// Whether a folder that would not open is gone, by the store's code: an id
// past the tree, a folder taken out of its parent's list, no ".fld" to
// settle from, or one that cannot be opened because it is not there.
bool FolderIsGone(QvAccountInfoInterface* account, unsigned long id, uint32_t code) {
  if (code == QVMDL_ERR_STG_SAFESAVE_NOFILE_FLD || code == QVMDL_ERR_STG_FOLDER_ID_RANGE ||
      code == QVMDL_ERR_STG_FOLDER_NOT_LISTED) {
    return true;
  }
  std::wstring root;
  if (code != QVMDL_ERR_STG_FILEIO_FILE_OPEN_FLD || account->Account() == nullptr ||
      account->Account()->SubFolderPath(QvAccountInfo::kStorageFolder, &root) != QVMDL_SUCCESS) {
    return false;
  }
  const auto low = QvIdTraits::LowByte(static_cast<uint32_t>(id));
  const auto high = QvIdTraits::SecondByte(static_cast<uint32_t>(id));
  return !FileIsPresent(QvFolderSet::TreeDirOf(root) + qv::FormatW(L"\\%02X\\%02X.fld", low, high));
}

// Virtual trays hold no messages of their own; mail is never filed there.
constexpr unsigned long kFirstVirtualTray = 0x10000;

bool Contains(const std::wstring& lowered, const std::wstring& keyword) {
  return lowered.find(keyword) != std::wstring::npos;
}

bool ValidDate(const SYSTEMTIME& t) {
  FILETIME ignored;
  return t.wYear >= 1601 && SystemTimeToFileTime(&t, &ignored);
}

std::string Stamp(const SYSTEMTIME& t) {
  return qv::FormatA("%04d%02d%02d%02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

}  // namespace

QvClassifier::QvClassifier() = default;
QvClassifier::~QvClassifier() { FlushHistory(); }

void QvClassifier::RecordHistory(const st_MAILHISTORYDATA& entry, QvAccountInfoInterface* account) {
  if (!MailHistory::IsStorableEntry(entry)) return;
  if (account != historyOf_) FlushHistory();
  historyOf_ = account;
  for (auto it = pendingHistory_.begin(); it != pendingHistory_.end(); ++it) {
    if (it->strAddress == entry.strAddress) {
      pendingHistory_.erase(it);
      break;
    }
  }
  pendingHistory_.push_back(entry);
  if (pendingHistory_.size() > MailHistory::kMaxEntries) pendingHistory_.pop_front();
}

void QvClassifier::FlushHistory() {
  if (pendingHistory_.empty() || historyOf_ == nullptr) return;
  if (!history_) history_.reset(new (std::nothrow) MailHistory);
  if (history_) history_->RegistRecvHistoryData(pendingHistory_, historyOf_);
  pendingHistory_.clear();
}

bool QvClassifier::toLowerString(const std::wstring& in, std::wstring* out) {
  try {
    *out = content::ToLowerW(in);
  } catch (const std::bad_alloc&) {
    return Fail(QVMDL_ERR_CLASSIFY_NOT_ENOUGH_MEMORY);
  }
  return true;
}

bool QvClassifier::loadClassificationParamAttributes(QvAccountInfoInterface* account) {
  if (loaded_ != 0) return true;
  std::unique_ptr<QvClassificationParamInterface> param(account->OpenClassificationParamInterface());
  if (!param) return false;
  std::vector<QvClassificationParamInterface::Attributes> rules;
  if (!param->GetAttributes(&rules)) return false;
  for (auto& rule : rules) {
    if (!toLowerString(rule.keyword, &rule.keyword)) return false;
  }
  rules_ = std::move(rules);
  loaded_ = 1;
  return true;
}

bool QvClassifier::getClassifiedFolderId(Email* mail, unsigned long direction, unsigned long* folderId,
                                         bool* matched) {
  *matched = false;
  std::wstring lowered;
  const auto anyOf = [&](const std::list<std::wstring>& list, const std::wstring& keyword, bool* found) {
    for (const std::wstring& entry : list) {
      if (!toLowerString(entry, &lowered)) return false;
      if (Contains(lowered, keyword)) {
        *found = true;
        break;
      }
    }
    return true;
  };
  for (const auto& rule : rules_) {
    const auto d = static_cast<unsigned long>(rule.direction);
    const bool oneWay = direction == kReceived || direction == kSent;
    if (!oneWay || (d != direction && d != kBoth)) continue;
    bool found = false;
    if (rule.field == L"From") {
      if (!toLowerString(mail->fromAddress, &lowered)) return false;
      found = Contains(lowered, rule.keyword);
      if (!found) {
        if (!toLowerString(mail->fromName, &lowered)) return false;
        found = Contains(lowered, rule.keyword);
      }
    } else if (rule.field == L"To") {
      if (!anyOf(mail->to, rule.keyword, &found)) return false;
    } else if (rule.field == L"Cc") {
      if (!anyOf(mail->cc, rule.keyword, &found)) return false;
    } else if (rule.field == L"件名" || rule.field == L"X-ML-name") {
      if (!toLowerString(rule.field == L"件名" ? mail->subject : mail->mailingList, &lowered)) return false;
      found = Contains(lowered, rule.keyword);
    }
    if (found) {
      *folderId = rule.folderId;
      *matched = true;
      return true;
    }
  }
  return true;
}

QvStorageInterface* QvClassifier::Storage(QvAccountInfoInterface* account) {
  const std::wstring owner = account->Account() != nullptr ? account->Account()->FolderPath() : std::wstring();
  if (storage_ && owner == storageOf_) return storage_.get();
  folders_.clear();
  receiveBox_ = 0;
  storage_.reset(account->OpenStorage());
  storageOf_ = storage_ ? owner : std::wstring();
  return storage_.get();
}

QvFolderInterface* QvClassifier::Folder(unsigned long id) {
  auto found = folders_.find(id);
  if (found != folders_.end()) return found->second.get();
  std::unique_ptr<QvFolderInterface> folder(storage_->OpenFolder(id));
  if (!folder) return nullptr;
  return folders_.emplace(id, std::move(folder)).first->second.get();
}

QvFolderInterface* QvClassifier::ReceiveBox(QvAccountInfoInterface* account) {
  if (receiveBox_ == 0) {
    Settings settings;
    settings.Select(Settings::kJusinTrayID);
    if (!account->GetAccountInfoAttributes(&settings)) return nullptr;
    receiveBox_ = settings.ulJusinTrayID;
  }
  return Folder(receiveBox_);
}

bool QvClassifier::SaveToFolder(std::string& raw, const std::string& uidl, bool state,
                                QvAccountInfoInterface* account) {
  if (account == nullptr) return Fail(QVMDL_ERR_CLASSIFY_NULL_ACCOUNT);
  SYSTEMTIME received{};
  GetLocalTime(&received);
  Email mail;
  // A mail the decoder refuses keeps its raw text and is listed with empty
  // texts at its time of receipt, in the receive box.
  const bool decoded = EmlCompose().DecodeForSave(&mail, &raw);
  if (!decoded) mail = Email();
  QvStorageInterface* storage = Storage(account);
  if (storage == nullptr) return false;

  unsigned long folderId = 0;
  bool matched = false;
  // Rules that cannot be read file the mail into the receive box; the next
  // message tries them again.
  if (decoded && loadClassificationParamAttributes(account) &&
      !getClassifiedFolderId(&mail, kReceived, &folderId, &matched)) {
    return false;
  }
  QvFolderInterface* folder = nullptr;
  if (matched && folderId < kFirstVirtualTray) {
    folder = Folder(folderId);
    if (folder == nullptr && !FolderIsGone(account, folderId, GetQvMiddleError())) return false;
  }
  if (folder == nullptr) folder = ReceiveBox(account);
  if (folder == nullptr) return false;

  Message::Attributes a = FilingAttributes(mail);
  a.unread = 1;
  a.state = state ? 1 : 0;
  a.kind = Message::kReceived;
  a.date = Message::LocalTimeToSystemTime(decoded && ValidDate(mail.date) ? mail.date : received);
  a.listTime = a.date;
  a.uidl = uidl;
  // Made whole in one step: no half-written message stays in a folder.
  unsigned long id = 0;
  if (!folder->CreateMessage(&id, a, raw)) return false;
  lastSavedId_ = id;

  // Recorded once the message is safely stored; its result never undoes the filing.
  st_MAILHISTORYDATA entry;
  entry.strDate = Stamp(received);
  if (ConvertWtoS(mail.fromAddress, entry.strAddress) > 0) RecordHistory(entry, account);
  SetQvMiddleError(QVMDL_SUCCESS);
  return true;
}

bool QvClassifier::MoveToFolder(unsigned long messageId, QvAccountInfoInterface* account) {
  if (account == nullptr) return Fail(QVMDL_ERR_CLASSIFY_NULL_ACCOUNT);
  if (!loadClassificationParamAttributes(account)) return false;
  QvStorageInterface* storage = Storage(account);
  if (storage == nullptr) return false;
  Email mail;
  Message::Attributes a;
  {
    std::unique_ptr<Message> message(storage->OpenMessage(messageId));
    if (!message) return false;
    a.mask = Message::kKind;
    std::string raw;
    if ((!message->GetAttributes(&a) && message->GetErrorInfo() != QVMDL_ERR_STG_EML_OLD_VERSION) ||
        !message->Read(&raw) || !EmlCompose().Decode(&mail, &raw)) {
      return false;
    }
  }
  unsigned long direction = 0;
  if (a.kind == Message::kReceived || a.kind == Message::kImported) direction = kReceived;
  if (a.kind == Message::kFeedItem) direction = kSent;
  if (a.kind == Message::kComposed) direction = 4;
  unsigned long folderId = 0;
  bool matched = false;
  if (!getClassifiedFolderId(&mail, direction, &folderId, &matched)) return false;
  if (!matched) return true;
  if (folderId >= kFirstVirtualTray) return true;
  // A rule whose folder is gone leaves the message where it is.
  if (!storage->MoveMessage(messageId, folderId) && !FolderIsGone(account, folderId, GetQvMiddleError())) {
    return false;
  }
  return true;
}
