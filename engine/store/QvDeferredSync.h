// Syncs of new messages' texts, run on threads of their own while the thread
// that stores the messages goes on. They go in groups: the writes of a whole
// group start at once, then several threads flush its files side by side, so
// that a journalling file system commits them together and the disk's cache
// flushes of one group are merged. While a QvDeferredSync lives on a thread
// (it belongs to the thread that made it), the first text a message is given
// on that thread is written but not waited for: its sync is queued here, and
// the writer learns from LastTicket() which sync carries it. The text may be
// treated as safe on the disk only once that ticket is Done() without a
// failure; until then it is there for every reader, but a power cut could
// take it. A replaced text is never deferred: its old copy is at stake.
#pragma once

#include <atomic>
#include <chrono>
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
  // Done for one who asks in the order of the tickets: false also while an
  // earlier ticket is still syncing, and then at once, without the lock.
  bool DoneInOrder(uint64_t ticket, bool* ok);
  // Waits until the sync of `ticket` is over: true when the text reached the disk.
  bool Wait(uint64_t ticket);
  // Waits until every sync submitted so far is over: true when each of them
  // reached the disk.
  bool WaitAll();

 private:
  using Item = std::pair<uint64_t, HANDLE>;

  void Run();
  // Syncs what is queued on the calling thread.
  void SyncQueued();
  // Whether the queue should become the group in flight now.
  bool GroupDue() const;
  // Makes the queue the group in flight and starts the writes of its files,
  // `hold` let go meanwhile.
  void StartGroup(std::unique_lock<std::mutex>& hold);
  // Flushes the group's next file, `hold` let go meanwhile.
  void FlushNext(std::unique_lock<std::mutex>& hold);

  QvDeferredSync* outer_;  // the thread's earlier one, back in place at the end
  uint64_t submitted_ = 0;
  std::mutex lock_;
  std::condition_variable work_;  // the sync threads wait here for a sync
  std::condition_variable done_;  // Wait() waits here for its sync to end
  std::deque<Item> queue_;        // submitted, writes not yet started
  std::chrono::steady_clock::time_point firstQueued_;  // when the queue last stopped being empty
  std::vector<Item> group_;       // the group in flight: writes started
  size_t starting_ = 0;           // groups whose writes are being started (0 or 1)
  size_t nextFlush_ = 0;          // the group's next file to flush
  size_t flushing_ = 0;           // the group's files whose flush has not ended
  std::set<uint64_t> unfinished_;  // tickets queued or syncing
  std::set<uint64_t> failed_;      // tickets over that did not reach the disk
  std::atomic<uint64_t> settled_{0};   // every ticket up to this one is over
  std::atomic<bool> anyFailed_{false};  // failed_ is not empty
  bool stopping_ = false;
  bool lingering_ = false;  // a sync thread waits for the queue to make a group
  size_t hurried_ = 0;      // waiters that want the queue synced now
  size_t idle_ = 0;         // sync threads waiting for work
  std::vector<std::thread> threads_;
};
