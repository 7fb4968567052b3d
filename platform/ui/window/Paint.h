// Painting. Each window keeps an update rectangle that invalidations widen
// and BeginPaint empties; WM_PAINT is made when a thread's queue holds
// nothing else but timers, and a window whose drawing is turned off with
// WM_SETREDRAW collects nothing until it is turned on and invalidated again.
// Paint and window DCs draw on the window's part of the screen surface.
#pragma once

#include "platform/ui/window/Window.h"

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

// RedrawWindow
#define RDW_INVALIDATE 0x0001u
#define RDW_INTERNALPAINT 0x0002u
#define RDW_ERASE 0x0004u
#define RDW_VALIDATE 0x0008u
#define RDW_NOINTERNALPAINT 0x0010u
#define RDW_NOERASE 0x0020u
#define RDW_NOCHILDREN 0x0040u
#define RDW_ALLCHILDREN 0x0080u
#define RDW_UPDATENOW 0x0100u
#define RDW_ERASENOW 0x0200u

extern "C" {

QV_PLATFORM_API BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
QV_PLATFORM_API BOOL ValidateRect(HWND hwnd, const RECT* rect);
QV_PLATFORM_API BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
QV_PLATFORM_API BOOL RedrawWindow(HWND hwnd, const RECT* rect, void* region, UINT flags);
QV_PLATFORM_API BOOL UpdateWindow(HWND hwnd);
QV_PLATFORM_API HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint);
QV_PLATFORM_API BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
QV_PLATFORM_API HDC GetDC(HWND hwnd);
QV_PLATFORM_API HDC GetWindowDC(HWND hwnd);
QV_PLATFORM_API int ReleaseDC(HWND hwnd, HDC dc);

}  // extern "C"

// ScrollWindowEx
#define SW_SCROLLCHILDREN 0x0001u
#define SW_INVALIDATE 0x0002u
#define SW_ERASE 0x0004u

extern "C" {

// Moves the pixels of `scroll` (the client when null) by dx, dy, never
// changing any outside `clip`; what the move uncovers is the update area
// (*update, and added to the window's update rectangle with SW_INVALIDATE).
// SW_SCROLLCHILDREN moves the children lying in `scroll` along. When some
// window lies over the area, nothing is moved and all of it is to paint.
// Returns NULLREGION, SIMPLEREGION or COMPLEXREGION (an L-shaped area,
// reported as its bounding rectangle), ERROR for a bad window.
QV_PLATFORM_API int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, void* region,
                                   RECT* update, UINT flags);
// As ScrollWindowEx with SW_INVALIDATE | SW_ERASE, moving the children when
// the whole client scrolls.
QV_PLATFORM_API BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip);

}  // extern "C"
