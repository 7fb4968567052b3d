// The UIDs stored during a receive, one line each, appended the moment a
// message is stored: a process that dies mid-session leaves them here, and
// the next run folds them into the account's "\UID.list" before it decides
// what is new, so nothing is fetched twice. The file goes once the list
// itself was saved. A line is written, not synced: it reaches the disk with
// the system's write-back, as the store's lists and counter do (only a
// message's own text is synced, before its line is written).
#pragma once

#include <string>

class QvAccountInfoInterface;

class QvUidJournal {
 public:
  // The journal of the account's folder; an account without one journals
  // nothing and every call succeeds.
  explicit QvUidJournal(QvAccountInfoInterface* account);
  ~QvUidJournal();
  QvUidJournal(const QvUidJournal&) = delete;
  QvUidJournal& operator=(const QvUidJournal&) = delete;

  // Appends one UID. The file stays open for the next one: a run journals
  // every message it stores.
  bool Append(const std::string& uid);
  // Adds the journal's UIDs missing from the account's list to it, then
  // removes the journal. A line cut by a crash is dropped: its message was
  // not confirmed stored.
  bool FoldIn();
  void Remove();

 private:
  void Close();

  QvAccountInfoInterface* account_;
  std::wstring path_;
  void* file_ = nullptr;  // HANDLE, open from the first Append to Remove
};
