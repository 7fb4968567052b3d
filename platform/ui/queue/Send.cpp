// Posting and sending. A send to a window of the calling thread is a direct
// call; to another thread's window it waits in the sender's queue, serving
// what others send to it meanwhile, until the receiver has answered.
#include <chrono>

#include "platform/kernel/Sync.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/window/ProcessTable.h"

using namespace qv::ui;

namespace {

// Messages whose parameters point into the sender's memory never leave it.
bool CarriesPointer(UINT message) {
  switch (message) {
    case WM_CREATE:
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_COPYDATA:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_HELP:
    case WM_STYLECHANGING:
    case WM_STYLECHANGED:
      return true;
    default:
      return false;
  }
}

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return MSG{hwnd, message, wParam, lParam, qv::ui_seam::ClockNow(), {}};
}

// Puts a posted message in a queue. The arrival is counted and an outside
// source woken under the lock, as every arrival is; the queue's thread is
// woken only once the lock is let go, so that it does not wake just to wait
// for the lock its poster still holds (a worker posts at every step).
void PostInto(std::shared_ptr<ThreadQueue> target, const MSG& msg, UiLock& lock) {
  target->posted.push_back(msg);
  ++target->changes;
  target->source->Wake();
  lock.unlock();
  target->wake.notify_all();
}

std::vector<HWND> TopLevelWindows() {
  auto lock = LockUi();
  std::vector<HWND> all;
  for (Window* w : Desktop()->children) all.push_back(w->hwnd);
  return all;
}

// Sends to another thread's window; waits for the answer when asked to.
LRESULT SendAcross(const std::shared_ptr<ThreadQueue>& target, HWND hwnd, UINT message, WPARAM wParam,
                   LPARAM lParam, bool wantReply, UiLock& lock) {
  auto me = CurrentQueue();
  auto s = std::make_shared<SentMessage>();
  s->hwnd = hwnd;
  s->message = message;
  s->wParam = wParam;
  s->lParam = lParam;
  s->wantReply = wantReply;
  if (wantReply) s->sender = me;
  target->sent.push_back(s);
  target->sentCount.fetch_add(1, std::memory_order_release);
  Touch(*target);
  lock.unlock();
  WakeOthers();
  if (!wantReply) return 0;
  lock.lock();
  while (!s->done) {
    if (!me->sent.empty()) {
      lock.unlock();
      ServeSent();
      lock.lock();
      continue;
    }
    if (!me->outside) {
      me->wake.wait(lock);
      continue;
    }
    // The display's thread keeps it alive meanwhile: the answer may wait for
    // a tap on a box the other thread shows.
    if (me->wake.wait_for(lock, std::chrono::milliseconds(kDisplayTurnMilliseconds)) == std::cv_status::timeout) {
      lock.unlock();
      ServeWhileBlocked();
      lock.lock();
    }
  }
  return s->result;
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool wantReply) {
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : TopLevelWindows()) Send(h, message, wParam, lParam, wantReply);
    return 0;
  }
  if (IsForeignHandle(hwnd)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
  }
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return 0;
  std::shared_ptr<ThreadQueue> target = w->queue;
  if (target.get() == CurrentQueueIfAny()) {
    lock.unlock();
    return Deliver(hwnd, message, wParam, lParam, qv::ui_seam::kObservedSent);
  }
  return SendAcross(target, hwnd, message, wParam, lParam, wantReply, lock);
}

}  // namespace

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(hwnd, message, wParam, lParam, true);
}

BOOL SendNotifyMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(hwnd) && hwnd != HWND_BROADCAST) return FALSE;
  Send(hwnd, message, wParam, lParam, false);
  return TRUE;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
  if (hwnd == HWND_BROADCAST) {
    for (HWND h : TopLevelWindows()) PostMessageW(h, message, wParam, lParam);
    return TRUE;
  }
  if (IsForeignHandle(hwnd)) {
    if (CarriesPointer(message)) {
      SetLastError(ERROR_MESSAGE_SYNC_ONLY);
      return FALSE;
    }
    return PostForeign(hwnd, message, wParam, lParam) ? TRUE : FALSE;
  }
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  PostInto(w->queue, MakeMsg(hwnd, message, wParam, lParam), lock);
  return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (threadId == GetCurrentThreadId()) CurrentQueue();
  auto lock = LockUi();
  auto it = Ui().queues.find(threadId);
  if (it == Ui().queues.end()) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  PostInto(it->second, MakeMsg(nullptr, message, wParam, lParam), lock);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  auto q = CurrentQueue();
  auto lock = LockUi();
  q->quit = true;
  q->quitCode = exitCode;
  Touch(*q);
}

BOOL InSendMessage() {
  ThreadQueue* q = CurrentQueueIfAny();
  auto lock = LockUi();
  return q && q->serving > 0 ? TRUE : FALSE;
}
