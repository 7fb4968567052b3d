#include "platform/ui/window/NonClient.h"

#include "platform/gdi/Gdi.h"
#include "platform/ui/window/CommandIds.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/window/Invalidate.h"
#include "platform/ui/window/LayerHooks.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

// The window whose caption OK button is held down on this thread.
thread_local HWND t_okPressed = nullptr;

// The caption bar in the window's own coordinates; empty without a caption.
RECT CaptionBar(DWORD style, const RECT& window) {
  if ((style & WS_CAPTION) != WS_CAPTION) return {};
  const int frame = GetSystemMetrics(SM_CXDLGFRAME);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  return {window.left + frame, window.top + frame, window.right - frame, window.top + frame + caption};
}

}  // namespace

bool CaptionOkInput(HWND hwnd, UINT message, POINT client) {
  RECT button{};
  {
    auto lock = LockUi();
    Window* w = Find(hwnd, false);
    if (!w || !(w->exStyle & WS_EX_CAPTIONOKBTN)) return false;
    const RECT in = Insets(w->style, w->exStyle);
    const RECT bar = CaptionBar(w->style, {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top});
    if (IsRectEmpty(&bar)) return false;
    if (!Hooks().captionOkButton) return false;
    button = Hooks().captionOkButton(bar);
    OffsetRect(&button, -in.left, -in.top);  // into client coordinates
  }
  const bool over = PtInRect(&button, client) != FALSE;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!over) return false;
      t_okPressed = hwnd;
      SetCapture(hwnd);
      PaintNonClient(hwnd);
      return true;
    case WM_LBUTTONUP:
      if (t_okPressed != hwnd) return false;
      t_okPressed = nullptr;
      ReleaseCapture();
      PaintNonClient(hwnd);
      if (over) SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return true;
    case WM_CAPTURECHANGED:
      if (t_okPressed != hwnd) return false;
      t_okPressed = nullptr;
      PaintNonClient(hwnd);
      return true;
    default:
      return t_okPressed == hwnd;
  }
}

RECT ScrollBarRect(const Window& w, int bar) {
  const DWORD flag = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  if (!(w.style & flag)) return {};
  const RECT in = Insets(w.style, w.exStyle);
  const RECT c = ClientRect(w);
  const LONG left = in.left, top = in.top;
  if (bar == SB_VERT) {
    return {left + c.right, top, left + c.right + GetSystemMetrics(SM_CXVSCROLL), top + c.bottom};
  }
  return {left, top + c.bottom, left + c.right, top + c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
}

void PaintNonClient(HWND hwnd) {
  NonClientFrame f;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd, false);
    if (!w || !ShownOnScreen(*w) || !w->redraw) return;
    const RECT in = Insets(w->style, w->exStyle);
    if (in.left == 0 && in.top == 0 && in.right == 0 && in.bottom == 0) return;
    f.style = w->style;
    f.exStyle = w->exStyle;
    f.text = w->text;
    f.active = w->queue->active == hwnd;
    f.okPressed = t_okPressed == hwnd;
    f.window = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    f.client = Offset(ClientRect(*w), in.left, in.top);
    for (int bar : {SB_HORZ, SB_VERT}) {
      f.bars[bar] = ScrollBarRect(*w, bar);
      f.values[bar] = w->scroll[bar];
    }
  }
  if (!Hooks().paintFrame) return;
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  Hooks().paintFrame(dc, f);
  ReleaseDC(hwnd, dc);
  // What lies over the frame draws itself again on top of it.
  auto lock = LockUi();
  Window* w = Find(hwnd, false);
  if (!w) return;
  const RECT screen = ScreenRect(*w);
  const RECT client = ScreenClient(*w);
  const RECT strips[] = {{screen.left, screen.top, screen.right, client.top},
                         {screen.left, client.bottom, screen.right, screen.bottom},
                         {screen.left, client.top, client.left, client.bottom},
                         {client.right, client.top, screen.right, client.bottom}};
  for (const RECT& strip : strips) {
    if (!RectEmpty(strip)) RepaintAbove(w, strip);
  }
}

}  // namespace qv::ui
