// Scroll bars: the values of a window's own bars and of the "ScrollBar"
// control, and what taps and drags on them report. An arrow reports a line,
// the track beside the thumb a page, a drag of the thumb SB_THUMBTRACK as it
// goes and SB_THUMBPOSITION where it is let go; SB_ENDSCROLL closes each.
#include "platform/ui/controls/ScrollBar.h"

#include <algorithm>

#include "platform/gdi/Gdi.h"
#include "platform/ui/controls/ControlClasses.h"
#include "platform/ui/queue/MessageQueue.h"
#include "platform/ui/input/Focus.h"
#include "platform/ui/theme/StylePainter.h"
#include "platform/ui/window/Invalidate.h"
#include "platform/ui/window/NonClient.h"
#include "platform/ui/window/Paint.h"

namespace qv::ui {
namespace {

constexpr int kWheelLines = 3;  // lines a wheel step scrolls
constexpr DWORD kNoScrollBars = 1447;  // ERROR_NO_SCROLLBARS

bool IsControl(const Window& w) { return w.proc == ScrollBarProc; }

// With the lock held: the values of a window's bar, null when it has none
// of that kind.
ScrollBarState* StateOf(Window* w, int bar) {
  if (!w) return nullptr;
  if (bar == SB_CTL) return IsControl(*w) ? &w->scroll[0] : nullptr;
  return bar == SB_HORZ || bar == SB_VERT ? &w->scroll[bar] : nullptr;
}

int MaxPos(const ScrollBarState& s) {
  return std::max(s.min, s.max - static_cast<int>(std::max<UINT>(s.page, 1)) + 1);
}

bool Needed(const ScrollBarState& s) {
  return static_cast<long long>(s.max) - s.min + 1 > static_cast<long long>(std::max<UINT>(s.page, 1));
}

ScrollValues ValuesForPainting(const ScrollBarState& s) { return {s.min, s.max, s.page, s.track}; }

// Adds or takes away a window's bar: its client changes size.
void SetBarShown(HWND hwnd, int bar, bool shown) {
  RECT client{};
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return;
    const DWORD flag = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    if (((w->style & flag) != 0) == shown) return;
    w->style = shown ? w->style | flag : w->style & ~flag;
    client = ClientRect(*w);
    Invalidate(w, client, true, true);
  }
  SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
}

void Redraw(HWND hwnd, int bar) {
  if (bar == SB_CTL) {
    InvalidateRect(hwnd, nullptr, FALSE);
  } else {
    PaintNonClient(hwnd);
  }
}

// A drag or press on a bar in progress; one at a time on a thread.
struct Press {
  HWND hwnd = nullptr;
  int bar = 0;
  ScrollPart part = ScrollPart::None;
  LONG grab = 0;  // from the thumb's start to the stylus
};
thread_local Press t_press;

struct BarPlace {
  int bar = -1;
  RECT rect{};  // in the window's client coordinates
  bool vertical = false;
  ScrollBarState values;
  HWND notify = nullptr;
  HWND control = nullptr;  // lParam of the notifications
};

// With the lock held: the bar of `w` (kind `bar`) as the stylus sees it.
BarPlace PlaceOf(Window* w, int bar) {
  BarPlace p;
  p.bar = bar;
  if (bar == SB_CTL) {
    p.rect = ClientRect(*w);
    p.vertical = (w->style & SBS_VERT) != 0;
    p.values = w->scroll[0];
    p.notify = w->parent && !IsDesktop(w->parent) ? w->parent->hwnd : (w->owner ? w->owner->hwnd : nullptr);
    p.control = w->hwnd;
    return p;
  }
  const RECT in = Insets(w->style, w->exStyle);
  p.rect = Offset(ScrollBarRect(*w, bar), -in.left, -in.top);
  p.vertical = bar == SB_VERT;
  p.values = w->scroll[bar];
  p.notify = w->hwnd;
  return p;
}

bool FindPlace(HWND hwnd, int bar, BarPlace* out) {
  auto lock = LockUi();
  Window* w = Find(hwnd, false);
  if (!w) return false;
  *out = PlaceOf(w, bar);
  return true;
}

void Notify(const BarPlace& p, int code, int pos = 0) {
  SendMessageW(p.notify, p.vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos),
               reinterpret_cast<LPARAM>(p.control));
}

ScrollPart PartAt(const ScrollLayout& l, bool vertical, POINT pt) {
  if (Contains(l.up, pt)) return ScrollPart::LineUp;
  if (Contains(l.down, pt)) return ScrollPart::LineDown;
  if (Contains(l.thumb, pt)) return ScrollPart::Thumb;
  if (!Contains(l.track, pt) || RectEmpty(l.thumb)) return ScrollPart::None;
  const LONG at = vertical ? pt.y : pt.x;
  return at < (vertical ? l.thumb.top : l.thumb.left) ? ScrollPart::PageUp : ScrollPart::PageDown;
}

int CodeOf(ScrollPart part) {
  switch (part) {
    case ScrollPart::LineUp: return SB_LINEUP;
    case ScrollPart::LineDown: return SB_LINEDOWN;
    case ScrollPart::PageUp: return SB_PAGEUP;
    case ScrollPart::PageDown: return SB_PAGEDOWN;
    default: return SB_ENDSCROLL;
  }
}

void SetTrack(HWND hwnd, int bar, int track) {
  {
    auto lock = LockUi();
    ScrollBarState* s = StateOf(Find(hwnd, false), bar);
    if (!s) return;
    s->track = track;
  }
  Redraw(hwnd, bar);
}

// Where the thumb's start at `offset` along the track puts the position.
int PosForThumb(const BarPlace& p, LONG start) {
  const ScrollLayout l = StylePainter::LayOutScrollBar(p.rect, p.vertical, ValuesForPainting(p.values));
  const LONG track = p.vertical ? l.track.bottom - l.track.top : l.track.right - l.track.left;
  const LONG thumb = p.vertical ? l.thumb.bottom - l.thumb.top : l.thumb.right - l.thumb.left;
  const LONG room = track - thumb;
  const LONG from = std::clamp<LONG>(start - (p.vertical ? l.track.top : l.track.left), 0, std::max<LONG>(room, 0));
  const long long travel = static_cast<long long>(MaxPos(p.values)) - p.values.min;
  return room > 0 ? p.values.min + static_cast<int>((from * travel + room / 2) / room) : p.values.min;
}

bool PressBar(HWND hwnd, const BarPlace& p, POINT pt) {
  if (p.values.disabled) return true;
  const ScrollLayout l = StylePainter::LayOutScrollBar(p.rect, p.vertical, ValuesForPainting(p.values));
  const ScrollPart part = PartAt(l, p.vertical, pt);
  if (part == ScrollPart::None) return true;
  t_press = Press{hwnd, p.bar, part, (p.vertical ? pt.y - l.thumb.top : pt.x - l.thumb.left)};
  SetCapture(hwnd);
  if (part != ScrollPart::Thumb) Notify(p, CodeOf(part));
  return true;
}

void EndPress(bool report) {
  const Press press = t_press;
  t_press = Press{};
  BarPlace p;
  if (!FindPlace(press.hwnd, press.bar, &p)) return;
  if (report && press.part == ScrollPart::Thumb) Notify(p, SB_THUMBPOSITION, p.values.track);
  if (report) Notify(p, SB_ENDSCROLL);
  // The thumb goes back to the position unless the window took the new one.
  if (FindPlace(press.hwnd, press.bar, &p) && p.values.track != p.values.pos) SetTrack(press.hwnd, press.bar, p.values.pos);
}

// Taps on a window's own bars or on a scroll bar control.
bool BarInput(HWND hwnd, UINT message, LPARAM lParam, bool control) {
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      for (int bar : control ? std::vector<int>{SB_CTL} : std::vector<int>{SB_HORZ, SB_VERT}) {
        BarPlace p;
        if (FindPlace(hwnd, bar, &p) && Contains(p.rect, pt)) return PressBar(hwnd, p, pt);
      }
      return false;
    }
    case WM_MOUSEMOVE: {
      if (t_press.hwnd != hwnd) return false;
      BarPlace p;
      if (t_press.part != ScrollPart::Thumb || !FindPlace(hwnd, t_press.bar, &p)) return true;
      const int pos = PosForThumb(p, (p.vertical ? pt.y : pt.x) - t_press.grab);
      if (pos != p.values.track) {
        SetTrack(hwnd, t_press.bar, pos);
        Notify(p, SB_THUMBTRACK, pos);
      }
      return true;
    }
    case WM_LBUTTONUP:
      if (t_press.hwnd != hwnd) return false;
      EndPress(true);
      ReleaseCapture();
      return true;
    case WM_CAPTURECHANGED:
      if (t_press.hwnd != hwnd) return false;
      EndPress(false);
      return true;
    default:
      return false;
  }
}

void PaintControl(HWND hwnd, HDC dc) {
  BarPlace p;
  if (!FindPlace(hwnd, SB_CTL, &p)) return;
  StylePainter::PaintScrollBar(dc, p.rect, p.vertical, ValuesForPainting(p.values),
                               p.values.disabled || !IsWindowEnabled(hwnd),
                               t_press.hwnd == hwnd ? t_press.part : ScrollPart::None);
}

}  // namespace

bool WindowScrollBarInput(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  return BarInput(hwnd, message, lParam, false);
}

// A window with a vertical bar scrolls by lines; any other hands the wheel
// to its parent.
LRESULT WheelDefault(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  bool scrolls = false;
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return 0;
    scrolls = (w->style & WS_VSCROLL) && !w->scroll[SB_VERT].disabled && Needed(w->scroll[SB_VERT]);
  }
  if (!scrolls) {
    HWND parent = GetParent(hwnd);
    if (parent && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) SendMessageW(parent, WM_MOUSEWHEEL, wParam, lParam);
    return 0;
  }
  const int steps = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
  for (int i = 0; i < std::abs(steps) * kWheelLines; ++i) {
    SendMessageW(hwnd, WM_VSCROLL, MAKEWPARAM(steps > 0 ? SB_LINEUP : SB_LINEDOWN, 0), 0);
  }
  if (steps != 0) SendMessageW(hwnd, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
  return 0;
}

LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto done = ControlBasics(hwnd, message, wParam, lParam, PaintControl)) return *done;
  switch (message) {
    case WM_CREATE: {
      auto lock = LockUi();
      if (Window* w = Find(hwnd)) w->scroll[0] = ScrollBarState{0, 0, 0, 0, 0, false};
      return 0;
    }
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      BarInput(hwnd, message, lParam, true);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace qv::ui

using namespace qv::ui;

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw) {
  if (!info || (info->cbSize != sizeof(SCROLLINFO) && info->cbSize != sizeof(SCROLLINFO) - sizeof(int))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int pos;
  int showChange = 0;  // +1 to add the bar, -1 to take it away
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    ScrollBarState* s = StateOf(w, bar);
    if (!s) {
      if (w) SetLastError(kNoScrollBars);
      return 0;
    }
    if (info->fMask & SIF_RANGE) {
      s->min = info->nMin;
      s->max = std::max(info->nMin, info->nMax);
    }
    if (info->fMask & SIF_PAGE) s->page = info->nPage;
    if (info->fMask & SIF_POS) s->pos = info->nPos;
    const long long size = static_cast<long long>(s->max) - s->min + 1;
    if (s->page > size) s->page = static_cast<UINT>(size);
    s->pos = std::clamp(s->pos, s->min, MaxPos(*s));
    s->track = s->pos;
    pos = s->pos;
    if (bar != SB_CTL && (info->fMask & (SIF_RANGE | SIF_PAGE))) {
      const bool shown = (w->style & (bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL)) != 0;
      s->disabled = false;
      if (Needed(*s)) {
        showChange = shown ? 0 : 1;
      } else if (info->fMask & SIF_DISABLENOSCROLL) {
        s->disabled = true;
      } else {
        showChange = shown ? -1 : 0;
      }
    }
  }
  if (showChange) {
    SetBarShown(hwnd, bar, showChange > 0);
  } else if (redraw) {
    Redraw(hwnd, bar);
  }
  return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
  if (!info) return FALSE;
  auto lock = LockUi();
  Window* w = Find(hwnd);
  ScrollBarState* s = StateOf(w, bar);
  if (!s) {
    if (w) SetLastError(kNoScrollBars);
    return FALSE;
  }
  if (info->fMask & SIF_RANGE) {
    info->nMin = s->min;
    info->nMax = s->max;
  }
  if (info->fMask & SIF_PAGE) info->nPage = s->page;
  if (info->fMask & SIF_POS) info->nPos = s->pos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->track;
  return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  SCROLLINFO old{sizeof old, SIF_POS, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(hwnd, bar, &old)) return 0;
  SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
  SetScrollInfo(hwnd, bar, &si, redraw);
  return old.nPos;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
  return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw) {
  SCROLLINFO probe{sizeof probe, SIF_POS, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(hwnd, bar, &probe)) return FALSE;
  SCROLLINFO si{sizeof si, SIF_RANGE, min, max, 0, 0, 0};
  SetScrollInfo(hwnd, bar, &si, redraw);
  return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max) {
  SCROLLINFO si{sizeof si, SIF_RANGE, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(hwnd, bar, &si)) return FALSE;
  if (min) *min = si.nMin;
  if (max) *max = si.nMax;
  return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  if (!IsWindow(hwnd)) return FALSE;
  if (bar == SB_CTL) {
    ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE);
    return TRUE;
  }
  for (int b : {SB_HORZ, SB_VERT}) {
    if (bar == b || bar == SB_BOTH) SetBarShown(hwnd, b, show != FALSE);
  }
  return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
  {
    auto lock = LockUi();
    Window* w = Find(hwnd);
    if (!w) return FALSE;
    for (int b : {SB_HORZ, SB_VERT, SB_CTL}) {
      if (static_cast<int>(bar) != b && !(bar == SB_BOTH && b != SB_CTL)) continue;
      if (ScrollBarState* s = StateOf(w, b)) s->disabled = arrows == ESB_DISABLE_BOTH;
    }
  }
  Redraw(hwnd, bar == SB_CTL ? SB_CTL : SB_VERT);
  return TRUE;
}
