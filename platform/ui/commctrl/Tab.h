// The "SysTabControl32" class: a row of tabs, one of them chosen. A tap on a
// tab or the Left and Right keys choose another: the parent hears
// TCN_SELCHANGING first (TRUE keeps the tab it has) and TCN_SELCHANGE after.
// TCM_SETCURSEL chooses without telling the parent.
#pragma once

#include "platform/ui/commctrl/CommCtrl.h"

#define WC_TABCONTROLW L"SysTabControl32"
#define WC_TABCONTROL WC_TABCONTROLW

#define TCS_BOTTOM 0x0002u
#define TCS_FIXEDWIDTH 0x0400u
#define TCS_FOCUSNEVER 0x8000u

#define TCIF_TEXT 0x0001u
#define TCIF_IMAGE 0x0002u
#define TCIF_PARAM 0x0008u
#define TCIF_STATE 0x0010u

#define TCM_FIRST 0x1300u
#define TCM_GETITEMCOUNT (TCM_FIRST + 4u)
#define TCM_DELETEITEM (TCM_FIRST + 8u)
#define TCM_DELETEALLITEMS (TCM_FIRST + 9u)
#define TCM_GETITEMRECT (TCM_FIRST + 10u)
#define TCM_GETCURSEL (TCM_FIRST + 11u)
#define TCM_SETCURSEL (TCM_FIRST + 12u)
#define TCM_HITTEST (TCM_FIRST + 13u)
#define TCM_ADJUSTRECT (TCM_FIRST + 40u)
#define TCM_GETITEMW (TCM_FIRST + 60u)
#define TCM_SETITEMW (TCM_FIRST + 61u)
#define TCM_INSERTITEMW (TCM_FIRST + 62u)
#define TCM_GETITEM TCM_GETITEMW
#define TCM_SETITEM TCM_SETITEMW
#define TCM_INSERTITEM TCM_INSERTITEMW

#define TCN_FIRST (0u - 550u)
#define TCN_KEYDOWN (TCN_FIRST - 0u)
#define TCN_SELCHANGE (TCN_FIRST - 1u)
#define TCN_SELCHANGING (TCN_FIRST - 2u)

#define TCHT_NOWHERE 0x0001u
#define TCHT_ONITEMICON 0x0002u
#define TCHT_ONITEMLABEL 0x0004u
#define TCHT_ONITEM (TCHT_ONITEMICON | TCHT_ONITEMLABEL)

struct TCITEMW {
  UINT mask;
  DWORD dwState;
  DWORD dwStateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};
typedef TCITEMW TCITEM;
typedef TCITEMW* LPTCITEMW;

struct TCHITTESTINFO {
  POINT pt;
  UINT flags;
};
typedef TCHITTESTINFO* LPTCHITTESTINFO;

struct NMTCKEYDOWN {
  NMHDR hdr;
  WORD wVKey;
  UINT flags;
};

namespace qv::ui {
LRESULT TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Sent by a tab control to its parent when it is shown (wParam TRUE) or
// hidden, so that a property sheet gives its pages the room.
constexpr UINT kTabRowShown = 0x0170u;
}  // namespace qv::ui
