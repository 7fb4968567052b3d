// Property sheets: a "Dialog"-class window holding pages (child dialogs made
// from our templates) with a tab control ("SysTabControl32") to choose
// between them. A page is made the first time it is shown (WM_INITDIALOG
// then, lParam the page's PROPSHEETPAGEW). Pages hear, through WM_NOTIFY
// from the sheet, PSN_SETACTIVE when shown, PSN_KILLACTIVE when left (a
// non-zero answer in DWLP_MSGRESULT keeps them), PSN_APPLY on OK and
// PSN_RESET on Cancel, each made page in order. The sheet fills the screen;
// its caption carries the OK button and the tab row runs along its bottom.
#pragma once

#include "platform/ui/commctrl/CommCtrl.h"
#include "platform/ui/dialog/Dialog.h"

struct PropSheetPage;  // what the sheet keeps for each page
typedef PropSheetPage* HPROPSHEETPAGE;

struct PROPSHEETPAGEW;
typedef UINT (*LPFNPSPCALLBACKW)(HWND hwnd, UINT message, PROPSHEETPAGEW* page);
typedef int (*PFNPROPSHEETCALLBACK)(HWND hwnd, UINT message, LPARAM lParam);

#define PSP_DEFAULT 0x0000u
#define PSP_DLGINDIRECT 0x0001u
#define PSP_USETITLE 0x0008u
#define PSP_USEREFPARENT 0x0040u
#define PSP_USECALLBACK 0x0080u

#define PSPCB_RELEASE 1u
#define PSPCB_CREATE 2u

struct PROPSHEETPAGEW {
  DWORD dwSize;
  DWORD dwFlags;
  HINSTANCE hInstance;
  union {
    LPCWSTR pszTemplate;
    LPCDLGTEMPLATEW pResource;
  };
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszTitle;
  DLGPROC pfnDlgProc;
  LPARAM lParam;
  LPFNPSPCALLBACKW pfnCallback;
  UINT* pcRefParent;
};
typedef PROPSHEETPAGEW PROPSHEETPAGE;
typedef const PROPSHEETPAGEW* LPCPROPSHEETPAGEW;

#define PSH_DEFAULT 0x0000u
#define PSH_PROPTITLE 0x0001u
#define PSH_USEHICON 0x0002u
#define PSH_USEICONID 0x0004u
#define PSH_PROPSHEETPAGE 0x0008u
#define PSH_NOAPPLYNOW 0x0080u
#define PSH_USEPSTARTPAGE 0x0040u
#define PSH_USECALLBACK 0x0100u
#define PSH_MODELESS 0x0400u

struct PROPSHEETHEADERW {
  DWORD dwSize;
  DWORD dwFlags;
  HWND hwndParent;
  HINSTANCE hInstance;
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszCaption;
  UINT nPages;
  union {
    UINT nStartPage;
    LPCWSTR pStartPage;
  };
  union {
    LPCPROPSHEETPAGEW ppsp;
    HPROPSHEETPAGE* phpage;
  };
  PFNPROPSHEETCALLBACK pfnCallback;
};
typedef PROPSHEETHEADERW PROPSHEETHEADER;
typedef const PROPSHEETHEADERW* LPCPROPSHEETHEADERW;

// The sheet's callback (PSH_USECALLBACK): before the sheet is made (lParam
// its template's DLGTEMPLATE, which the callback may change), once it is
// up, and when it asks for its title (lParam a buffer of
// PROPSHEET_TITLE_CHARS characters holding the caption, to be changed in place).
#define PSCB_INITIALIZED 1u
#define PSCB_PRECREATE 2u
#define PSCB_GETVERSION 3u
#define PSCB_GETTITLE 4u
#define PROPSHEET_TITLE_CHARS 256

#define PSN_FIRST (0u - 200u)
#define PSN_SETACTIVE (PSN_FIRST - 0u)
#define PSN_KILLACTIVE (PSN_FIRST - 1u)
#define PSN_APPLY (PSN_FIRST - 2u)
#define PSN_RESET (PSN_FIRST - 3u)
#define PSN_HELP (PSN_FIRST - 5u)
#define PSN_QUERYCANCEL (PSN_FIRST - 9u)

#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2

struct PSHNOTIFY {
  NMHDR hdr;
  LPARAM lParam;  // PSN_APPLY: TRUE when OK was pressed; PSN_RESET: TRUE when the sheet is closing
};
typedef PSHNOTIFY* LPPSHNOTIFY;

#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_REMOVEPAGE (WM_USER + 102)
#define PSM_ADDPAGE (WM_USER + 103)
#define PSM_CHANGED (WM_USER + 104)
#define PSM_UNCHANGED (WM_USER + 109)
#define PSM_APPLY (WM_USER + 110)
#define PSM_PRESSBUTTON (WM_USER + 112)
#define PSM_GETTABCONTROL (WM_USER + 116)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)
#define PSM_SETTITLEW (WM_USER + 120)
#define PSM_SETTITLE PSM_SETTITLEW
// A modeless sheet's ending code, once PSM_GETCURRENTPAGEHWND answers null.
#define PSM_GETRESULT (WM_USER + 135)

#define PSBTN_OK 3
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5

// The sheet's tab control.
#define IDD_PROPSHEET_TABCTRL 0x3020

#define ID_PSRESTARTWINDOWS 0x2
#define ID_PSREBOOTSYSTEM (ID_PSRESTARTWINDOWS | 0x1)

#define PropSheet_SetCurSel(s, hpage, index) \
  SendMessageW(s, PSM_SETCURSEL, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(hpage))
#define PropSheet_AddPage(s, hpage) SendMessageW(s, PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(hpage))
#define PropSheet_RemovePage(s, index, hpage) \
  SendMessageW(s, PSM_REMOVEPAGE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(hpage))
#define PropSheet_GetTabControl(s) reinterpret_cast<HWND>(SendMessageW(s, PSM_GETTABCONTROL, 0, 0))
#define PropSheet_GetCurrentPageHwnd(s) reinterpret_cast<HWND>(SendMessageW(s, PSM_GETCURRENTPAGEHWND, 0, 0))
#define PropSheet_PressButton(s, button) SendMessageW(s, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0)
#define PropSheet_Changed(s, page) SendMessageW(s, PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0)
#define PropSheet_GetResult(s) SendMessageW(s, PSM_GETRESULT, 0, 0)
#define PropSheet_UnChanged(s, page) SendMessageW(s, PSM_UNCHANGED, reinterpret_cast<WPARAM>(page), 0)

extern "C" {
QV_PLATFORM_API HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page);
// Only for a page never added to a sheet; a sheet destroys its own.
QV_PLATFORM_API BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);
// Modal: 1 when closed with OK, 0 with Cancel, what EndDialog or
// PSM_PRESSBUTTON gave otherwise, -1 when the sheet could not be made.
// Modeless (PSH_MODELESS): the sheet's window.
QV_PLATFORM_API INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header);
}

#define CreatePropertySheetPage CreatePropertySheetPageW
#define PropertySheet PropertySheetW
