#include "platform/ui/commctrl/ProgressBar.h"

#include <algorithm>
#include <cstdint>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

struct ProgressState {
  int low = 0;
  int high = 100;
  int pos = 0;
  int step = 10;
  COLORREF bar = CLR_DEFAULT;
  COLORREF back = CLR_DEFAULT;
};

ProgressState* StateOf(HWND hwnd) { return StateObject<ProgressState>(hwnd); }

bool Vertical(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & PBS_VERTICAL) != 0; }
bool Smooth(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & PBS_SMOOTH) != 0; }

RECT Inside(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  InflateRect(&r, -StylePainter::kFrame, -StylePainter::kFrame);
  return r;
}

// How many pixels of `length` the position fills.
int Filled(const ProgressState& s, int length) {
  if (s.high <= s.low || length <= 0) return 0;
  const int64_t done = int64_t{s.pos} - s.low;
  return static_cast<int>(done * length / (int64_t{s.high} - s.low));
}

int LengthOf(HWND hwnd) {
  const RECT r = Inside(hwnd);
  return std::max<int>(0, Vertical(hwnd) ? r.bottom - r.top : r.right - r.left);
}

// Blocks are as long as two thirds of the bar's thickness, with a gap of 2.
int BlockOf(HWND hwnd) {
  const RECT r = Inside(hwnd);
  const int thickness = Vertical(hwnd) ? r.right - r.left : r.bottom - r.top;
  return std::max(2, thickness * 2 / 3);
}

// What is drawn: the filled length, rounded up to whole blocks when blocky.
int Shown(HWND hwnd, const ProgressState& s) {
  const int length = LengthOf(hwnd), filled = Filled(s, length);
  if (Smooth(hwnd) || filled == 0) return filled;
  const int block = BlockOf(hwnd) + 2;
  return std::min(length, (filled + block - 1) / block * block);
}

void Paint(HWND hwnd, HDC dc) {
  const ProgressState* s = StateOf(hwnd);
  RECT client{};
  GetClientRect(hwnd, &client);
  StylePainter::PaintFrame(dc, client, FrameKind::Sunken);
  const RECT in = Inside(hwnd);
  const COLORREF back = s && s->back != CLR_DEFAULT ? s->back : GetSysColor(COLOR_BTNFACE);
  const COLORREF bar = s && s->bar != CLR_DEFAULT ? s->bar : GetSysColor(COLOR_HIGHLIGHT);
  const qv::ScopedGdiObject<HBRUSH> backBrush(CreateSolidBrush(back));
  FillRect(dc, &in, backBrush.get());
  if (!s) return;
  const int shown = Shown(hwnd, *s);
  if (shown <= 0) return;
  const qv::ScopedGdiObject<HBRUSH> barBrush(CreateSolidBrush(bar));
  const bool vertical = Vertical(hwnd);
  const int block = Smooth(hwnd) ? shown : BlockOf(hwnd);
  for (int at = 0; at < shown; at += block + 2) {
    const int end = std::min(shown, at + block);
    const RECT piece = vertical ? RECT{in.left, in.bottom - end, in.right, in.bottom - at}
                                : RECT{in.left + at, in.top, in.left + end, in.bottom};
    FillRect(dc, &piece, barBrush.get());
  }
}

// Moves the position, repainting only when what is shown changes; answers
// the position before.
LRESULT MoveTo(HWND hwnd, ProgressState& s, int64_t pos) {
  const int before = s.pos;
  const int shownBefore = Shown(hwnd, s);
  s.pos = static_cast<int>(std::clamp<int64_t>(pos, s.low, std::max(s.low, s.high)));
  if (Shown(hwnd, s) != shownBefore) InvalidateRect(hwnd, nullptr, FALSE);
  return before;
}

LRESULT SetRange(HWND hwnd, ProgressState& s, int low, int high) {
  const LRESULT before = MAKELONG(static_cast<WORD>(s.low), static_cast<WORD>(s.high));
  s.low = low;
  s.high = high;
  s.pos = std::clamp(s.pos, s.low, std::max(s.low, s.high));
  InvalidateRect(hwnd, nullptr, FALSE);
  return before;
}

COLORREF SetColour(HWND hwnd, COLORREF* slot, COLORREF colour) {
  const COLORREF before = *slot;
  *slot = colour;
  InvalidateRect(hwnd, nullptr, FALSE);
  return before;
}

}  // namespace

LRESULT ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto r = StateLifetime<ProgressState>(hwnd, message, wParam, lParam,
                                            [](ProgressState&, const CREATESTRUCTW*) { return true; })) {
    return *r;
  }
  if (auto r = ControlBasics(hwnd, message, wParam, lParam, Paint)) return *r;
  ProgressState* s = StateOf(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case PBM_SETRANGE: return SetRange(hwnd, *s, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32: return SetRange(hwnd, *s, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_GETRANGE:
      if (lParam) *reinterpret_cast<PBRANGE*>(lParam) = PBRANGE{s->low, s->high};
      return wParam ? s->low : s->high;
    case PBM_SETPOS: return MoveTo(hwnd, *s, static_cast<int>(wParam));
    case PBM_DELTAPOS: return MoveTo(hwnd, *s, int64_t{s->pos} + static_cast<int>(wParam));
    case PBM_GETPOS: return s->pos;
    case PBM_SETSTEP: {
      const int before = s->step;
      s->step = static_cast<int>(wParam);
      return before;
    }
    case PBM_STEPIT: {
      int64_t next = int64_t{s->pos} + s->step;
      if (s->high > s->low && next > s->high) next = s->low + (next - s->high) % (int64_t{s->high} - s->low);
      if (s->high > s->low && next < s->low) next = s->high - (s->low - next) % (int64_t{s->high} - s->low);
      return MoveTo(hwnd, *s, next);
    }
    case PBM_SETBARCOLOR: return static_cast<LRESULT>(SetColour(hwnd, &s->bar, static_cast<COLORREF>(lParam)));
    case PBM_SETBKCOLOR: return static_cast<LRESULT>(SetColour(hwnd, &s->back, static_cast<COLORREF>(lParam)));
    case WM_GETDLGCODE: return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui
