#include "app/mailops/HeaderRowCache.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>

#include "app/foundation/Contacts.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/MessageStatus.h"
#include "engine/public/store/QvFolderInterface.h"
#include "engine/public/store/QvStorageInterface.h"

namespace {

using Header = QvFolderInterface::FolderMsgHeader;
// Above this many records one buffer of them is not asked for.
constexpr size_t kMaxHeaderRecords = 0x7FFFFFFF / sizeof(Header);

struct Cache {
  std::mutex lock;
  std::deque<QvMailListItem> rows;  // oldest first
};

Cache& TheCache() {
  static Cache* cache = new Cache;
  return *cache;
}

bool FindCached(DWORD messageId, QvMailListItem* row) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  for (const QvMailListItem& cached : cache.rows) {
    if (cached.messageId == messageId) {
      *row = cached;
      return true;
    }
  }
  return false;
}

void AddCached(const QvMailListItem& row) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.rows.push_back(row);
  while (cache.rows.size() > kHeaderCacheRows) cache.rows.pop_front();
}

// The folder's header records, read in one call.
struct LoadedHeaders {
  std::vector<unsigned long> ids;
  std::vector<Header> records;
};

bool TryLoad(QvFolderInterface* folder, LoadedHeaders* loaded, bool* noBuffer) {
  if (!folder->GetMessageIds(&loaded->ids)) return false;
  if (loaded->ids.size() > kMaxHeaderRecords) {
    *noBuffer = true;
    return false;
  }
  try {
    loaded->records.assign(loaded->ids.size(), Header{});
  } catch (const std::bad_alloc&) {
    *noBuffer = true;
    return false;
  }
  return loaded->records.empty() ||
         folder->LoadMessageHeader(loaded->records.data(), static_cast<unsigned long>(loaded->records.size()));
}

bool LoadFolderHeaders(DWORD folderId, LoadedHeaders* loaded) {
  std::unique_ptr<QvFolderInterface> folder(OpenFolderById(folderId));
  if (!folder) return false;
  bool noBuffer = false;
  if (TryLoad(folder.get(), loaded, &noBuffer)) return true;
  if (noBuffer) {
    ShowMailOpsError(kErrorNoHeaderBuffer);
    return false;
  }
  // While the automatic receive waits the store is being written: no box.
  if (GetMailTaskState() == kMailTaskAutoReceive) return false;
  const uint32_t code = folder->GetErrorInfo();
  if (!RecoverEntry(folderId, code)) {
    ShowMailOpsError(code);
    return false;
  }
  if (TryLoad(folder.get(), loaded, &noBuffer)) return true;
  ShowMailOpsError(noBuffer ? kErrorNoHeaderBuffer : folder->GetErrorInfo());
  return false;
}

// The address book's names of the addresses one load has met, misses too:
// a folder's mail comes from few correspondents, and an address the book
// lacks would otherwise be looked for again on every row.
using NameMemo = std::map<std::wstring, std::optional<std::wstring>>;

bool MemoLookup(NameMemo* memo, const std::wstring& address, std::wstring* name) {
  auto found = memo->find(address);
  if (found == memo->end()) {
    std::wstring looked;
    std::optional<std::wstring> entry;
    if (LookupContactName(address, &looked)) entry = looked;
    found = memo->emplace(address, std::move(entry)).first;
  }
  if (!found->second) return false;
  *name = *found->second;
  return true;
}

std::wstring ContactOr(NameMemo* memo, const std::wstring& address) {
  std::wstring name;
  return !address.empty() && MemoLookup(memo, address, &name) && !name.empty() ? name : address;
}

bool BuildHeaderRow(DWORD folderId, const Header& header, QvMailListItem* row, NameMemo* memo) {
  uint32_t status = 0;
  uint32_t kind = 0;
  if (!GetMessageStatus(header.id, folderId, &status, &kind)) return false;
  const std::wstring to = header.toAddress;
  const std::wstring from = header.fromAddress;
  const std::wstring fromName = header.fromName;
  std::wstring correspondent;
  if (kind == QvMailListItem::kReceived || kind == QvMailListItem::kImported) {
    std::wstring contact;
    if (!from.empty() && MemoLookup(memo, from, &contact) && !contact.empty()) {
      correspondent = contact;
    } else {
      correspondent = !fromName.empty() ? fromName : from;
    }
  } else {
    correspondent = ContactOr(memo, to);
  }
  row->messageId = header.id;
  row->correspondent = correspondent.c_str();
  row->subject = header.subject;
  row->date = header.date;
  row->marked = false;
  row->status = status;
  row->kind = kind;
  row->spare = 0;
  return true;
}

// The address book stays open for the whole call.
class PoomSession {
 public:
  PoomSession() : held_(AcquirePoomSession()) {}
  ~PoomSession() {
    if (held_) ReleasePoomSession();
  }
  PoomSession(const PoomSession&) = delete;
  PoomSession& operator=(const PoomSession&) = delete;

 private:
  bool held_;
};

}  // namespace

bool LoadMessageHeaders(DWORD folderId, const std::vector<unsigned long>& ids, std::vector<QvMailListItem>* rows) {
  rows->clear();
  if (ids.empty()) return true;
  PoomSession contacts;
  LoadedHeaders loaded;
  NameMemo names;
  bool haveLoaded = false;
  for (unsigned long id : ids) {
    QvMailListItem row;
    if (FindCached(id, &row)) {
      rows->push_back(row);
      continue;
    }
    if (!haveLoaded) {
      if (!LoadFolderHeaders(folderId, &loaded)) return false;
      haveLoaded = true;
    }
    auto found = std::find(loaded.ids.begin(), loaded.ids.end(), id);
    if (found == loaded.ids.end()) {
      ShowMailOpsError(kErrorHeaderNotFound);
      return false;
    }
    if (!BuildHeaderRow(folderId, loaded.records[static_cast<size_t>(found - loaded.ids.begin())], &row, &names)) {
      ShowMailOpsError(kErrorNoHeaderBuffer);
      return false;
    }
    AddCached(row);
    rows->push_back(row);
  }
  return true;
}

void DropCachedHeader(DWORD messageId) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.rows.erase(std::remove_if(cache.rows.begin(), cache.rows.end(),
                                  [messageId](const QvMailListItem& row) { return row.messageId == messageId; }),
                   cache.rows.end());
}

void DropCachedHeadersOf(const std::vector<unsigned long>& ids) {
  for (unsigned long id : ids) DropCachedHeader(id);
}

void ClearHeaderCache() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.rows.clear();
}

size_t CachedHeaderCount() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  return cache.rows.size();
}

bool IsHeaderCached(DWORD messageId) {
  QvMailListItem row;
  return FindCached(messageId, &row);
}
