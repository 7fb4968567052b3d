// The UIDs stored during a receive, one line each, appended the moment a
// message is stored: a process that dies mid-session leaves them here, and
// the next run folds them into the account's "\UID.list" before it decides
// what is new, so nothing is fetched twice. The file goes once the list
// itself was saved. A line is written, not synced: it reaches the disk with
// the system's write-back, as the store's lists and counter do. A message's
// own text is synced before its plain line is written. One whose sync is
// still running gets a pending line first, marked with the host's boot: it
// counts only for a run of the same boot, when the text is still in memory
// if not yet on the disk (the fold then flushes it there); after a restart
// the message is fetched again unless its plain line made it.
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
  // Appends one UID whose message is stored but not yet synced.
  bool AppendPending(const std::string& uid);
  // Adds the journal's UIDs missing from the account's list to it, then
  // removes the journal. A line cut by a crash is dropped: its message was
  // not confirmed stored.
  bool FoldIn();
  void Remove();

 private:
  void Close();
  bool Write(const std::wstring& line);

  QvAccountInfoInterface* account_;
  std::wstring path_;
  void* file_ = nullptr;  // HANDLE, open from the first Append to Remove
};
