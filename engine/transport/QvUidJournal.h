// The UIDs stored during a receive, one line each, appended and flushed the
// moment a message is stored: a process that dies mid-session leaves them
// here, and the next run folds them into the account's "\UID.list" before it
// decides what is new, so nothing is fetched twice. The file goes once the
// list itself was saved.
#pragma once

#include <string>

class QvAccountInfoInterface;

class QvUidJournal {
 public:
  // The journal of the account's folder; an account without one journals
  // nothing and every call succeeds.
  explicit QvUidJournal(QvAccountInfoInterface* account);

  // Appends one UID and flushes it to the disk.
  bool Append(const std::string& uid);
  // Adds the journal's UIDs missing from the account's list to it, then
  // removes the journal. A line cut by a crash is dropped: its message was
  // not confirmed stored.
  bool FoldIn();
  void Remove();

 private:
  QvAccountInfoInterface* account_;
  std::wstring path_;
};
