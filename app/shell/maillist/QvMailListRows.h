// The rows of one mail list, apart from the window that shows them: loading
// from the header-row cache (a full read or an incremental one that keeps the
// rows it already has), the sort states and the twelve orders, and finding
// rows by message id. Row i of the list is element i after the sort.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "app/mailops/QvMailListItem.h"

class QvMailListRows {
 public:
  // Sort states (0 = not read yet): 1 correspondent, 2 subject, 3 date
  // ascending; 4, 5, 6 the same descending. Columns: 0 correspondent,
  // 1 subject, 2 date.
  static constexpr int kSortUnset = 0;
  static constexpr int kSortDefault = 6;
  // Sort option bit: unread rows first.
  static constexpr DWORD kUnreadFirst = 0x1;

  // The state after choosing `column` in `state`; -1 re-applies the
  // current column keeping its direction.
  static int NextSortState(int state, int column);
  // A stored state outside 1 to 6 is the default.
  static int NormalizeSortState(int state);
  // 0-2, the column of a state 1-6.
  static int SortColumnOf(int state);
  // The order of two rows in a state (negative: a first); ties fall to the
  // message id ascending in both directions.
  static int Compare(const QvMailListItem& a, const QvMailListItem& b, int state, bool unreadFirst);

  QvMailListRows() = default;
  QvMailListRows(const QvMailListRows&) = delete;
  QvMailListRows& operator=(const QvMailListRows&) = delete;

  // Every row of the folder read again. False (and no rows) when its ids or
  // rows cannot be read.
  bool LoadAll(DWORD folderId);
  // The folder's ids read again; rows of ids already listed are kept, the
  // new ones fetched in one call. False (and no rows) on a failure.
  bool LoadChanges(DWORD folderId);
  // Rows made by the caller (tests and benches); they replace the list.
  void Assign(std::vector<QvMailListItem> rows);
  void Clear() { rows_.clear(); }

  void Sort(int state, bool unreadFirst);

  int size() const { return static_cast<int>(rows_.size()); }
  bool empty() const { return rows_.empty(); }
  QvMailListItem* at(int index) const;
  // -1 when no row has the id.
  int IndexOf(DWORD messageId) const;

 private:
  bool LoadChangesOrThrow(DWORD folderId);

  std::vector<std::unique_ptr<QvMailListItem>> rows_;
};
