// Vertical scrolling of a window's children, shared by the scroll dialog,
// the scroll page and the few other windows taller than the screen. The
// offset is where the contents' top lies now, relative to where it was
// laid out (0, or negative once scrolled down).
#pragma once

#include "app/protocol/Commands.h"
#include "platform/framework/CWnd.h"

// Scroll steps in pixels.
constexpr int kScrollLine = 10;
constexpr int kScrollPage = 30;
constexpr int kWheelLines = 3;

// The focus window's screen rectangle; false when `window` has no handle or
// the focus lies outside it.
bool GetFocusedChildRect(HWND window, RECT* rect);
// Posts the SB_THUMBTRACK scroll that brings `screenRect` into the client
// area (top and bottom shifts added, so a rectangle taller than the client
// is aligned by both); nothing when it is already in.
void EnsureRectVisible(HWND window, const RECT& screenRect);
void ScrollChildren(HWND window, int dy);
// Sets the bar's range from the children's extent plus `margin` below, first
// pulling scrolled-up contents down when they leave empty room at the bottom.
void UpdateScrollRangeFromChildren(int& offset, HWND window, int margin);
// Moves the contents for one WM_VSCROLL code; `position` is the thumb's.
void ScrollByVScrollCode(int& offset, HWND window, int code, int position);
// Turns WM_MOUSEWHEEL into a WM_VSCROLL thumb move of kWheelLines × step.
void TranslateMouseWheel(const MSG* msg, HWND window, int step);
