// The look of a window's frame: what the core's non-client painting draws,
// put in when the platform loads.
#include "platform/gdi/Gdi.h"
#include "platform/ui/metrics/Metrics.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/LayerHooks.h"

namespace qv::ui {
namespace {

ScrollValues ValuesOf(const ScrollBarState& s) { return {s.min, s.max, s.page, s.pos}; }

void PaintNonClient(HDC dc, const NonClientFrame& f) {
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
    if (f.exStyle & WS_EX_CAPTIONOKBTN) StylePainter::PaintCaptionOkButton(dc, bar, f.okPressed);
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

const bool gInstalled = [] {
  Hooks().paintFrame = PaintNonClient;
  Hooks().captionOkButton = StylePainter::CaptionOkButton;
  return true;
}();

}  // namespace
}  // namespace qv::ui
