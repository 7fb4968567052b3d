// What a window does with a message it leaves to the system.
#include "platform/gdi/Gdi.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/LayerHooks.h"
#include "platform/ui/window/NonClient.h"
#include "platform/ui/window/Paint.h"
#include "platform/ui/window/PositionFlags.h"
#include "platform/ui/window/ProcessTable.h"

using namespace qv::ui;

namespace {

struct DefDepth {
  DefDepth() { ++DefProcDepth(); }
  ~DefDepth() { --DefProcDepth(); }
};

LRESULT SetText(HWND hwnd, LPCWSTR text) {
  bool caption;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    w->text = text ? text : L"";
    if (IsDesktop(w->parent)) Publish(*w);
    caption = (w->style & WS_CAPTION) == WS_CAPTION;
  }
  if (caption) PaintNonClient(hwnd);
  return TRUE;
}

// The colours a control is drawn in unless its parent chooses others.
LRESULT ControlColors(UINT message, HDC dc) {
  const int background = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX ? COLOR_WINDOW
                         : message == WM_CTLCOLORSCROLLBAR                            ? COLOR_SCROLLBAR
                                                                                      : COLOR_BTNFACE;
  if (dc) {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(background));
  }
  return reinterpret_cast<LRESULT>(GetSysColorBrush(background));
}

LRESULT GetText(HWND hwnd, WPARAM size, LPWSTR out) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  return w ? CopyText(w->text, out, static_cast<int>(size)) : 0;
}

LRESULT TextLength(HWND hwnd) {
  auto lock = LockUi();
  Window* w = Find(hwnd);
  return w ? static_cast<LRESULT>(w->text.size()) : 0;
}

void SetRedraw(HWND hwnd, bool on) {
  auto lock = LockUi();
  if (Window* w = Find(hwnd)) w->redraw = on;
}

// Fills the paint DC's clip with the class background; nonzero when done.
LRESULT EraseBackground(HWND hwnd, HDC dc) {
  HBRUSH brush = nullptr;
  {
    auto lock = LockUi();
    if (Window* w = Find(hwnd)) brush = w->cls->wc.hbrBackground;
  }
  if (!brush || !dc) return 0;
  RECT box{};
  GetClipBox(dc, &box);
  FillRect(dc, &box, brush);
  return 1;
}

void PositionChanged(HWND hwnd, const WINDOWPOS* wp) {
  if (!wp) return;
  RECT client{};
  POINT at{};
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return;
    client = ClientRect(*w);
    const RECT in = Insets(w->style, w->exStyle);
    at = {w->rect.left + in.left, w->rect.top + in.top};
  }
  if (!(wp->flags & kNoClientMove)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(at.x, at.y));
  if (!(wp->flags & kNoClientSize)) {
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  }
}

}  // namespace

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DefDepth depth;
  if (IsCtlColorMessage(message)) return ControlColors(message, reinterpret_cast<HDC>(wParam));
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SETTEXT:
      return SetText(hwnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
      return GetText(hwnd, wParam, reinterpret_cast<LPWSTR>(lParam));
    case WM_GETTEXTLENGTH:
      return TextLength(hwnd);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return EraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_SETREDRAW:
      SetRedraw(hwnd, wParam != 0);
      return 0;
    case WM_WINDOWPOSCHANGED:
      PositionChanged(hwnd, reinterpret_cast<const WINDOWPOS*>(lParam));
      return 0;
    case WM_ACTIVATE:
      // An activated window takes the focus unless it already lies inside it.
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != hwnd && !IsChild(hwnd, focus)) SetFocus(hwnd);
      }
      return 0;
    case WM_CANCELMODE:
      if (Hooks().cancelMenu) Hooks().cancelMenu(hwnd);  // an open menu of this window closes
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_MOUSEACTIVATE:
      return 1;  // MA_ACTIVATE
    case WM_MOUSEWHEEL:
      return Hooks().wheel ? Hooks().wheel(hwnd, wParam, lParam) : 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (CaptionOkInput(hwnd, message, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) return 0;
      if (Hooks().scrollBarInput) Hooks().scrollBarInput(hwnd, message, wParam, lParam);
      return 0;
    default:
      return 0;
  }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}
