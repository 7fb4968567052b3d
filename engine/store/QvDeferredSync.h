// Syncs of new messages' texts, run on threads of their own while the thread
// that stores the messages goes on. Several run at once: a journalling file
// system then commits them together. While a QvDeferredSync lives on a thread
// (it belongs to the thread that made it), the first text a message is given
// on that thread is written but not waited for: its sync is queued here, and
// the writer learns from LastTicket() which sync carries it. The text may be
// treated as safe on the disk only once that ticket is Done() without a
// failure; until then it is there for every reader, but a power cut could
// take it. A replaced text is never deferred: its old copy is at stake.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "platform/base/WinTypes.h"

class QvDeferredSync {
 public:
  QvDeferredSync();
  // Waits for every queued sync.
  ~QvDeferredSync();
  QvDeferredSync(const QvDeferredSync&) = delete;
  QvDeferredSync& operator=(const QvDeferredSync&) = delete;

  // The one of the calling thread, if any.
  static QvDeferredSync* OnThisThread();

  // Queues a sync of `file`, a handle of the deferred sync's own from then on
  // (it is closed after its sync), and returns the ticket of that sync.
  uint64_t Submit(HANDLE file);
  // The ticket of the latest Submit, 0 before the first.
  uint64_t LastTicket() const { return submitted_; }
  // Whether the sync of `ticket` is over; `ok` then tells whether the text
  // reached the disk.
  bool Done(uint64_t ticket, bool* ok);
  // Waits until the sync of `ticket` is over: true when the text reached the disk.
  bool Wait(uint64_t ticket);
  // Waits until every sync submitted so far is over: true when each of them
  // reached the disk.
  bool WaitAll();

 private:
  void Run();
  // Syncs what is queued on the calling thread.
  void SyncQueued();
  // Takes every queued sync and runs them, `hold` let go meanwhile.
  void SyncFront(std::unique_lock<std::mutex>& hold);

  QvDeferredSync* outer_;  // the thread's earlier one, back in place at the end
  uint64_t submitted_ = 0;
  std::mutex lock_;
  std::condition_variable work_;  // the sync threads wait here for a sync
  std::condition_variable done_;  // Wait() waits here for its sync to end
  std::deque<std::pair<uint64_t, HANDLE>> queue_;
  std::set<uint64_t> unfinished_;  // tickets queued or syncing
  std::set<uint64_t> failed_;      // tickets over that did not reach the disk
  bool stopping_ = false;
  size_t idle_ = 0;  // sync threads waiting for a sync
  std::vector<std::thread> threads_;
};
