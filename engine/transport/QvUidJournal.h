// The UIDs stored during a receive, one line each, appended the moment a
// message is stored: a process that dies mid-session leaves them here, and
// the next run folds them into the account's "\UID.list" before it decides
// what is new, so nothing is fetched twice. The file is emptied once the
// list itself was saved. A line is written, not synced: it reaches the disk with
// the system's write-back, as the store's lists and counter do. A message's
// own text is synced before its plain line is written. One whose sync is
// still running gets a pending line first: the host's boot, the message's id
// and a digest of its text. Within the same boot it counts, as the text is
// still in memory if not yet on the disk (the fold then flushes it there).
// After a restart it counts only when the stored text is still the one it
// was given; a copy the cut left torn is removed, and the mail is fetched
// again.
//
// Before the run stores its first message, the journal's first line says
// where in the store it starts: the boot and the next message id, synced.
// A run cut short anywhere after that (a kill, a power cut that took every
// other line) is settled from the store itself: every message made since
// that id that carries a UID counts as received, once its text is known
// whole (same boot, or the digest in its own header), and a torn one is
// removed so that the mail comes again. The retriever writes no other line
// after it: the fold reads none of a started run.
#pragma once

#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "platform/base/WinTypes.h"

class QvAccountInfoInterface;

class QvUidJournal {
 public:
  // The journal of the account's folder; an account without one journals
  // nothing and every call succeeds.
  explicit QvUidJournal(QvAccountInfoInterface* account);
  ~QvUidJournal();
  QvUidJournal(const QvUidJournal&) = delete;
  QvUidJournal& operator=(const QvUidJournal&) = delete;

  // Writes and syncs the start line, once per journal: called before the run
  // stores its first message. The storage's code when it cannot be opened.
  uint32_t Begin();
  bool Begun() const { return begun_; }
  // Appends one UID. The file stays open for the next one: a run journals
  // every message it stores.
  bool Append(const std::string& uid);
  // Appends one UID whose message `id`, holding `text`, is stored but not
  // yet synced.
  bool AppendPending(const std::string& uid, unsigned long id, const std::string& text);
  // Adds the journal's UIDs missing from the account's list to it, then
  // removes the journal. A line cut by a crash is dropped: its message was
  // not confirmed stored.
  bool FoldIn();
  void Remove();
  // The digest a pending line keeps of its message's text (up to its first
  // zero byte, as the store keeps it).
  static std::wstring Digest(const std::string& text);

 private:
  void Close();
  bool OpenFile();
  bool Write(const std::wstring& line);
  struct Pending {
    std::wstring uid;
    unsigned long id;
    std::wstring digest;
  };
  struct Start {
    std::wstring boot;
    unsigned long firstId;
  };
  // Counts the messages a run stored from its start id on.
  bool CheckStarted(const std::vector<Start>& starts, const std::wstring& boot, std::set<std::wstring>* known,
                    std::list<std::wstring>* uids, bool* unflushed);
  // Counts the pending messages of an earlier boot whose stored text is whole
  // and removes the torn ones.
  void CheckRestarted(const std::vector<Pending>& pending, std::set<std::wstring>* known,
                      std::list<std::wstring>* uids);

  QvAccountInfoInterface* account_;
  std::wstring path_;
  HANDLE file_ = nullptr;  // open from the first Append to Remove
  bool begun_ = false;
};
