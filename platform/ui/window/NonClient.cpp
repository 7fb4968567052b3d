#include "platform/ui/window/NonClient.h"

#include "platform/gdi/Gdi.h"
#include "platform/ui/controls/ScrollBar.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/queue/ThreadQueue.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Invalidate.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

struct Frame {
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring text;
  bool active = false;
  RECT window{};  // own coordinates
  RECT client{};  // in window coordinates
  RECT bars[2]{};
  ScrollBarState values[2];
};

ScrollValues ValuesOf(const ScrollBarState& s) { return {s.min, s.max, s.page, s.pos}; }

void PaintFrame(HDC dc, const Frame& f) {
  RECT inner = f.window;
  auto shrink = [&inner](int by) { InflateRect(&inner, -by, -by); };
  if ((f.style & WS_CAPTION) == WS_CAPTION || (f.style & WS_DLGFRAME)) {
    StylePainter::PaintFrame(dc, inner, FrameKind::Window);
    shrink(GetSystemMetrics(SM_CXDLGFRAME));
  } else if (f.style & WS_BORDER) {
    StylePainter::PaintFrame(dc, inner, FrameKind::Thin);
    shrink(GetSystemMetrics(SM_CXBORDER));
  }
  if ((f.style & WS_CAPTION) == WS_CAPTION) {
    const RECT bar{inner.left, inner.top, inner.right, inner.top + GetSystemMetrics(SM_CYCAPTION)};
    StylePainter::PaintCaption(dc, bar, f.text.c_str(), f.active);
    inner.top = bar.bottom;
  }
  if (f.exStyle & WS_EX_CLIENTEDGE) StylePainter::PaintFrame(dc, inner, FrameKind::Sunken);
  for (int bar : {SB_HORZ, SB_VERT}) {
    if (IsRectEmpty(&f.bars[bar])) continue;
    StylePainter::PaintScrollBar(dc, f.bars[bar], bar == SB_VERT, ValuesOf(f.values[bar]), f.values[bar].disabled,
                                 ScrollPart::None);
  }
  if (!IsRectEmpty(&f.bars[0]) && !IsRectEmpty(&f.bars[1])) {
    const RECT corner{f.bars[1].left, f.bars[0].top, f.bars[1].right, f.bars[0].bottom};
    FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
  }
}

}  // namespace

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
  Frame f;
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
    f.window = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    f.client = Offset(ClientRect(*w), in.left, in.top);
    for (int bar : {SB_HORZ, SB_VERT}) {
      f.bars[bar] = ScrollBarRect(*w, bar);
      f.values[bar] = w->scroll[bar];
    }
  }
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  PaintFrame(dc, f);
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
