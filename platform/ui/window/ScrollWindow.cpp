// Scrolling a window's client. Windows keep no pixels of their own, so the
// move copies the screen's pixels, which is right only when nothing else
// lies over the area; otherwise the whole area is painted again. What was
// waiting to be painted moves with the pixels.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/window/Invalidate.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/ScopedGetDC.h"
#include "platform/ui/window/Screen.h"

#ifndef COMPLEXREGION
#define COMPLEXREGION 3
#endif

using namespace qv::ui;

namespace {

// With the lock held: whether a visible window other than w's own children
// lies over the screen area.
bool Covered(const Window* w, const RECT& screen) {
  for (const Window* at = w; at->parent; at = at->parent) {
    for (const Window* s : at->parent->children) {
      if (s == at) break;
      if ((s->style & WS_VISIBLE) && !RectEmpty(Intersect(ScreenRect(*s), screen))) return true;
    }
  }
  return false;
}

struct Plan {
  RECT visible{};  // the part of the client that may change
  RECT moved{};    // where moved pixels land
  std::vector<HWND> children;
  std::vector<HWND> partlyOutside;  // moved children that bring in pixels from outside the area
  RECT pending{};                   // the update rectangle when the pixels were copied
  bool erase = false;
  bool copy = false;
};

void CopyPixels(HWND hwnd, const RECT& dest, int dx, int dy) {
  const qv::ScopedGetDC dc(hwnd);
  HDC mem = CreateCompatibleDC(dc);
  const int width = dest.right - dest.left;
  const int height = dest.bottom - dest.top;
  {
    const qv::ScopedGdiObject<HBITMAP> bits(CreateCompatibleBitmap(dc, width, height));
    const qv::ScopedSelectObject withBits(mem, bits.get());
    BitBlt(mem, 0, 0, width, height, dc, dest.left - dx, dest.top - dy, SRCCOPY);
    BitBlt(dc, dest.left, dest.top, width, height, mem, 0, 0, SRCCOPY);
  }
  DeleteDC(mem);
}

// The uncovered part of `visible` once `moved` is drawn: its bounding box.
RECT Uncovered(const RECT& visible, const RECT& moved, bool* lShaped) {
  *lShaped = false;
  if (RectEmpty(moved)) return visible;
  const bool fullWidth = moved.left == visible.left && moved.right == visible.right;
  const bool fullHeight = moved.top == visible.top && moved.bottom == visible.bottom;
  if (fullWidth && fullHeight) return {};
  if (fullWidth) return moved.top > visible.top ? RECT{visible.left, visible.top, visible.right, moved.top}
                                                : RECT{visible.left, moved.bottom, visible.right, visible.bottom};
  if (fullHeight) return moved.left > visible.left ? RECT{visible.left, visible.top, moved.left, visible.bottom}
                                                   : RECT{moved.right, visible.top, visible.right, visible.bottom};
  *lShaped = true;
  return visible;
}

}  // namespace

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, void*, RECT* update, UINT flags) {
  Plan plan;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return ERROR;
    const RECT client = ClientRect(*w);
    const RECT area = scroll ? Intersect(*scroll, client) : client;
    plan.visible = clip ? Intersect(area, *clip) : area;
    plan.moved = Intersect(Offset(area, dx, dy), plan.visible);
    bool childrenLeftBehind = false;
    for (Window* c : w->children) {
      // Without a scroll rectangle every child moves, as ScrollWindow does;
      // with one, those it touches.
      if (scroll && RectEmpty(Intersect(c->rect, area))) continue;
      if (!(flags & SW_SCROLLCHILDREN)) {
        childrenLeftBehind = childrenLeftBehind || (c->style & WS_VISIBLE);
        continue;
      }
      plan.children.push_back(c->hwnd);
      const RECT in = Intersect(c->rect, plan.visible);
      if (!EqualRect(&in, &c->rect)) plan.partlyOutside.push_back(c->hwnd);
    }
    const POINT o = ClientOrigin(*w);
    plan.copy = ShownOnScreen(*w) && !RectEmpty(plan.moved) && !childrenLeftBehind &&
                !Covered(w, Offset(plan.visible, o.x, o.y));
    plan.pending = w->update;
    plan.erase = w->erase;
  }
  if (plan.copy) CopyPixels(hwnd, plan.moved, dx, dy);
  for (HWND c : plan.children) {
    RECT r{};
    GetWindowRect(c, &r);
    POINT at{r.left, r.top};
    ScreenToClient(hwnd, &at);
    SetWindowPos(c, nullptr, at.x + dx, at.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  bool lShaped = false;
  const RECT band = plan.copy ? Uncovered(plan.visible, plan.moved, &lShaped) : plan.visible;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return ERROR;
    if (flags & SW_INVALIDATE) Invalidate(w, band, (flags & SW_ERASE) != 0, true);
    // Pixels waiting to be painted were copied as they stood: the part of the
    // update rectangle inside the area moves with them and is painted where
    // it landed, as the update region moves with a scroll.
    const RECT waiting = plan.copy ? Intersect(plan.pending, plan.visible) : RECT{};
    if (!RectEmpty(waiting)) Invalidate(w, Intersect(Offset(waiting, dx, dy), plan.visible), plan.erase, true);
    for (HWND c : plan.copy ? plan.partlyOutside : plan.children) {
      if (Window* child = Find(c, false)) Invalidate(child, ClientRect(*child), true, true);
    }
  }
  if (update) *update = band;
  return RectEmpty(band) ? NULLREGION : lShaped ? COMPLEXREGION : SIMPLEREGION;
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
  const UINT flags = SW_INVALIDATE | SW_ERASE | (scroll ? 0u : static_cast<UINT>(SW_SCROLLCHILDREN));
  return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, nullptr, flags) != ERROR ? TRUE : FALSE;
}
