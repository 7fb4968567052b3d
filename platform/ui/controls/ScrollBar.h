// Scroll bars: the ones a window gets with WS_HSCROLL and WS_VSCROLL (drawn
// in its frame) and the "ScrollBar" control (SB_CTL). A bar only keeps
// values and reports taps and drags as WM_HSCROLL / WM_VSCROLL codes; the
// window moves its content itself (ScrollWindowEx).
//
// A window's bar that its values make unnecessary (range no larger than a
// page) is taken away, its client growing, unless SIF_DISABLENOSCROLL asks
// to keep it shown and disabled; values that need it bring it back.
#pragma once

#include "platform/ui/window/Window.h"

// SB_HORZ, SB_VERT, SB_CTL and SB_BOTH come with the window styles (Window.h).

#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGELEFT 2
#define SB_PAGEDOWN 3
#define SB_PAGERIGHT 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_LEFT 6
#define SB_BOTTOM 7
#define SB_RIGHT 7
#define SB_ENDSCROLL 8

#define SIF_RANGE 0x0001u
#define SIF_PAGE 0x0002u
#define SIF_POS 0x0004u
#define SIF_DISABLENOSCROLL 0x0008u
#define SIF_TRACKPOS 0x0010u
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)

#define SBS_HORZ 0x0000u
#define SBS_VERT 0x0001u

#define ESB_ENABLE_BOTH 0x0000u
#define ESB_DISABLE_BOTH 0x0003u

// WM_MOUSEWHEEL: HIWORD(wParam) is the turn, in steps of WHEEL_DELTA.
#define WHEEL_DELTA 120
#define GET_WHEEL_DELTA_WPARAM(w) (static_cast<short>(HIWORD(w)))

struct SCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
};
typedef SCROLLINFO* LPSCROLLINFO;
typedef const SCROLLINFO* LPCSCROLLINFO;

#define WC_SCROLLBAR L"ScrollBar"

extern "C" {

// The page is kept within the range's size and the position within
// [nMin, nMax - max(nPage, 1) + 1]; returns the position kept.
QV_PLATFORM_API int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw);
QV_PLATFORM_API BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info);
QV_PLATFORM_API int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
QV_PLATFORM_API int GetScrollPos(HWND hwnd, int bar);
QV_PLATFORM_API BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw);
QV_PLATFORM_API BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max);
QV_PLATFORM_API BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
QV_PLATFORM_API BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows);

}  // extern "C"
