// Update rectangles, WM_PAINT and the DCs windows draw with. A window's
// update rectangle is the bounding box of what was invalidated; paint DCs
// are clipped to it on the screen surface. With no pixels kept per window,
// what a window paints over is repainted by the windows that lie above it.
#include <mutex>

#include "platform/gdi/Gdi.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/Invalidate.h"
#include "platform/ui/window/NonClient.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/Screen.h"
#include "platform/ui/metrics/Metrics.h"

namespace qv::ui {
namespace {

std::mutex g_screenLock;
std::shared_ptr<gdi::Surface> g_screen;

// The part of the screen a window's client shows: clipped by every ancestor.
RECT VisibleClient(const Window& w) {
  RECT r = ScreenClient(w);
  for (const Window* p = w.parent; p && !IsDesktop(p); p = p->parent) r = Intersect(r, ScreenClient(*p));
  return Intersect(r, ClientRect(*Desktop()));
}

HDC MakeDc(const Window* w, bool wholeWindow, const RECT* clipScreen) {
  auto screen = ScreenSurface();
  if (!screen) return nullptr;
  POINT origin{0, 0};
  RECT clip = ClientRect(*Desktop());
  if (w) {
    origin = wholeWindow ? WindowOrigin(*w) : ClientOrigin(*w);
    clip = wholeWindow ? Intersect(ScreenRect(*w), clip) : VisibleClient(*w);
  }
  if (clipScreen) clip = Intersect(clip, *clipScreen);
  return gdi::CreateSurfaceDC(screen, origin, clip, w ? w->hwnd : nullptr);
}

void InvalidateScreenPart(Window* w, const RECT& screen) {
  const RECT part = Intersect(screen, ScreenClient(*w));
  if (RectEmpty(part)) return;
  const POINT o = ClientOrigin(*w);
  Invalidate(w, Offset(part, -o.x, -o.y), true, true);
}

}  // namespace

std::shared_ptr<gdi::Surface> ScreenSurface() {
  std::lock_guard<std::mutex> g(g_screenLock);
  if (!g_screen) {
    const DeviceProfile p = CurrentProfile();
    g_screen = gdi::Surface::Create(p.width, p.height);
  }
  return g_screen;
}

void RemakeScreen() {
  std::lock_guard<std::mutex> g(g_screenLock);
  g_screen.reset();
}

void Invalidate(Window* w, const RECT& client, bool erase, bool children) {
  if (!ShownOnScreen(*w) || !w->redraw) return;
  const RECT r = Intersect(client, ClientRect(*w));
  if (RectEmpty(r)) return;
  w->update = Union(w->update, r);
  w->erase = w->erase || erase;
  Touch(*w->queue);
  if (!children || (w->style & WS_CLIPCHILDREN)) return;
  for (Window* c : w->children) {
    const RECT in = Insets(c->style, c->exStyle);
    Invalidate(c, Offset(r, -(c->rect.left + in.left), -(c->rect.top + in.top)), erase, true);
  }
}

void Expose(Window* parent, const RECT& screen) {
  if (!parent) return;
  if (!IsDesktop(parent)) InvalidateScreenPart(parent, screen);
  for (Window* c : parent->children) {
    if ((c->style & WS_VISIBLE) && !RectEmpty(Intersect(ScreenRect(*c), screen))) InvalidateScreenPart(c, screen);
  }
}

void RepaintAbove(Window* w, const RECT& screen) {
  for (Window* c : w->children) {
    if ((c->style & WS_VISIBLE) && !RectEmpty(Intersect(ScreenRect(*c), screen))) InvalidateScreenPart(c, screen);
  }
  for (Window* at = w; at->parent; at = at->parent) {
    for (Window* s : at->parent->children) {
      if (s == at) break;  // the rest lie below
      if ((s->style & WS_VISIBLE) && !RectEmpty(Intersect(ScreenRect(*s), screen))) InvalidateScreenPart(s, screen);
    }
  }
}

}  // namespace qv::ui

using namespace qv::ui;

namespace {

// Applies `change` to a window and, when it is null, to every top-level window.
template <class F>
BOOL ForWindow(HWND hwnd, F&& change) {
  auto lock = LockUi();
  if (!hwnd) {
    for (Window* w : Desktop()->children) change(w);
    return TRUE;
  }
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  change(w);
  return TRUE;
}

// What is left of `update` once `done` is taken away, when that is a
// rectangle; otherwise `update` as it was.
RECT Subtract(const RECT& update, const RECT& done) {
  const RECT cut = Intersect(update, done);
  if (RectEmpty(cut)) return update;
  RECT r = update;
  if (cut.left <= r.left && cut.right >= r.right) {
    if (cut.top <= r.top) r.top = cut.bottom;
    else if (cut.bottom >= r.bottom) r.bottom = cut.top;
  } else if (cut.top <= r.top && cut.bottom >= r.bottom) {
    if (cut.left <= r.left) r.left = cut.right;
    else if (cut.right >= r.right) r.right = cut.left;
  }
  return RectEmpty(r) ? RECT{} : r;
}

void Validate(Window* w, const RECT* rect) {
  w->update = rect ? Subtract(w->update, *rect) : RECT{};
  if (RectEmpty(w->update)) {
    w->erase = false;
    w->internalPaint = false;
  }
}

// Sends WM_PAINT straight to a window that waits for it, then to its children.
void PaintNow(HWND hwnd, bool children) {
  bool due = false;
  std::vector<HWND> kids;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd, false);
    if (!w) return;
    due = ShownOnScreen(*w) && w->redraw && (!RectEmpty(w->update) || w->internalPaint);
    for (Window* c : w->children) kids.push_back(c->hwnd);
  }
  if (due) SendMessageW(hwnd, WM_PAINT, 0, 0);
  if (children) {
    for (HWND c : kids) PaintNow(c, true);
  }
}

}  // namespace

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  return ForWindow(hwnd, [&](Window* w) { Invalidate(w, rect ? *rect : ClientRect(*w), erase != FALSE, true); });
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  return ForWindow(hwnd, [&](Window* w) { Validate(w, rect); });
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase) {
  bool eraseNow = false;
  bool any = false;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->update;
    any = !RectEmpty(w->update);
    eraseNow = erase && w->erase && any;
    if (eraseNow) w->erase = false;
  }
  if (eraseNow) {
    HDC dc = GetDC(hwnd);
    SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ReleaseDC(hwnd, dc);
  }
  return any ? TRUE : FALSE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, void*, UINT flags) {
  const BOOL ok = ForWindow(hwnd, [&](Window* w) {
    const RECT r = rect ? *rect : ClientRect(*w);
    const bool children = (flags & RDW_ALLCHILDREN) || !(flags & RDW_NOCHILDREN);
    if (flags & RDW_INVALIDATE) Invalidate(w, r, (flags & RDW_ERASE) != 0, children);
    if (flags & RDW_VALIDATE) Validate(w, rect);
    if ((flags & RDW_INTERNALPAINT) && ShownOnScreen(*w)) {
      w->internalPaint = true;
      Touch(*w->queue);
    }
  });
  if (ok && hwnd && (flags & (RDW_UPDATENOW | RDW_ERASENOW))) PaintNow(hwnd, (flags & RDW_NOCHILDREN) == 0);
  return ok;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  PaintNow(hwnd, true);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  if (!paint) return nullptr;
  *paint = PAINTSTRUCT{};
  PaintNonClient(hwnd);
  bool erase;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (w->queue->caret.owner == hwnd) ++w->queue->caret.paintHidden;
    paint->rcPaint = w->update;
    erase = w->erase;
    w->update = RECT{};
    w->erase = false;
    w->internalPaint = false;
    const POINT o = ClientOrigin(*w);
    const RECT screen = Offset(paint->rcPaint, o.x, o.y);
    paint->hdc = MakeDc(w, false, &screen);
  }
  paint->fErase = FALSE;
  if (erase) {
    paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) ? FALSE : TRUE;
  }
  return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  if (paint->hdc) DeleteDC(paint->hdc);
  auto lock = LockUi();
  Window* w = Find(hwnd);
  if (!w) return FALSE;
  if (w->queue->caret.owner == hwnd && w->queue->caret.paintHidden > 0) --w->queue->caret.paintHidden;
  const POINT o = ClientOrigin(*w);
  RepaintAbove(w, Intersect(Offset(paint->rcPaint, o.x, o.y), VisibleClient(*w)));
  ShowPainted(*w->queue);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  auto lock = LockUi();
  if (!hwnd) return MakeDc(nullptr, false, nullptr);
  Window* w = Find(hwnd);
  return w ? MakeDc(w, false, nullptr) : nullptr;
}

HDC GetWindowDC(HWND hwnd) {
  auto lock = LockUi();
  if (!hwnd) return MakeDc(nullptr, true, nullptr);
  Window* w = Find(hwnd);
  return w ? MakeDc(w, true, nullptr) : nullptr;
}

int ReleaseDC(HWND, HDC dc) { return dc && DeleteDC(dc) ? 1 : 0; }
