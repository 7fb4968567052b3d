// The soft-key bar: a window of its own along the screen's bottom edge, owned
// by a top-level window and kept over it, whose two buttons the soft keys (VK_TSOFT1, VK_TSOFT2) press. It is made from a
// menu resource: each top-level item is one button; a command item sends
// WM_COMMAND to the bar's owner, a popup item opens its popup above the bar
// (its choice arrives as WM_COMMAND as well). Buttons are enabled, checked and
// relabelled with the toolbar messages; SHCMBM_* reach the bar's menus.
// The bar docks again whenever the screen turns (WM_SETTINGCHANGE) or its
// window moves or sizes; it shows, hides and comes to the front with its
// window. A window that took the whole screen, or the screen above the bar,
// is left the screen above the bar (SHInitDialog sizes full-screen dialogs
// so from the start).
#pragma once

#include "platform/base/WinTypes.h"
#include "platform/ui/WinUser.h"

#define SHCMBF_EMPTYBAR 0x0001u
#define SHCMBF_HIDDEN 0x0002u
#define SHCMBF_HIDESIPBUTTON 0x0004u
#define SHCMBF_COLORBK 0x0008u
#define SHCMBF_HMENU 0x0010u  // nToolBarId names a menu resource

struct SHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the bar
  COLORREF clrBk;
};
typedef SHMENUBARINFO* PSHMENUBARINFO;

// wParam the button's command (a popup's button: its position), lParam the new popup; answers the old one.
#define SHCMBM_SETSUBMENU (WM_USER + 400)
// lParam the button's command (or a popup's position): its popup.
#define SHCMBM_GETSUBMENU (WM_USER + 401)
// The menu the bar was made from.
#define SHCMBM_GETMENU (WM_USER + 402)

#ifndef TB_ENABLEBUTTON
#define TB_ENABLEBUTTON (WM_USER + 1)  // wParam command, LOWORD(lParam) enable
#define TB_CHECKBUTTON (WM_USER + 2)   // wParam command, LOWORD(lParam) check
#define TB_ISBUTTONENABLED (WM_USER + 9)
#define TB_ISBUTTONCHECKED (WM_USER + 10)
#define TB_BUTTONCOUNT (WM_USER + 24)
#define TB_GETBUTTONINFOW (WM_USER + 63)  // wParam command (or index with TBIF_BYINDEX); the index, or -1
#define TB_SETBUTTONINFOW (WM_USER + 64)  // TRUE when done

#define TBSTATE_CHECKED 0x01
#define TBSTATE_PRESSED 0x02
#define TBSTATE_ENABLED 0x04
#define TBSTATE_HIDDEN 0x08

#define TBIF_IMAGE 0x00000001u
#define TBIF_TEXT 0x00000002u
#define TBIF_STATE 0x00000004u
#define TBIF_STYLE 0x00000008u
#define TBIF_LPARAM 0x00000010u
#define TBIF_COMMAND 0x00000020u
#define TBIF_SIZE 0x00000040u
#define TBIF_BYINDEX 0x80000000u

struct TBBUTTONINFOW {
  UINT cbSize;
  DWORD dwMask;
  int idCommand;
  int iImage;
  BYTE fsState;
  BYTE fsStyle;
  WORD cx;
  DWORD_PTR lParam;
  LPWSTR pszText;
  int cchText;
};
typedef TBBUTTONINFOW* LPTBBUTTONINFOW;
#endif

namespace qv::shell {
// The bar's window: a pop-up owned by its top-level window, with this style.
constexpr DWORD kMenuBarStyle = 0x90002800u;
constexpr const wchar_t* kMenuBarClass = L"MenuBar";
// The bar's height in pixels at the device's 192 dpi.
constexpr int kMenuBarHeight = 52;
}  // namespace qv::shell

extern "C" {
// Makes the bar of the parent's top-level window, replacing the one it had.
QV_PLATFORM_API BOOL SHCreateMenuBar(PSHMENUBARINFO info);
// The bar of the window's top-level window, or null.
QV_PLATFORM_API HWND SHFindMenuBar(HWND hwnd);
}

namespace qv::shell {
// The soft keys: a VK_TSOFT1/VK_TSOFT2 press or release for a window whose
// top-level window has a bar presses that bar's button; TRUE when taken. The
// program's message filter (PreTranslateMessage) calls it for every message.
QV_PLATFORM_API BOOL TranslateSoftKey(const MSG* msg);
// Sizes a full-screen dialog to the screen above the bar's strip, now and
// whenever the screen turns, bar or no bar (SHInitDialog's full-screen sizes).
void KeepAboveBar(HWND dialog);
}  // namespace qv::shell
