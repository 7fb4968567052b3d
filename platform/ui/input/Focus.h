// Keyboard focus, activation, the foreground window, mouse capture and
// enabling. Focus, the active window and capture belong to a thread; the
// foreground window is the active window of the thread the user works with.
#pragma once

#include "platform/ui/window/Window.h"

extern "C" {

// WM_KILLFOCUS (wParam = the new focus) reaches the old window before
// WM_SETFOCUS (wParam = the old focus) reaches the new one.
QV_PLATFORM_API HWND SetFocus(HWND hwnd);
QV_PLATFORM_API HWND GetFocus();
QV_PLATFORM_API HWND SetActiveWindow(HWND hwnd);
QV_PLATFORM_API HWND GetActiveWindow();
QV_PLATFORM_API BOOL SetForegroundWindow(HWND hwnd);
QV_PLATFORM_API HWND GetForegroundWindow();
// WM_CAPTURECHANGED (lParam = the new capture) tells the old window it lost it.
QV_PLATFORM_API HWND SetCapture(HWND hwnd);
QV_PLATFORM_API BOOL ReleaseCapture();
QV_PLATFORM_API HWND GetCapture();
// Sends WM_CANCELMODE (disabling) and WM_ENABLE when the state changes; a
// disabled window and its children get no input.
QV_PLATFORM_API BOOL EnableWindow(HWND hwnd, BOOL enable);
QV_PLATFORM_API BOOL IsWindowEnabled(HWND hwnd);

}  // extern "C"
