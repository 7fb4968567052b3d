#include "engine/store/QvDeferredSync.h"

#include <system_error>

#include "platform/kernel/Files.h"
#include "platform/kernel/Sync.h"

namespace {

thread_local QvDeferredSync* current = nullptr;

constexpr size_t kThreads = 8;

}  // namespace

// The sync threads start with the syncs that need them: a run that stores
// nothing, or a few texts, does not pay for eight threads.
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
  {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.emplace_back(++submitted_, file);
    unfinished_.insert(submitted_);
    // One thread more only while the waiting ones cannot take the queue.
    another = idle_ < queue_.size() && threads_.size() < kThreads;
  }
  if (another) {
    try {
      threads_.emplace_back([this] { Run(); });
    } catch (const std::system_error&) {
      // No thread to be had: with none at all, the sync is done here.
      if (threads_.empty()) SyncQueued();
    }
  }
  work_.notify_one();
  return submitted_;
}

void QvDeferredSync::SyncQueued() {
  std::unique_lock<std::mutex> hold(lock_);
  while (!queue_.empty()) SyncFront(hold);
}

void QvDeferredSync::SyncFront(std::unique_lock<std::mutex>& hold) {
  // Everything queued goes at once: the writes of all the texts are started
  // before the first flush waits, so that one journal commit and one wait
  // for the disk carry the whole group instead of each text paying its own.
  std::vector<std::pair<uint64_t, HANDLE>> group(queue_.begin(), queue_.end());
  queue_.clear();
  hold.unlock();
  if (group.size() > 1) {
    for (const auto& item : group) qv::StartFileWriteback(item.second);
  }
  for (const auto& [ticket, file] : group) {
    const bool synced = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    hold.lock();
    if (!synced) failed_.insert(ticket);
    unfinished_.erase(ticket);
    done_.notify_all();
    hold.unlock();
  }
  hold.lock();
}

bool QvDeferredSync::Done(uint64_t ticket, bool* ok) {
  std::lock_guard<std::mutex> hold(lock_);
  if (ticket > submitted_ || unfinished_.count(ticket) != 0) return false;
  *ok = failed_.count(ticket) == 0;
  return true;
}

bool QvDeferredSync::Wait(uint64_t ticket) {
  std::unique_lock<std::mutex> hold(lock_);
  done_.wait(hold, [&] { return ticket <= submitted_ && unfinished_.count(ticket) == 0; });
  return failed_.count(ticket) == 0;
}

bool QvDeferredSync::WaitAll() {
  std::unique_lock<std::mutex> hold(lock_);
  done_.wait(hold, [&] { return unfinished_.empty(); });
  return failed_.empty();
}

// The syncs start in the order they came; the queue is emptied before the end.
void QvDeferredSync::Run() {
  // Woken once a stored text: were each wake-up to take the processor from
  // the storing thread, the receive would stall on its own syncs.
  qv::SetThreadBatchScheduling();
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    ++idle_;
    work_.wait(hold, [&] { return stopping_ || !queue_.empty(); });
    --idle_;
    if (queue_.empty()) return;
    SyncFront(hold);
  }
}
