#include "app/mailops/HeaderRowCache.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

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

// Rows by id, and the ids in the order they came for the bound (an entry
// whose row was dropped or came again since is stale and skipped): a list
// of 1,000 looks up every row, and scanning a bounded queue for each would
// cost millions of comparisons an open.
struct Cache {
  std::mutex lock;
  struct Entry {
    QvMailListItem row;
    uint64_t stamp = 0;
  };
  std::unordered_map<DWORD, Entry> rows;
  std::deque<std::pair<DWORD, uint64_t>> order;  // oldest first
  uint64_t next = 0;

  bool Current(const std::pair<DWORD, uint64_t>& at) const {
    auto found = rows.find(at.first);
    return found != rows.end() && found->second.stamp == at.second;
  }
  void Trim() {
    while (!order.empty() && (rows.size() > kHeaderCacheRows || !Current(order.front()))) {
      if (Current(order.front())) rows.erase(order.front().first);
      order.pop_front();
    }
    // Rows dropped in the middle leave stale entries behind: past twice
    // the bound they are swept out.
    if (order.size() > 2 * kHeaderCacheRows) {
      std::deque<std::pair<DWORD, uint64_t>> kept;
      for (const auto& at : order) {
        if (Current(at)) kept.push_back(at);
      }
      order.swap(kept);
    }
  }
};

Cache& TheCache() {
  static Cache* cache = new Cache;
  return *cache;
}

bool FindCached(DWORD messageId, QvMailListItem* row) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  auto found = cache.rows.find(messageId);
  if (found == cache.rows.end()) return false;
  *row = found->second.row;
  return true;
}

void AddCached(const QvMailListItem& row) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  const uint64_t stamp = ++cache.next;
  cache.rows[row.messageId] = Cache::Entry{row, stamp};
  cache.order.emplace_back(row.messageId, stamp);
  cache.Trim();
}

// The folder's header records, read in one call.
struct LoadedHeaders {
  std::vector<unsigned long> ids;
  // Left unset until read: zeroing a full folder's records first would
  // cost a pass over megabytes each open.
  std::unique_ptr<Header[]> records;
};

bool TryLoad(QvFolderInterface* folder, LoadedHeaders* loaded, bool* noBuffer) {
  if (!folder->GetMessageIds(&loaded->ids)) return false;
  if (loaded->ids.size() > kMaxHeaderRecords) {
    *noBuffer = true;
    return false;
  }
  if (loaded->ids.empty()) return true;
  loaded->records.reset(new (std::nothrow) Header[loaded->ids.size()]);
  if (!loaded->records) {
    *noBuffer = true;
    return false;
  }
  return folder->LoadMessageHeader(loaded->records.get(), static_cast<unsigned long>(loaded->ids.size()));
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

void BuildHeaderRow(const Header& header, uint32_t status, uint32_t kind, QvMailListItem* row, NameMemo* memo) {
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
  // Cached rows first; the misses are made together below.
  std::vector<size_t> missing;
  rows->resize(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    if (!FindCached(ids[i], &(*rows)[i])) missing.push_back(i);
  }
  if (missing.empty()) return true;
  PoomSession contacts;
  LoadedHeaders loaded;
  if (!LoadFolderHeaders(folderId, &loaded)) {
    rows->clear();
    return false;
  }
  // Where each id's record lies (the first, should the folder list one twice).
  std::unordered_map<unsigned long, size_t> places;
  for (size_t i = 0; i < loaded.ids.size(); ++i) places.emplace(loaded.ids[i], i);
  std::vector<size_t> records;
  std::vector<unsigned long> missingIds;
  records.reserve(missing.size());
  missingIds.reserve(missing.size());
  for (size_t i : missing) {
    auto found = places.find(ids[i]);
    if (found == places.end()) {
      ShowMailOpsError(kErrorHeaderNotFound);
      rows->clear();
      return false;
    }
    records.push_back(found->second);
    missingIds.push_back(ids[i]);
  }
  // Every status of the misses in one read of the store.
  std::vector<uint32_t> statuses;
  std::vector<uint32_t> kinds;
  if (!GetMessageStatuses(folderId, missingIds, &statuses, &kinds)) {
    ShowMailOpsError(kErrorNoHeaderBuffer);
    rows->clear();
    return false;
  }
  NameMemo names;
  for (size_t k = 0; k < missing.size(); ++k) {
    QvMailListItem& row = (*rows)[missing[k]];
    BuildHeaderRow(loaded.records[records[k]], statuses[k], kinds[k], &row, &names);
    AddCached(row);
  }
  return true;
}

void DropCachedHeader(DWORD messageId) {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.rows.erase(messageId);
  cache.Trim();
}

void DropCachedHeadersOf(const std::vector<unsigned long>& ids) {
  for (unsigned long id : ids) DropCachedHeader(id);
}

void ClearHeaderCache() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  cache.rows.clear();
  cache.order.clear();
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
