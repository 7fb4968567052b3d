#include "engine/store/QvDeferredSync.h"

#include "platform/kernel/Files.h"

namespace {

thread_local QvDeferredSync* current = nullptr;

}  // namespace

QvDeferredSync::QvDeferredSync() : outer_(current) {
  thread_ = std::thread([this] { Run(); });
  current = this;
}

QvDeferredSync::~QvDeferredSync() {
  current = outer_;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

QvDeferredSync* QvDeferredSync::OnThisThread() { return current; }

uint64_t QvDeferredSync::Submit(HANDLE file) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    queue_.push_back(file);
  }
  changed_.notify_all();
  return ++submitted_;
}

bool QvDeferredSync::Done(uint64_t ticket, bool* ok) {
  std::lock_guard<std::mutex> hold(lock_);
  if (ticket > finished_) return false;
  *ok = failed_.count(ticket) == 0;
  return true;
}

bool QvDeferredSync::Wait(uint64_t ticket) {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait(hold, [&] { return ticket <= finished_; });
  return failed_.count(ticket) == 0;
}

// The syncs run in the order they came; the queue is emptied before the end.
void QvDeferredSync::Run() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    changed_.wait(hold, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;
    HANDLE file = queue_.front();
    queue_.pop_front();
    hold.unlock();
    const bool synced = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    hold.lock();
    ++finished_;
    if (!synced) failed_.insert(finished_);
    changed_.notify_all();
  }
}
