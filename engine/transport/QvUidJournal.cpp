#include "engine/transport/QvUidJournal.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <list>
#include <memory>
#include <set>

#include "engine/foundation/QvAccountInfo.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "engine/public/foundation/QvMiddleError.h"
#include "engine/foundation/QvSafeReplace.h"
#include "engine/store/QvMessage.h"
#include "engine/public/store/QvMessageInterface.h"
#include "engine/store/QvStorage.h"
#include "engine/public/store/QvStorageInterface.h"
#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/codepage/CodePage.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"

QvUidJournal::QvUidJournal(QvAccountInfoInterface* account) : account_(account) {
  if (account != nullptr && account->Account() != nullptr) path_ = account->Account()->FolderPath() + L"\\UID.journal";
}

QvUidJournal::~QvUidJournal() { Close(); }

void QvUidJournal::Close() {
  if (file_ != nullptr) CloseHandle(static_cast<HANDLE>(file_));
  file_ = nullptr;
}

bool QvUidJournal::Append(const std::string& uid) { return Write(qv::Cp932ToWide(uid)); }

namespace {

// A disk sector in UTF-16 units, less the line end.
constexpr size_t kSectorUnits = 512 / 2 - 2;

std::vector<std::wstring> SplitTabs(const std::wstring& line) {
  std::vector<std::wstring> fields;
  for (size_t start = 0;;) {
    const size_t tab = line.find(L'\t', start);
    fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
    if (tab == std::wstring::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

std::wstring QvUidJournal::Digest(const std::string& text) {
  const size_t length = std::min(text.find('\0'), text.size());
  return qv::FormatW(L"%016llx", static_cast<unsigned long long>(QvMessage::TextDigest(text.data(), length)));
}

// The start line: an empty UID, then "start", the boot and the id.
uint32_t QvUidJournal::Begin() {
  if (begun_ || path_.empty()) return QVMDL_SUCCESS;
  std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
  if (!storage || storage->Storage() == nullptr) return GetQvMiddleError();
  const uint32_t next = storage->Storage()->Messages().Ids().PeekNextId();
  // The file is kept from run to run (emptied, not deleted), so its name is
  // on the disk from its first run on and a sync of its bytes is enough; the
  // first run syncs the account's folder for it (only that folder: a flush of
  // the whole volume would wait for whatever else anyone wrote).
  const bool named = GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!OpenFile()) return QVMDL_ERR_ACC_UIDL_CREATE;
  if (!named) {
    std::wstring folder = path_.substr(0, path_.rfind(L'\\'));
    while (folder.size() > 1 && folder.back() == L'\\') folder.pop_back();
    if (!qv::FlushFolder(folder.c_str())) return QVMDL_ERR_ACC_UIDL_CREATE;
  }
  // The line fills the file's first sector, so that the lines appended after
  // it, which are not synced, never share a sector with it: a power cut can
  // tear the sector it was writing, and takes only those.
  std::wstring line = L"\tstart\t" + qv::Utf8ToWide(qv::BootId()) + L"\t" + qv::FormatW(L"%04X", next) + L"\t";
  if (line.size() < kSectorUnits) line.append(kSectorUnits - line.size(), L' ');
  if (!Write(line) ||
      !FlushFileBuffers(static_cast<HANDLE>(file_))) {
    Close();
    return QVMDL_ERR_ACC_UIDL_CREATE;
  }
  begun_ = true;
  return QVMDL_SUCCESS;
}

// A UID never holds a tab: the other fields follow one each.
bool QvUidJournal::AppendPending(const std::string& uid, unsigned long id, const std::string& text) {
  return Write(qv::Cp932ToWide(uid) + L"\t" + qv::Utf8ToWide(qv::BootId()) + L"\t" + std::to_wstring(id) + L"\t" +
               Digest(text));
}

bool QvUidJournal::OpenFile() {
  if (file_ != nullptr) return true;
  HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = file;
  return true;
}

bool QvUidJournal::Write(const std::wstring& line) {
  if (path_.empty()) return true;
  const std::string bytes = qv::WideToUtf16LE(line + L"\r\n");
  if (!OpenFile()) return false;
  HANDLE file = static_cast<HANDLE>(file_);
  DWORD written = 0;
  const bool ok = SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
                  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  // After a failure the next call opens the file afresh.
  if (!ok) Close();
  return ok;
}

bool QvUidJournal::FoldIn() {
  if (path_.empty()) return true;
  std::string bytes;
  if (!SafeReadWholeFile(path_, &bytes, nullptr) || bytes.empty()) return true;  // nothing left behind
  const std::wstring text = qv::Utf16LEToWide(std::string_view(bytes).substr(0, bytes.size() & ~size_t{1}));
  // A run that wrote its start line is settled from the store alone: its
  // other lines may have reached the disk when the messages they name did not.
  const bool started = text.find(L"\tstart\t") != std::wstring::npos;
  std::list<std::wstring> uids;
  if (!account_->GetUIDL(&uids)) return false;
  std::set<std::wstring> known(uids.begin(), uids.end());
  const size_t before = uids.size();
  bool unflushed = false;
  std::vector<Pending> restarted;
  std::vector<Start> starts;
  const std::wstring boot = qv::Utf8ToWide(qv::BootId());
  // Only whole lines: the last one may have been cut by the crash.
  for (size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    std::vector<std::wstring> fields = SplitTabs(text.substr(start, end - start));
    std::wstring& uid = fields[0];
    unsigned firstId = 0;
    if (uid.empty() && fields.size() >= 4 && fields[1] == L"start" && swscanf(fields[3].c_str(), L"%x", &firstId) == 1) {
      starts.push_back({fields[2], firstId});
      continue;
    }
    if (started) continue;
    // A damaged line is no UID; keeping it would make the list unwritable.
    if (uid.empty() || uid.find_first_of(L"\r\n") != std::wstring::npos) continue;
    if (fields.size() > 1) {
      // A message whose text was not yet synced.
      if (boot.empty() || fields[1] != boot) {
        unsigned long id = 0;
        if (fields.size() == 4 && swscanf(fields[2].c_str(), L"%lu", &id) == 1) {
          restarted.push_back({uid, id, fields[3]});
        }
        continue;
      }
      unflushed = true;
    }
    if (known.insert(uid).second) uids.push_back(std::move(uid));
  }
  if (!restarted.empty()) CheckRestarted(restarted, &known, &uids);
  // Nothing of a run cut short is taken on trust of lines that may never
  // have reached the disk: the store says what the run made.
  if (!starts.empty() && !CheckStarted(starts, boot, &known, &uids, &unflushed)) return false;
  // The texts behind pending lines reach the disk before the list names them.
  if (unflushed && !qv::FlushDeviceVolume()) return false;
  if (uids.size() != before && !account_->SaveUIDL(uids)) return false;
  Remove();
  return true;
}

bool QvUidJournal::CheckStarted(const std::vector<Start>& starts, const std::wstring& boot,
                                std::set<std::wstring>* known, std::list<std::wstring>* uids, bool* unflushed) {
  std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
  if (!storage || storage->Storage() == nullptr) return false;
  for (const Start& start : starts) {
    std::vector<uint32_t> ids;
    if (!storage->Storage()->MessagesSince(static_cast<uint32_t>(start.firstId), &ids)) return false;
    const bool sameBoot = !boot.empty() && start.boot == boot;
    for (uint32_t id : ids) {
      std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(id));
      if (!message) continue;
      QvMessageInterface::Attributes a;
      a.mask = QvMessageInterface::kUidl;
      message->GetAttributes(&a);  // an older file says so, and still gives its UID
      message.reset();
      if (a.uidl.empty()) continue;  // made here, not received
      const std::wstring uid = qv::Cp932ToWide(a.uidl);
      if (known->count(uid) != 0) continue;
      if (sameBoot) {
        *unflushed = true;  // whole in memory: the fold's flush puts it on the disk
      } else if (storage->Storage()->CheckText(id) == QvMessage::Stored::kTorn) {
        if (!storage->RemoveMessage(id)) return false;
        continue;
      }
      known->insert(uid);
      uids->push_back(uid);
    }
  }
  return true;
}

void QvUidJournal::CheckRestarted(const std::vector<Pending>& pending, std::set<std::wstring>* known,
                                  std::list<std::wstring>* uids) {
  std::unique_ptr<QvStorageInterface> storage(account_->OpenStorage());
  if (!storage) return;  // nothing counts: every such mail is fetched again
  for (const Pending& p : pending) {
    if (known->count(p.uid) != 0) continue;
    std::unique_ptr<QvMessageInterface> message(storage->OpenMessage(p.id));
    if (!message) continue;
    // The store keeps a UID's first hundred bytes: the message must carry a
    // beginning of it, or the id went to another message since.
    QvMessageInterface::Attributes a;
    a.mask = QvMessageInterface::kUidl;
    if (!message->GetAttributes(&a) || a.uidl.empty() || qv::Cp932ToWide(a.uidl) != p.uid.substr(0, a.uidl.size())) {
      continue;
    }
    std::string raw;
    const bool whole = message->SeekToHead() && message->Read(&raw) && Digest(raw) == p.digest;
    message.reset();
    if (whole) {
      known->insert(p.uid);
      uids->push_back(p.uid);
    } else {
      storage->RemoveMessage(p.id);
    }
  }
}

void QvUidJournal::Remove() {
  Close();
  begun_ = false;
  if (path_.empty()) return;
  HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}
