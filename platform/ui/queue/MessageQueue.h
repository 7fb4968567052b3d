// Messages. Every thread that makes a window or asks for messages has one
// queue. Sent messages to a window of the calling thread are direct calls;
// sent to another thread's window, the sender blocks until that thread
// serves them, which it does whenever it is blocked anywhere in the platform
// (message waits, kernel waits, Sleep, modal loops) or asks for messages.
// Retrieval order: sent, posted, input, WM_QUIT, WM_PAINT, WM_TIMER.
#pragma once

#include "platform/ui/window/Window.h"

#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
#define PM_NOYIELD 0x0002u

#define QS_KEY 0x0001u
#define QS_MOUSEMOVE 0x0002u
#define QS_MOUSEBUTTON 0x0004u
#define QS_POSTMESSAGE 0x0008u
#define QS_TIMER 0x0010u
#define QS_PAINT 0x0020u
#define QS_SENDMESSAGE 0x0040u
#define QS_MOUSE (QS_MOUSEMOVE | QS_MOUSEBUTTON)
#define QS_INPUT (QS_MOUSE | QS_KEY)
#define QS_ALLINPUT (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_SENDMESSAGE)

typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

extern "C" {

QV_PLATFORM_API BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
QV_PLATFORM_API LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Sends without waiting for the answer when the window is another thread's.
QV_PLATFORM_API BOOL SendNotifyMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
QV_PLATFORM_API BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
QV_PLATFORM_API void PostQuitMessage(int exitCode);
// hwnd filter: null for every message of the thread, (HWND)-1 for thread
// messages only, else that window's; 0, 0 for every message number.
QV_PLATFORM_API BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove);
// FALSE on WM_QUIT, -1 on a bad window filter.
QV_PLATFORM_API BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT first, UINT last);
QV_PLATFORM_API BOOL WaitMessage();
QV_PLATFORM_API BOOL TranslateMessage(const MSG* msg);
QV_PLATFORM_API LRESULT DispatchMessageW(const MSG* msg);
QV_PLATFORM_API BOOL InSendMessage();
QV_PLATFORM_API DWORD GetMessagePos();
QV_PLATFORM_API LONG GetMessageTime();
// A message number shared by every process that registers the same name.
QV_PLATFORM_API UINT RegisterWindowMessageW(LPCWSTR name);

// Timers run on the UI clock (production: the tick count; tests advance it).
// At most one WM_TIMER of a timer waits at a time.
QV_PLATFORM_API UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
QV_PLATFORM_API BOOL KillTimer(HWND hwnd, UINT_PTR id);

}  // extern "C"
