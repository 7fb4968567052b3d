#include "engine/store/QvDeferredSync.h"

#include <chrono>
#include <system_error>

#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace {

thread_local QvDeferredSync* current = nullptr;

// Threads that flush one group side by side: the disk merges the cache
// flushes that are waited for at once, so a group's flushes cost about one.
constexpr size_t kThreads = 8;
// The queue becomes a group once it holds kGroup syncs, once a sync is waited
// for, or kLinger after its first sync came; the threads are woken for a
// group, not for every text.
constexpr size_t kGroup = 16;
constexpr auto kLinger = std::chrono::milliseconds(3);

}  // namespace

// The sync threads start with the syncs that need them: a run that stores
// nothing, or a few texts, does not pay for every thread.
QvDeferredSync::QvDeferredSync() : outer_(current) { current = this; }

QvDeferredSync::~QvDeferredSync() {
  current = outer_;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  work_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

QvDeferredSync* QvDeferredSync::OnThisThread() { return current; }

uint64_t QvDeferredSync::Submit(HANDLE file) {
  bool another = false;
  bool wake = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (queue_.empty()) firstQueued_ = std::chrono::steady_clock::now();
    queue_.emplace_back(++submitted_, file);
    unfinished_.insert(submitted_);
    // One thread more only while those there are all at work.
    another = idle_ == 0 && threads_.size() < kThreads;
    // A thread is woken to linger for the group, and again once it is whole.
    wake = (queue_.size() == 1 && !lingering_) || queue_.size() == kGroup;
  }
  if (another) {
    try {
      threads_.emplace_back([this] { Run(); });
    } catch (const std::system_error&) {
      // No thread to be had: with none at all, the sync is done here.
      if (threads_.empty()) SyncQueued();
    }
  }
  if (wake) work_.notify_one();
  return submitted_;
}

void QvDeferredSync::SyncQueued() {
  std::unique_lock<std::mutex> hold(lock_);
  while (!queue_.empty() || nextFlush_ < group_.size()) {
    if (nextFlush_ < group_.size()) {
      FlushNext(hold);
    } else if (starting_ == 0 && flushing_ == 0) {
      StartGroup(hold);
    } else {
      done_.wait(hold);
    }
  }
}

bool QvDeferredSync::GroupDue() const {
  return !queue_.empty() && starting_ == 0 && flushing_ == 0 && nextFlush_ >= group_.size() &&
         (stopping_ || hurried_ > 0 || queue_.size() >= kGroup ||
          std::chrono::steady_clock::now() >= firstQueued_ + kLinger);
}

void QvDeferredSync::StartGroup(std::unique_lock<std::mutex>& hold) {
  // The writes of every text of the group are started before the first
  // flush waits: the disk then takes them together, and one journal commit
  // carries them instead of each text paying its own.
  group_.assign(queue_.begin(), queue_.end());
  queue_.clear();
  nextFlush_ = 0;
  flushing_ = group_.size();
  ++starting_;
  const std::vector<Item> group = group_;
  hold.unlock();
  if (group.size() > 1) {
    for (const Item& item : group) qv::StartFileWriteback(item.second);
  }
  hold.lock();
  --starting_;
  // The others flush beside this thread.
  if (group.size() > 1) work_.notify_all();
}

void QvDeferredSync::FlushNext(std::unique_lock<std::mutex>& hold) {
  const auto [ticket, file] = group_[nextFlush_++];
  hold.unlock();
  const bool synced = FlushFileBuffers(file) != FALSE;
  CloseHandle(file);
  hold.lock();
  if (!synced) {
    failed_.insert(ticket);
    anyFailed_.store(true, std::memory_order_release);
  }
  unfinished_.erase(ticket);
  settled_.store(unfinished_.empty() ? submitted_ : *unfinished_.begin() - 1, std::memory_order_release);
  // Waiters are woken once a group, not once a text; the next group may go.
  if (--flushing_ == 0) {
    group_.clear();
    nextFlush_ = 0;
    done_.notify_all();
    if (!queue_.empty()) work_.notify_one();
  }
}

bool QvDeferredSync::DoneInOrder(uint64_t ticket, bool* ok) {
  if (ticket > settled_.load(std::memory_order_acquire)) return false;
  return Done(ticket, ok);
}

bool QvDeferredSync::Done(uint64_t ticket, bool* ok) {
  // Asked once a stored text: while nothing failed, a ticket at or below the
  // settled mark is answered without the lock the sync threads keep taking.
  if (ticket <= settled_.load(std::memory_order_acquire) && !anyFailed_.load(std::memory_order_acquire)) {
    *ok = true;
    return true;
  }
  std::lock_guard<std::mutex> hold(lock_);
  if (ticket > submitted_ || unfinished_.count(ticket) != 0) return false;
  *ok = failed_.count(ticket) == 0;
  return true;
}

// A waiter does not let the queue linger for a group: it goes at once.
bool QvDeferredSync::Wait(uint64_t ticket) {
  std::unique_lock<std::mutex> hold(lock_);
  const auto over = [&] { return ticket <= submitted_ && unfinished_.count(ticket) == 0; };
  if (!over()) {
    ++hurried_;
    work_.notify_one();
    done_.wait(hold, over);
    --hurried_;
  }
  return failed_.count(ticket) == 0;
}

bool QvDeferredSync::WaitAll() {
  std::unique_lock<std::mutex> hold(lock_);
  if (!unfinished_.empty()) {
    ++hurried_;
    work_.notify_one();
    done_.wait(hold, [&] { return unfinished_.empty(); });
    --hurried_;
  }
  return failed_.empty();
}

// The syncs start in the order they came, a group at a time; the queue is
// emptied before the end.
void QvDeferredSync::Run() {
  // Woken once a group of stored texts: were each wake-up to take the
  // processor from the storing thread, the receive would stall on its own
  // syncs.
  qv::SetThreadBatchScheduling();
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    if (starting_ == 0 && nextFlush_ < group_.size()) {
      FlushNext(hold);
      continue;
    }
    if (GroupDue()) {
      StartGroup(hold);
      continue;
    }
    if (stopping_ && queue_.empty() && flushing_ == 0) {
      // The others may have gone to sleep while the last group was in flight.
      work_.notify_all();
      return;
    }
    ++idle_;
    if (!queue_.empty() && !lingering_ && starting_ == 0 && flushing_ == 0) {
      // One thread waits out the linger; the others sleep until woken.
      lingering_ = true;
      work_.wait_until(hold, firstQueued_ + kLinger);
      lingering_ = false;
    } else {
      work_.wait(hold);
    }
    --idle_;
  }
}
