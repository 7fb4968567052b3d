// Windows: classes and their procedures, the window tree (parent, owner,
// z-order), rectangles, text, window longs, enumeration and look-up.
//
// A window belongs to the thread that made it; its procedure runs only on
// that thread. A top-level window is also listed in the device's table of
// windows, where another process can find it and post integer messages to
// it (FindWindowW, PostMessageW); nothing else about it leaves the process.
#pragma once

#include "platform/gdi/GdiTypes.h"
#include "platform/ui/window/Messages.h"

typedef struct HMENU__* HMENU;
typedef WORD ATOM;
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);

// Window styles.
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_MAXIMIZE 0x01000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_THICKFRAME 0x00040000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u
#define WS_CHILDWINDOW WS_CHILD
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)

// A window's own scroll bars (WS_HSCROLL, WS_VSCROLL) and the scroll bar control.
#define SB_HORZ 0
#define SB_VERT 1
#define SB_CTL 2
#define SB_BOTH 3

#define WS_EX_DLGMODALFRAME 0x00000001u
#define WS_EX_NOPARENTNOTIFY 0x00000004u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TRANSPARENT 0x00000020u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_WINDOWEDGE 0x00000100u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_CONTEXTHELP 0x00000400u
#define WS_EX_CONTROLPARENT 0x00010000u
#define WS_EX_STATICEDGE 0x00020000u
#define WS_EX_APPWINDOW 0x00040000u
#define WS_EX_OVERLAPPEDWINDOW (WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE)
#define WS_EX_CAPTIONOKBTN 0x80000000u
#define WS_EX_NODRAG 0x40000000u
#define WS_EX_ABOVESTARTUP 0x20000000u
#define WS_EX_INK 0x10000000u
#define WS_EX_NOANIMATION 0x04000000u

// Class styles.
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_PARENTDC 0x0080u
#define CS_NOCLOSE 0x0200u
#define CS_GLOBALCLASS 0x4000u
#define CS_IME 0x00010000u

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

// Window longs.
#define GWL_WNDPROC (-4)
#define GWL_HINSTANCE (-6)
#define GWL_HWNDPARENT (-8)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWL_ID (-12)
// Class longs.
#define GCL_MENUNAME (-8)
#define GCL_HBRBACKGROUND (-10)
#define GCL_HCURSOR (-12)
#define GCL_HICON (-14)
#define GCL_HMODULE (-16)
#define GCL_CBWNDEXTRA (-18)
#define GCL_CBCLSEXTRA (-20)
#define GCL_WNDPROC (-24)
#define GCL_STYLE (-26)

// GetWindow
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5
// GetAncestor
#define GA_PARENT 1
#define GA_ROOT 2
#define GA_ROOTOWNER 3

// ShowWindow
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// SetWindowPos
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_FRAMECHANGED 0x0020u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define SWP_NOCOPYBITS 0x0100u
#define SWP_NOOWNERZORDER 0x0200u
#define SWP_NOSENDCHANGING 0x0400u
#define SWP_DRAWFRAME SWP_FRAMECHANGED
#define SWP_NOREPOSITION SWP_NOOWNERZORDER
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))
#define HWND_BROADCAST (reinterpret_cast<HWND>(0xFFFF))
#define HWND_MESSAGE (reinterpret_cast<HWND>(-3))

// Last-error codes of the window calls.
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_INVALID_MENU_HANDLE 1401L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_WINDOW_OF_OTHER_THREAD 1408L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#define ERROR_CLASS_HAS_WINDOWS 1412L
#define ERROR_INVALID_INDEX 1413L
#define ERROR_TLW_WITH_WSCHILD 1406L
#define ERROR_NOT_CHILD_WINDOW 1442L
#define ERROR_INVALID_THREAD_ID 1444L
#define ERROR_MESSAGE_SYNC_ONLY 1159L

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};
typedef WNDCLASSW* LPWNDCLASSW;

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};
typedef CREATESTRUCTW* LPCREATESTRUCTW;

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
};
typedef WINDOWPOS* LPWINDOWPOS;

struct STYLESTRUCT {
  DWORD styleOld;
  DWORD styleNew;
};

#define MAKEINTATOM(i) (reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))

extern "C" {

// Classes. Names compare without regard to case; an atom may stand for a name.
QV_PLATFORM_API ATOM RegisterClassW(const WNDCLASSW* wc);
QV_PLATFORM_API BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
QV_PLATFORM_API BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, LPWNDCLASSW out);
QV_PLATFORM_API int GetClassNameW(HWND hwnd, LPWSTR out, int size);
QV_PLATFORM_API DWORD GetClassLongW(HWND hwnd, int index);
QV_PLATFORM_API DWORD SetClassLongW(HWND hwnd, int index, LONG value);

// Life of a window. WM_CREATE reaches the window before CreateWindowExW returns.
QV_PLATFORM_API HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                     LPVOID param);
QV_PLATFORM_API BOOL DestroyWindow(HWND hwnd);
QV_PLATFORM_API BOOL IsWindow(HWND hwnd);
QV_PLATFORM_API BOOL IsWindowVisible(HWND hwnd);
QV_PLATFORM_API BOOL IsChild(HWND parent, HWND hwnd);

// Procedures and subclassing.
QV_PLATFORM_API LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
QV_PLATFORM_API LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Longs: the documented GWL_ indexes, or a byte offset into the class's
// cbWndExtra bytes.
QV_PLATFORM_API LONG_PTR GetWindowLongW(HWND hwnd, int index);
QV_PLATFORM_API LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value);

// Tree and z-order.
QV_PLATFORM_API HWND GetParent(HWND hwnd);
QV_PLATFORM_API HWND SetParent(HWND hwnd, HWND parent);
QV_PLATFORM_API HWND GetWindow(HWND hwnd, UINT relation);
QV_PLATFORM_API HWND GetAncestor(HWND hwnd, UINT flags);
QV_PLATFORM_API HWND GetDesktopWindow();
QV_PLATFORM_API HWND GetDlgItem(HWND parent, int id);
QV_PLATFORM_API int GetDlgCtrlID(HWND hwnd);
QV_PLATFORM_API BOOL EnumWindows(WNDENUMPROC proc, LPARAM param);
QV_PLATFORM_API BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param);
// Finds a top-level window of this process or, through the device's table,
// of another one. Either argument may be null.
QV_PLATFORM_API HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
QV_PLATFORM_API DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
// The program file of the process that made the window, for a window of any
// process on the device (as a device path when the file lies below the
// device root); 0 for a window that is gone.
QV_PLATFORM_API UINT GetWindowModuleFileNameW(HWND hwnd, LPWSTR out, UINT size);

// Showing, placing, rectangles.
QV_PLATFORM_API BOOL ShowWindow(HWND hwnd, int command);
QV_PLATFORM_API BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
QV_PLATFORM_API BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
QV_PLATFORM_API BOOL BringWindowToTop(HWND hwnd);
QV_PLATFORM_API BOOL GetWindowRect(HWND hwnd, RECT* rect);
QV_PLATFORM_API BOOL GetClientRect(HWND hwnd, RECT* rect);
QV_PLATFORM_API BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
QV_PLATFORM_API BOOL ClientToScreen(HWND hwnd, POINT* point);
QV_PLATFORM_API BOOL ScreenToClient(HWND hwnd, POINT* point);
QV_PLATFORM_API int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
QV_PLATFORM_API HWND WindowFromPoint(POINT point);
QV_PLATFORM_API HWND ChildWindowFromPoint(HWND parent, POINT point);

// Text.
QV_PLATFORM_API BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
QV_PLATFORM_API int GetWindowTextW(HWND hwnd, LPWSTR out, int size);
QV_PLATFORM_API int GetWindowTextLengthW(HWND hwnd);

}  // extern "C"

#define CreateWindowW(cls, name, style, x, y, w, h, parent, menu, instance, param) \
  CreateWindowExW(0, cls, name, style, x, y, w, h, parent, menu, instance, param)
