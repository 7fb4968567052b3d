// Timers belong to the thread that sets them; their WM_TIMER is made when
// the queue is otherwise idle and the timer has fallen due on the UI clock,
// and the next one falls due an interval after it was taken.
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/queue/ThreadQueue.h"

using namespace qv::ui;

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  auto q = CurrentQueue();
  auto lock = LockUi();
  if (hwnd) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    if (w->queue != q) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
  }
  auto same = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id && (hwnd || id); });
  if (same == q->timers.end()) {
    if (!hwnd) id = q->nextTimerId++;
    q->timers.push_back(Timer{hwnd, id, 0, nullptr, 0});
    same = q->timers.end() - 1;
  }
  same->elapse = std::max<UINT>(elapse, 1);
  same->proc = proc;
  same->due = qv::ui_seam::ClockNow() + same->elapse;
  Touch(*q);
  return hwnd && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  ThreadQueue* q = CurrentQueueIfAny();
  if (!q) return FALSE;
  auto lock = LockUi();
  const auto before = q->timers.size();
  std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  return q->timers.size() != before ? TRUE : FALSE;
}
