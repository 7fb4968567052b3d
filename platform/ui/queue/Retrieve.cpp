// Taking messages from a thread's queue: sent messages are served first,
// then posted ones, input, WM_QUIT, WM_PAINT and, last, WM_TIMER. Paint and
// timer messages are made when asked for, so a window has at most one paint
// and a timer at most one WM_TIMER waiting.
#include <chrono>
#include <functional>

#include "platform/kernel/Sync.h"
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/input/InputRouting.h"
#include "platform/ui/input/Keyboard.h"
#include "platform/ui/input/Focus.h"

using namespace qv::ui;

namespace {

const HWND kThreadOnly = reinterpret_cast<HWND>(-1);

struct Filter {
  HWND hwnd;
  UINT first;
  UINT last;
  bool Window(HWND h) const { return !hwnd || (hwnd == kThreadOnly ? h == nullptr : h == hwnd); }
  bool Number(UINT m) const { return (first == 0 && last == 0) || (m >= first && m <= last); }
  bool Matches(HWND h, UINT m) const { return Window(h) && Number(m); }
};

bool TakePosted(ThreadQueue& q, const Filter& f, bool remove, MSG* out) {
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!f.Matches(it->hwnd, it->message)) continue;
    *out = *it;
    if (remove) q.posted.erase(it);
    return true;
  }
  return false;
}

bool TakeInput(ThreadQueue& q, const Filter& f, bool remove, MSG* out) {
  for (auto it = q.input.begin(); it != q.input.end();) {
    Window* w = RouteInput(q, *it);
    if (!w) {
      it = q.input.erase(it);  // nowhere to go: dropped
      continue;
    }
    const MSG m = InputMessage(*w, *it);
    if (!f.Matches(m.hwnd, m.message)) {
      ++it;
      continue;
    }
    *out = m;
    if (remove) {
      TakeInput(q, *it);
      NoteInputTaken(m);
      q.input.erase(it);
    }
    return true;
  }
  return false;
}

// The first window of the thread that waits to be painted, lower windows
// before the ones over them and parents before their children, so that what
// lies on top is drawn last.
Window* NextToPaint(ThreadQueue& q, const Filter& f, Window* parent) {
  for (auto it = parent->children.rbegin(); it != parent->children.rend(); ++it) {
    Window* w = *it;
    if (!(w->style & WS_VISIBLE)) continue;
    if (w->queue.get() == &q && w->redraw && (!RectEmpty(w->update) || w->internalPaint) && f.Window(w->hwnd)) {
      return w;
    }
    if (Window* c = NextToPaint(q, f, w)) return c;
  }
  return nullptr;
}

bool TakeTimer(ThreadQueue& q, const Filter& f, bool remove, MSG* out) {
  const DWORD now = qv::ui_seam::ClockNow();
  for (Timer& t : q.timers) {
    if (!f.Window(t.hwnd) || static_cast<int32_t>(now - t.due) < 0) continue;
    *out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), now, {}};
    if (remove) t.due = now + t.elapse;
    return true;
  }
  return false;
}

bool Take(ThreadQueue& q, const Filter& f, bool remove, MSG* out) {
  if (TakePosted(q, f, remove, out) || TakeInput(q, f, remove, out)) return true;
  if (q.quit && f.Number(WM_QUIT)) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, qv::ui_seam::ClockNow(), {}};
    if (remove) q.quit = false;
    return true;
  }
  if (f.Number(WM_PAINT)) {
    if (Window* w = NextToPaint(q, f, Desktop())) {
      *out = MSG{w->hwnd, WM_PAINT, 0, 0, qv::ui_seam::ClockNow(), {}};
      return true;
    }
  }
  return f.Number(WM_TIMER) && TakeTimer(q, f, remove, out);
}

// Null filter, thread-only filter or a window of this thread.
bool FilterValid(HWND hwnd) {
  if (!hwnd || hwnd == kThreadOnly) return true;
  auto lock = LockUi();
  return Find(hwnd) != nullptr;
}

// Outside events become input first; finding nothing to take, the thread
// shows what it has drawn.
bool Peek(ThreadQueue& q, const Filter& f, bool remove, MSG* out) {
  q.source->Pump();
  ServeSent();
  {
    auto lock = LockUi();
    if (Take(q, f, remove, out)) {
      if (remove) q.last = *out;
      return true;
    }
  }
  q.source->Present();
  return false;
}

// With the lock held: how long a wait for new messages may last before a
// timer falls due (real time; forever on a fixed UI clock).
std::chrono::milliseconds UntilNextTimer(const ThreadQueue& q) {
  if (qv::ui_seam::ClockFixed() || q.timers.empty()) return std::chrono::hours(1);
  const DWORD now = qv::ui_seam::ClockNow();
  int32_t least = INT32_MAX;
  for (const Timer& t : q.timers) least = std::min(least, static_cast<int32_t>(t.due - now));
  return std::chrono::milliseconds(std::max(least, 0));
}

// Blocks until something arrives or a timer falls due; sent messages are
// served meanwhile. A source with an outside waits itself (Touch wakes it).
void WaitForMore(ThreadQueue& q, unsigned seen) {
  auto lock = LockUi();
  if (q.changes != seen || !q.sent.empty()) return;
  const auto limit = UntilNextTimer(q);
  lock.unlock();
  if (q.source->Wait(static_cast<DWORD>(limit.count()))) return;
  lock.lock();
  if (q.changes != seen || !q.sent.empty()) return;
  q.wake.wait_for(lock, limit);
}

}  // namespace

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
  if (!msg || !FilterValid(hwnd)) return FALSE;
  auto q = CurrentQueue();
  return Peek(*q, Filter{hwnd, first, last}, (remove & PM_REMOVE) != 0, msg) ? TRUE : FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT first, UINT last) {
  if (!msg || !FilterValid(hwnd)) return -1;
  auto q = CurrentQueue();
  const Filter f{hwnd, first, last};
  for (;;) {
    unsigned seen;
    {
      auto lock = LockUi();
      seen = q->changes;
    }
    if (Peek(*q, f, true, msg)) return msg->message == WM_QUIT ? FALSE : TRUE;
    WaitForMore(*q, seen);
  }
}

BOOL WaitMessage() {
  auto q = CurrentQueue();
  MSG m;
  unsigned seen;
  {
    auto lock = LockUi();
    seen = q->changes;
  }
  if (Peek(*q, Filter{nullptr, 0, 0}, false, &m)) return TRUE;
  WaitForMore(*q, seen);
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, qv::ui_seam::ClockNow());
    return 0;
  }
  if (!msg->hwnd) return 0;
  if (msg->message == kActivateRequest) {
    SetActiveWindow(msg->hwnd);
    return 0;
  }
  {
    auto lock = LockUi();
    Window* w = Find(msg->hwnd);
    if (!w) return 0;
    if (w->queue.get() != CurrentQueueIfAny()) {
      SetLastError(ERROR_MESSAGE_SYNC_ONLY);
      return 0;
    }
  }
  return Deliver(msg->hwnd, msg->message, msg->wParam, msg->lParam, qv::ui_seam::kObservedPosted);
}

DWORD GetMessagePos() {
  auto q = CurrentQueue();
  auto lock = LockUi();
  return static_cast<DWORD>(MAKELONG(q->last.pt.x, q->last.pt.y));
}

LONG GetMessageTime() {
  auto q = CurrentQueue();
  auto lock = LockUi();
  return static_cast<LONG>(q->last.time);
}

// Every process that names the same message gets the same number, with no
// table between them: the number comes from the name, in 0xC000..0xFFFF.
UINT RegisterWindowMessageW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  uint32_t h = 2166136261u;
  for (const WCHAR* p = name; *p; ++p) {
    h = (h ^ static_cast<uint32_t>(std::towlower(static_cast<wint_t>(*p)))) * 16777619u;
  }
  return 0xC000u + h % 0x4000u;
}
