// Showing, placing and stacking windows, and the coordinate calls. Every
// change goes through SetWindowPos: WM_WINDOWPOSCHANGING lets the window
// amend it, WM_WINDOWPOSCHANGED reports it (DefWindowProcW turns that into
// WM_MOVE and WM_SIZE).
#include "platform/ui/input/Activation.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/Invalidate.h"
#include "platform/ui/window/PositionFlags.h"

using namespace qv::ui;

namespace {

bool ActivatesOnShow(int command) {
  return command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE &&
         command != SW_MINIMIZE;
}

// Applies a settled WINDOWPOS; returns whether the window was shown, hidden.
void Apply(Window* w, WINDOWPOS& wp, bool* shown, bool* hidden) {
  const bool wasVisible = ShownOnScreen(*w);
  const RECT oldScreen = ScreenRect(*w);
  const RECT oldClient = ClientRect(*w);
  const POINT oldOrigin = ClientOrigin(*w);
  const RECT in = Insets(w->style, w->exStyle);
  const POINT oldAt{w->rect.left + in.left, w->rect.top + in.top};
  if (!(wp.flags & SWP_NOMOVE)) w->rect = Offset(w->rect, wp.x - w->rect.left, wp.y - w->rect.top);
  if (!(wp.flags & SWP_NOSIZE)) {
    w->rect.right = w->rect.left + std::max(wp.cx, 0);
    w->rect.bottom = w->rect.top + std::max(wp.cy, 0);
  }
  if (!(wp.flags & SWP_NOZORDER) && w->parent) {
    if (wp.hwndInsertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
    if (wp.hwndInsertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
    Window* parent = w->parent;
    Unlink(w);
    LinkAt(w, parent, wp.hwndInsertAfter);
  }
  *shown = (wp.flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE);
  *hidden = (wp.flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE);
  if (*shown) w->style |= WS_VISIBLE;
  if (*hidden) w->style &= ~WS_VISIBLE;
  const RECT newClient = ClientRect(*w);
  const POINT newAt{w->rect.left + in.left, w->rect.top + in.top};
  if (newAt.x == oldAt.x && newAt.y == oldAt.y) wp.flags |= kNoClientMove;
  if (newClient.right == oldClient.right && newClient.bottom == oldClient.bottom) wp.flags |= kNoClientSize;
  const POINT newOrigin = ClientOrigin(*w);
  const bool moved = newOrigin.x != oldOrigin.x || newOrigin.y != oldOrigin.y || !(wp.flags & kNoClientSize);
  if (wp.flags & SWP_NOREDRAW) return;
  // No window keeps its pixels: what it left and all of it where it now is
  // are drawn again.
  if (wasVisible && (*hidden || moved)) Expose(w->parent, oldScreen);
  if (ShownOnScreen(*w) && (*shown || moved || !(wp.flags & SWP_NOZORDER))) {
    Invalidate(w, ClientRect(*w), true, true);
  }
}

}  // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  WINDOWPOS wp{hwnd, insertAfter, x, y, width, height, flags & ~(kNoClientMove | kNoClientSize)};
  bool topLevel;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    topLevel = IsDesktop(w->parent);
    if (flags & SWP_NOMOVE) {
      wp.x = w->rect.left;
      wp.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
      wp.cx = w->rect.right - w->rect.left;
      wp.cy = w->rect.bottom - w->rect.top;
    }
  }
  if (!(flags & SWP_NOSENDCHANGING)) SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
  bool shown = false;
  bool hidden = false;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    Apply(w, wp, &shown, &hidden);
  }
  if (topLevel && !(wp.flags & SWP_NOACTIVATE) && IsWindowVisible(hwnd)) SetActiveWindow(hwnd);
  SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
  if (hidden) {
    if (topLevel && GetActiveWindow() == hwnd) ActivateAnother(hwnd);
    HWND focus = GetFocus();
    if (!topLevel && focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(GetParent(hwnd));
  }
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int command) {
  bool wasVisible;
  bool topLevel;
  RECT full{};
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    wasVisible = (w->style & WS_VISIBLE) != 0;
    topLevel = IsDesktop(w->parent);
    full = ClientRect(*w->parent);
  }
  if (command == SW_HIDE || command == SW_MINIMIZE) {
    if (!wasVisible) return FALSE;
    SendMessageW(hwnd, WM_SHOWWINDOW, FALSE, 0);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
  }
  UINT flags = SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE;
  if (!topLevel || !ActivatesOnShow(command)) flags |= SWP_NOACTIVATE | SWP_NOZORDER;
  if (command == SW_SHOWMAXIMIZED) flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
  if (!wasVisible) SendMessageW(hwnd, WM_SHOWWINDOW, TRUE, 0);
  SetWindowPos(hwnd, HWND_TOP, full.left, full.top, full.right, full.bottom, flags);
  return wasVisible ? TRUE : FALSE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW)));
}

BOOL BringWindowToTop(HWND hwnd) { return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

BOOL IsWindowVisible(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd, false);
  return w && ShownOnScreen(*w) ? TRUE : FALSE;
}

namespace {

// Reads one rectangle of a window under the lock.
template <class F>
BOOL ReadRect(HWND hwnd, RECT* out, F&& read) {
  if (!out) return FALSE;
  auto lock = LockUi();
  Window* w = hwnd == GetDesktopWindow() ? Desktop() : Find(hwnd);
  if (!w) return FALSE;
  *out = read(*w);
  return TRUE;
}

// The screen position of a window's client origin; the desktop's is (0, 0).
bool OriginOf(HWND hwnd, POINT* origin) {
  auto lock = LockUi();
  if (!hwnd || hwnd == GetDesktopWindow()) {
    *origin = {0, 0};
    return true;
  }
  Window* w = Find(hwnd);
  if (!w) return false;
  *origin = ClientOrigin(*w);
  return true;
}

}  // namespace

BOOL GetWindowRect(HWND hwnd, RECT* rect) { return ReadRect(hwnd, rect, [](const Window& w) { return ScreenRect(w); }); }
BOOL GetClientRect(HWND hwnd, RECT* rect) { return ReadRect(hwnd, rect, [](const Window& w) { return ClientRect(w); }); }

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL, DWORD exStyle) {
  if (!rect) return FALSE;
  const RECT in = Insets(style, exStyle);
  *rect = {rect->left - in.left, rect->top - in.top, rect->right + in.right, rect->bottom + in.bottom};
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a{}, b{};
  if (!OriginOf(from, &a) || !OriginOf(to, &b)) return 0;
  const LONG dx = a.x - b.x;
  const LONG dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  if (!hwnd || !IsWindow(hwnd)) return FALSE;
  MapWindowPoints(hwnd, nullptr, point, 1);
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  if (!hwnd || !IsWindow(hwnd)) return FALSE;
  MapWindowPoints(nullptr, hwnd, point, 1);
  return TRUE;
}

HWND WindowFromPoint(POINT point) {
  auto lock = LockUi();
  Window* w = HitTest(point);
  return w ? w->hwnd : nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  auto lock = LockUi();
  Window* p = Find(parent);
  if (!p) return nullptr;
  if (!Contains(ClientRect(*p), point)) return nullptr;
  const POINT origin = ClientOrigin(*p);
  const POINT screen{point.x + origin.x, point.y + origin.y};
  for (Window* c : p->children) {
    if (Contains(ScreenRect(*c), screen)) return c->hwnd;
  }
  return parent;
}
