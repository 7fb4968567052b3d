#include "platform/ui/queue/ThreadQueue.h"

#include <mutex>

#include "platform/kernel/Sync.h"
#include "platform/kernel/WaitHook.h"
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/queue/Observers.h"
#include "platform/ui/window/ProcessTable.h"

namespace qv::ui {
namespace {

thread_local ThreadQueue* t_raw = nullptr;  // for the kernel's hook, without the lock
thread_local int t_defProcDepth = 0;

bool HookPending() { return t_raw && t_raw->sentCount.load(std::memory_order_acquire) > 0; }

// The display does not wake kernel waits: its thread looks at it every turn.
DWORD HookStep() { return t_raw && t_raw->outside ? kDisplayTurnMilliseconds : INFINITE; }


// The windows of an ending thread go with it, without messages: there is no
// one left to receive them. Senders waiting on it get 0.
void ForgetThread(const std::shared_ptr<ThreadQueue>& q) {
  auto lock = LockUi();
  q->alive = false;
  for (auto& s : q->sent) {
    s->done = true;
    if (s->sender) Touch(*s->sender);
  }
  q->sent.clear();
  q->sentCount = 0;
  std::vector<HWND> gone;
  for (auto& [h, w] : Ui().windows) {
    if (w->queue == q) gone.push_back(h);
  }
  for (HWND h : gone) {
    Window* w = Find(h, false);
    if (!w) continue;
    std::vector<Window*> all;
    Subtree(w, &all);
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
      Window* x = *it;
      Unlink(x);
      if (x->cls) --x->cls->windows;
      ForgetPublished(*x);
      Ui().windows.erase(x->hwnd);
    }
  }
  if (Ui().foreground == q) Ui().foreground = nullptr;
  Ui().queues.erase(q->thread);
}

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue) return;
    t_raw = nullptr;
    ForgetThread(queue);
  }
};
thread_local QueueHolder t_holder;

}  // namespace

std::shared_ptr<ThreadQueue> CurrentQueue() {
  if (t_holder.queue) return t_holder.queue;
  static std::once_flag hooked;
  std::call_once(hooked, [] { SetWaitHook({HookPending, ServeWhileBlocked, HookStep}); });
  auto q = std::make_shared<ThreadQueue>();
  q->thread = GetCurrentThreadId();
  {
    auto lock = LockUi();
    Ui().queues[q->thread] = q;
  }
  t_holder.queue = q;
  t_raw = q.get();
  return q;
}

ThreadQueue* CurrentQueueIfAny() { return t_raw; }

void Touch(ThreadQueue& q) {
  ++q.changes;
  q.wake.notify_all();
  q.source->Wake();
}

void WakeOthers() { WakeKernelWaits(); }

void ServeWhileBlocked() {
  ThreadQueue* q = t_raw;
  ServeSent();
  if (!q || !q->outside) return;
  q->source->Pump();
  ServeSent();
  q->source->Present();
}

void ShowPainted(const ThreadQueue& painter) {
  if (painter.outside) return;  // shows it itself once idle
  for (auto& [id, q] : Ui().queues) {
    if (q->outside) Touch(*q);
  }
}

void TouchAll() {
  auto lock = LockUi();
  for (auto& [id, q] : Ui().queues) Touch(*q);
}

int& DefProcDepth() { return t_defProcDepth; }

LRESULT Deliver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, unsigned how) {
  WNDPROC proc;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w || !w->proc) return 0;
    proc = w->proc;
  }
  if (how == ui_seam::kObservedSent && t_defProcDepth > 0) how |= ui_seam::kObservedDefWinProc;
  Observe(hwnd, message, wParam, lParam, how);
  return proc(hwnd, message, wParam, lParam);
}

void ServeSent() {
  ThreadQueue* q = t_raw;
  if (!q) return;
  for (;;) {
    std::shared_ptr<SentMessage> s;
    {
      auto lock = LockUi();
      if (q->sent.empty()) return;
      s = q->sent.front();
      q->sent.pop_front();
      q->sentCount.fetch_sub(1, std::memory_order_release);
      ++q->serving;
    }
    const LRESULT result = Deliver(s->hwnd, s->message, s->wParam, s->lParam, ui_seam::kObservedSent);
    auto lock = LockUi();
    --q->serving;
    s->result = result;
    s->done = true;
    if (s->sender) Touch(*s->sender);
  }
}

}  // namespace qv::ui
