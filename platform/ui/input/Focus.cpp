// Focus, activation, the foreground window, capture and enabling. Each
// change is made before the messages that report it go out, in the order
// the documented calls give them: the window losing something hears first.
#include "platform/ui/input/Focus.h"

#include <utility>

#include "platform/ui/input/Activation.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/NonClient.h"
#include "platform/ui/window/ProcessTable.h"

using namespace qv::ui;

namespace {

// The calling thread's window, or null (with the error set).
Window* Own(HWND hwnd, ThreadQueue& q) {
  Window* w = Find(hwnd);
  if (w && w->queue.get() != &q) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return w;
}

// Swaps one of the thread's slots (focus, active, capture) under the lock.
HWND Swap(HWND ThreadQueue::*slot, HWND now) {
  auto q = CurrentQueue();
  auto lock = LockUi();
  return std::exchange((*q).*slot, now);
}

// Reads one of the calling thread's slots; null for a thread without a queue.
HWND Read(HWND ThreadQueue::*slot) {
  ThreadQueue* q = CurrentQueueIfAny();
  auto lock = LockUi();
  return q ? (*q).*slot : nullptr;
}

}  // namespace

namespace qv::ui {

void ActivateAnother(HWND leaving) {
  HWND next = nullptr;
  {
    auto lock = LockUi();
    ThreadQueue* q = CurrentQueueIfAny();
    Window* w = Find(leaving, false);
    auto usable = [&](Window* c) {
      return c && c->hwnd != leaving && c->queue.get() == q && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED) &&
             !c->destroying;
    };
    if (w && usable(w->owner)) {
      next = w->owner->hwnd;
    } else {
      for (Window* c : Desktop()->children) {
        if (usable(c)) {
          next = c->hwnd;
          break;
        }
      }
    }
  }
  SetActiveWindow(next);
}

}  // namespace qv::ui

HWND SetFocus(HWND hwnd) {
  auto q = CurrentQueue();
  HWND top = nullptr;
  {
    auto lock = LockUi();
    if (hwnd) {
      Window* w = Own(hwnd, *q);
      if (!w) return nullptr;
      top = TopLevelOf(w)->hwnd;
    }
    if (q->focus == hwnd) return hwnd;
  }
  if (top && GetActiveWindow() != top) {
    SetActiveWindow(top);
    if (GetFocus() == hwnd) return nullptr;
  }
  HWND old = GetFocus();
  if (old && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  Swap(&ThreadQueue::focus, hwnd);
  if (hwnd && IsWindow(hwnd)) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() { return Read(&ThreadQueue::focus); }

HWND SetActiveWindow(HWND hwnd) {
  auto q = CurrentQueue();
  HWND old;
  {
    auto lock = LockUi();
    if (hwnd) {
      Window* w = Own(hwnd, *q);
      if (!w) return nullptr;
      w = TopLevelOf(w);
      if (w->style & WS_DISABLED) return nullptr;
      hwnd = w->hwnd;
      Unlink(w);
      LinkAt(w, Desktop(), HWND_TOP);
    }
    old = q->active;
    Ui().foreground = q;
    if (old == hwnd) return old;
  }
  if (old && IsWindow(old)) SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
  Swap(&ThreadQueue::active, hwnd);
  // Captions show which window is active.
  if (old) PaintNonClient(old);
  if (hwnd) {
    PaintNonClient(hwnd);
    SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
  } else if (GetFocus()) {
    SetFocus(nullptr);
  }
  return old;
}

HWND GetActiveWindow() { return Read(&ThreadQueue::active); }

BOOL SetForegroundWindow(HWND hwnd) {
  if (IsForeignHandle(hwnd)) return PostForeign(hwnd, kActivateRequest, 0, 0) ? TRUE : FALSE;
  std::shared_ptr<ThreadQueue> owner;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    owner = w->queue;
    Ui().foreground = owner;
  }
  if (owner.get() == CurrentQueueIfAny()) {
    SetActiveWindow(hwnd);
    return TRUE;
  }
  return PostMessageW(hwnd, kActivateRequest, 0, 0);
}

HWND GetForegroundWindow() {
  auto lock = LockUi();
  return Ui().foreground ? Ui().foreground->active : nullptr;
}

HWND SetCapture(HWND hwnd) {
  auto q = CurrentQueue();
  {
    auto lock = LockUi();
    if (hwnd && !Own(hwnd, *q)) return nullptr;
  }
  HWND old = Swap(&ThreadQueue::capture, hwnd);
  if (old && old != hwnd) SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  HWND old = Swap(&ThreadQueue::capture, nullptr);
  if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return Read(&ThreadQueue::capture); }

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  bool wasDisabled;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
    if (enable) w->style &= ~WS_DISABLED;
  }
  if (!enable) {
    SendMessageW(hwnd, WM_CANCELMODE, 0, 0);
    {
      auto lock = LockUi();
      if (Window* w = Find(hwnd)) w->style |= WS_DISABLED;
    }
    HWND focus = GetFocus();
    if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(nullptr);
  }
  SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}
