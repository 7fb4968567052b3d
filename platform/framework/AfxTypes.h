// The framework's basic vocabulary: text types, the command and reflection
// codes of its message routing, the records that travel with them, and
// the few window-system values the framework needs before the window
// system's own controls define them.
#pragma once

#include <cassert>

#include "platform/ui/WinUser.h"

#ifndef _T
typedef WCHAR TCHAR;
typedef LPWSTR LPTSTR;
typedef LPCWSTR LPCTSTR;
#define _T(x) L##x
#endif
#ifndef TEXT
#define TEXT(x) L##x
#endif
#ifndef MAKEINTRESOURCE
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#endif

#define afx_msg
#define AFXAPI
#define PASCAL

#define ASSERT(e) assert(e)
#define VERIFY(e) (static_cast<void>(e))
#define ASSERT_VALID(p) assert((p) != nullptr)
#define TRACE(...) (static_cast<void>(0))

// A position in a list or map: an opaque cursor.
struct __POSITION {};
typedef __POSITION* POSITION;

// Codes of the command routing (OnCmdMsg's nCode).
#define CN_COMMAND 0
#define CN_UPDATE_COMMAND_UI (-1)
// Command ids as the framework tells them from control ids.
#define IS_COMMAND_ID(nID) (((nID) & 0x8000u) != 0)

// Framework-private messages.
#define WM_CTLCOLOR 0x0019u         // every WM_CTLCOLORxxx, in message maps
#define WM_REFLECT_BASE 0xBC00u     // a notification reflected back to its control
#define WM_IDLEUPDATECMDUI 0x0363u  // wParam: disable items without a handler
#define WM_KICKIDLE 0x036Au         // a modal loop's idle turn

// The edit control's messages the data exchange uses.
#ifndef EM_SETSEL
#define EM_SETSEL 0x00B1u
#define EM_LIMITTEXT 0x00C5u
#endif

// The head of every WM_NOTIFY and the shared notification codes come with
// the window system's common controls (platform/ui/CommCtrl.h).

// What a reflected or routed WM_NOTIFY carries to its handler.
struct AFX_NOTIFY {
  LRESULT* pResult;
  NMHDR* pNMHDR;
};

// What a WM_CTLCOLORxxx carries through the maps.
struct AFX_CTLCOLOR {
  HWND hWnd;
  HDC hDC;
  UINT nCtlType;
};

#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6
