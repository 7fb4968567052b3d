// The thread's caret. Its blink runs on the UI clock; the one who draws the
// screen asks CaretVisibleNow.
#include "platform/ui/input/Caret.h"

#include <atomic>

#include "platform/ui/queue/SeamHooks.h"
#include "platform/ui/queue/UiSeam.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/Invalidate.h"

using namespace qv::ui;

namespace {

std::atomic<UINT> g_blink{500};

// Applies `change` to the caret when it belongs to `hwnd` (or to any window
// of the thread when hwnd is null).
template <class F>
BOOL WithCaret(HWND hwnd, F&& change) {
  ThreadQueue* q = CurrentQueueIfAny();
  auto lock = LockUi();
  if (!q || !q->caret.owner || (hwnd && q->caret.owner != hwnd)) return FALSE;
  change(q->caret);
  return TRUE;
}

// The caret's line in its owner, painted again when the caret comes or goes
// (the bar may stand right of the caret's point, after a composition).
void RepaintCaretLine(const Caret& c) {
  Window* w = Find(c.owner, false);
  if (!w) return;
  Invalidate(w, RECT{0, c.pos.y, ClientRect(*w).right, c.pos.y + c.size.cy}, false, false);
}

}  // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height) {
  auto q = CurrentQueue();
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w || w->queue != q) return FALSE;
  q->caret = Caret{hwnd, bitmap, {width > 0 ? width : 1, height > 0 ? height : 1}, {}, 1, qv::ui_seam::ClockNow()};
  return TRUE;
}

BOOL DestroyCaret() {
  return WithCaret(nullptr, [](Caret& c) { c = Caret{}; });
}

BOOL ShowCaret(HWND hwnd) {
  return WithCaret(hwnd, [](Caret& c) {
    if (c.hidden > 0 && --c.hidden == 0) {
      c.blinkStart = qv::ui_seam::ClockNow();
      RepaintCaretLine(c);
    }
  });
}

BOOL HideCaret(HWND hwnd) {
  return WithCaret(hwnd, [](Caret& c) {
    if (c.hidden++ == 0) RepaintCaretLine(c);
  });
}

BOOL SetCaretPos(int x, int y) {
  return WithCaret(nullptr, [x, y](Caret& c) {
    c.pos = {x, y};
    c.blinkStart = qv::ui_seam::ClockNow();  // a moved caret shows at once
  });
}

BOOL GetCaretPos(POINT* point) {
  if (!point) return FALSE;
  return WithCaret(nullptr, [point](Caret& c) { *point = c.pos; });
}

UINT GetCaretBlinkTime() { return g_blink; }

BOOL SetCaretBlinkTime(UINT milliseconds) {
  g_blink = milliseconds;
  return TRUE;
}

namespace qv::ui {

// Whether the caret of hwnd's thread is drawn at this moment of its blink.
bool CaretShown(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd, false);
  return w && w->queue->caret.owner == hwnd && w->queue->caret.hidden == 0;
}

bool CaretVisibleNow(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd, false);
  if (!w) return false;
  const Caret& c = w->queue->caret;
  if (c.owner != hwnd || c.hidden > 0 || c.paintHidden > 0) return false;
  const UINT blink = g_blink;
  return blink == 0 || ((qv::ui_seam::ClockNow() - c.blinkStart) / blink) % 2 == 0;
}

}  // namespace qv::ui
