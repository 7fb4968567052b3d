// Keys. GetKeyState answers as of the key messages the thread has taken from
// its queue so far; GetAsyncKeyState as of the keys pressed so far.
// keybd_event and mouse_event inject input as the device's keys and stylus do.
#pragma once

#include <string_view>

#include "platform/ui/window/Window.h"

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_CANCEL 0x03
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_CLEAR 0x0C
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_KANA 0x15
#define VK_KANJI 0x19
#define VK_ESCAPE 0x1B
#define VK_CONVERT 0x1C
#define VK_NONCONVERT 0x1D
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SELECT 0x29
#define VK_PRINT 0x2A
#define VK_EXECUTE 0x2B
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_HELP 0x2F
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SEPARATOR 0x6C
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F2 0x71
#define VK_F3 0x72
#define VK_F4 0x73
#define VK_F5 0x74
#define VK_F6 0x75
#define VK_F7 0x76
#define VK_F8 0x77
#define VK_F9 0x78
#define VK_F10 0x79
#define VK_F11 0x7A
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
// The device's soft keys and its action (Enter) key.
#define VK_TSOFT1 VK_F1
#define VK_TSOFT2 VK_F2
#define VK_TTALK VK_F3
#define VK_TEND VK_F4
#define VK_TBACK VK_ESCAPE
#define VK_TACTION VK_RETURN
#define VK_TUP VK_UP
#define VK_TDOWN VK_DOWN
#define VK_TLEFT VK_LEFT
#define VK_TRIGHT VK_RIGHT

#define KEYEVENTF_EXTENDEDKEY 0x0001u
#define KEYEVENTF_KEYUP 0x0002u
#define KEYEVENTF_SILENT 0x0004u

#define MOUSEEVENTF_MOVE 0x0001u
#define MOUSEEVENTF_LEFTDOWN 0x0002u
#define MOUSEEVENTF_LEFTUP 0x0004u
#define MOUSEEVENTF_RIGHTDOWN 0x0008u
#define MOUSEEVENTF_RIGHTUP 0x0010u
#define MOUSEEVENTF_WHEEL 0x0800u
#define MOUSEEVENTF_ABSOLUTE 0x8000u

// The stylus's tap-and-hold, as a right click gives it on the desktop.
#ifndef WM_CONTEXTMENU
#define WM_CONTEXTMENU 0x007Bu
#endif

extern "C" {

// Negative while the key is down; bit 0 toggles with each press.
QV_PLATFORM_API SHORT GetKeyState(int virtualKey);
// Negative while the key is down now; bit 0 when it was pressed since the last call.
QV_PLATFORM_API SHORT GetAsyncKeyState(int virtualKey);
QV_PLATFORM_API BOOL GetKeyboardState(BYTE* state);
QV_PLATFORM_API void keybd_event(BYTE virtualKey, BYTE scan, DWORD flags, ULONG_PTR extra);
// Absolute positions are screen pixels here (the device has no mickeys).
// MOUSEEVENTF_WHEEL turns the wheel by `data` (WHEEL_DELTA a step, positive
// away from the user) over the window under the pointer.
QV_PLATFORM_API void mouse_event(DWORD flags, DWORD x, DWORD y, DWORD data, ULONG_PTR extra);
// Two presses on one CS_DBLCLKS window within this many milliseconds (on the
// UI clock) and SM_CXDOUBLECLK x SM_CYDOUBLECLK pixels make the second a
// WM_LBUTTONDBLCLK.
QV_PLATFORM_API UINT GetDoubleClickTime();

}  // extern "C"

namespace qv::ui {

// Queues a message in line with injected keys and taps: characters and
// composition (WM_CHAR, WM_IME_*) for the focus of the foreground thread,
// WM_CONTEXTMENU for the window under the stylus (or the capture), which
// receives it with its own handle as wParam. The display's text input and
// tap-and-hold come this way. `text` is the composition (or its result) that
// a WM_IME_COMPOSITION carries into the thread's input context.
QV_PLATFORM_API void InjectInputMessage(UINT message, WPARAM wParam, LPARAM lParam, std::wstring_view text = {});
// The stylus's press now down gets its tap-and-hold from a gesture
// recognizer (SHRecognizeGesture) alone: a WM_CONTEXTMENU injected for it is
// dropped. The next press is the display's again.
QV_PLATFORM_API void ClaimStylusHold();

}  // namespace qv::ui
