#include "app/shell/maillist/QvMailListRows.h"

#include <algorithm>
#include <new>
#include <unordered_map>

#include "app/mailops/FolderOperations.h"
#include "app/mailops/HeaderRowCache.h"

int QvMailListRows::NormalizeSortState(int state) { return state >= 1 && state <= 6 ? state : kSortDefault; }

int QvMailListRows::SortColumnOf(int state) {
  switch (NormalizeSortState(state)) {
    case 1:
    case 4: return 0;
    case 2:
    case 5: return 1;
    default: return 2;
  }
}

int QvMailListRows::NextSortState(int state, int column) {
  state = NormalizeSortState(state);
  if (column < 0) {
    // Keep the column and its direction.
    const int ascending = SortColumnOf(state) + 1;
    return state == ascending + 3 ? state : ascending;
  }
  if (column > 2) return state;
  const int ascending = column + 1;
  return state == ascending ? ascending + 3 : ascending;
}

namespace {

int CompareDates(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  // Day of the week is left out: the date it names is already compared.
  const WORD SYSTEMTIME::*fields[] = {&SYSTEMTIME::wYear,   &SYSTEMTIME::wMonth,  &SYSTEMTIME::wDay,
                                      &SYSTEMTIME::wHour,   &SYSTEMTIME::wMinute, &SYSTEMTIME::wSecond,
                                      &SYSTEMTIME::wMilliseconds};
  for (auto field : fields) {
    if (a.*field != b.*field) return a.*field < b.*field ? -1 : 1;
  }
  return 0;
}

int CompareTexts(const QvRowText& a, const QvRowText& b) { return a.Compare(b); }

}  // namespace

int QvMailListRows::Compare(const QvMailListItem& a, const QvMailListItem& b, int state, bool unreadFirst) {
  if (unreadFirst) {
    const bool ua = (a.status & QvMailListItem::kUnread) != 0;
    const bool ub = (b.status & QvMailListItem::kUnread) != 0;
    if (ua != ub) return ua ? -1 : 1;
  }
  state = NormalizeSortState(state);
  int c = 0;
  switch (SortColumnOf(state)) {
    case 0: c = CompareTexts(a.correspondent, b.correspondent); break;
    case 1: c = CompareTexts(a.subject, b.subject); break;
    default: c = CompareDates(a.date, b.date); break;
  }
  if (state >= 4) c = -c;
  if (c != 0) return c;
  // Ties keep the store's order in both directions.
  return a.messageId == b.messageId ? 0 : (a.messageId < b.messageId ? -1 : 1);
}

void QvMailListRows::Sort(int state, bool unreadFirst) {
  std::sort(rows_.begin(), rows_.end(), [state, unreadFirst](const auto& a, const auto& b) {
    return Compare(*a, *b, state, unreadFirst) < 0;
  });
}

QvMailListItem* QvMailListRows::at(int index) const {
  if (index < 0 || index >= size()) return nullptr;
  return rows_[static_cast<size_t>(index)].get();
}

int QvMailListRows::IndexOf(DWORD messageId) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i]->messageId == messageId) return static_cast<int>(i);
  }
  return -1;
}

void QvMailListRows::Assign(std::vector<QvMailListItem> rows) {
  rows_.clear();
  rows_.reserve(rows.size());
  for (QvMailListItem& row : rows) rows_.push_back(std::make_unique<QvMailListItem>(std::move(row)));
}

bool QvMailListRows::LoadAll(DWORD folderId) {
  rows_.clear();
  try {
    std::vector<unsigned long> ids;
    if (!GetMessageIds(folderId, &ids)) return false;
    std::vector<QvMailListItem> rows;
    if (!ids.empty() && !LoadMessageHeaders(folderId, ids, &rows)) return false;
    Assign(std::move(rows));
  } catch (const std::bad_alloc&) {
    // No room for the rows: none are kept.
    rows_.clear();
    return false;
  }
  return true;
}

bool QvMailListRows::LoadChanges(DWORD folderId) {
  try {
    return LoadChangesOrThrow(folderId);
  } catch (const std::bad_alloc&) {
    rows_.clear();
    return false;
  }
}

bool QvMailListRows::LoadChangesOrThrow(DWORD folderId) {
  std::vector<unsigned long> ids;
  if (!GetMessageIds(folderId, &ids)) {
    rows_.clear();
    return false;
  }
  std::unordered_map<DWORD, std::unique_ptr<QvMailListItem>> old;
  old.reserve(rows_.size());
  for (auto& row : rows_) old.emplace(row->messageId, std::move(row));
  rows_.clear();
  std::vector<unsigned long> fresh;
  rows_.reserve(ids.size());
  for (unsigned long id : ids) {
    auto it = old.find(static_cast<DWORD>(id));
    if (it != old.end() && it->second) rows_.push_back(std::move(it->second));
    else fresh.push_back(id);
  }
  if (!fresh.empty()) {
    // The new rows in one call: the folder's header records are read once.
    std::vector<QvMailListItem> rows;
    if (!LoadMessageHeaders(folderId, fresh, &rows)) {
      rows_.clear();
      return false;
    }
    for (QvMailListItem& row : rows) rows_.push_back(std::make_unique<QvMailListItem>(std::move(row)));
  }
  return true;
}
