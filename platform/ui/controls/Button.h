// The "Button" class: push buttons (the default one drawn apart), check
// boxes, radio buttons and their automatic kinds, group boxes and owner-drawn
// buttons. A click is a press and a release inside the button (or Space);
// it reaches the parent as WM_COMMAND with BN_CLICKED.
#pragma once

#include "platform/ui/window/CommandIds.h"  // BN_CLICKED
#include "platform/ui/window/Window.h"

#define BS_PUSHBUTTON 0x0000u
#define BS_DEFPUSHBUTTON 0x0001u
#define BS_CHECKBOX 0x0002u
#define BS_AUTOCHECKBOX 0x0003u
#define BS_RADIOBUTTON 0x0004u
#define BS_3STATE 0x0005u
#define BS_AUTO3STATE 0x0006u
#define BS_GROUPBOX 0x0007u
#define BS_USERBUTTON 0x0008u
#define BS_AUTORADIOBUTTON 0x0009u
#define BS_OWNERDRAW 0x000Bu
#define BS_TYPEMASK 0x000Fu
#define BS_LEFTTEXT 0x0020u
#define BS_TEXT 0x0000u
#define BS_ICON 0x0040u
#define BS_BITMAP 0x0080u
#define BS_LEFT 0x0100u
#define BS_RIGHT 0x0200u
#define BS_CENTER 0x0300u
#define BS_TOP 0x0400u
#define BS_BOTTOM 0x0800u
#define BS_VCENTER 0x0C00u
#define BS_PUSHLIKE 0x1000u
#define BS_MULTILINE 0x2000u
#define BS_NOTIFY 0x4000u
#define BS_FLAT 0x8000u

#define BST_UNCHECKED 0x0000u
#define BST_CHECKED 0x0001u
#define BST_INDETERMINATE 0x0002u
#define BST_PUSHED 0x0004u
#define BST_FOCUS 0x0008u

#define BM_GETCHECK 0x00F0u
#define BM_SETCHECK 0x00F1u
#define BM_GETSTATE 0x00F2u
#define BM_SETSTATE 0x00F3u
#define BM_SETSTYLE 0x00F4u
#define BM_CLICK 0x00F5u
#define BM_GETIMAGE 0x00F6u
#define BM_SETIMAGE 0x00F7u

// BN_CLICKED (0) comes from CommandIds.h.
#define BN_PAINT 1
#define BN_HILITE 2
#define BN_UNHILITE 3
#define BN_DISABLE 4
#define BN_DOUBLECLICKED 5
#define BN_DBLCLK BN_DOUBLECLICKED
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7

// Owner drawing (WM_DRAWITEM, lParam a DRAWITEMSTRUCT*).
#define ODT_MENU 1
#define ODT_LISTBOX 2
#define ODT_COMBOBOX 3
#define ODT_BUTTON 4
#define ODT_STATIC 5
#define ODA_DRAWENTIRE 0x0001u
#define ODA_SELECT 0x0002u
#define ODA_FOCUS 0x0004u
#define ODS_SELECTED 0x0001u
#define ODS_GRAYED 0x0002u
#define ODS_DISABLED 0x0004u
#define ODS_CHECKED 0x0008u
#define ODS_FOCUS 0x0010u
#define ODS_DEFAULT 0x0020u

struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  ULONG_PTR itemData;
};
typedef DRAWITEMSTRUCT* LPDRAWITEMSTRUCT;

// WM_MEASUREITEM, lParam a MEASUREITEMSTRUCT*: the owner sets itemHeight
// (and itemWidth for a menu item) and answers TRUE.
struct MEASUREITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemWidth;
  UINT itemHeight;
  ULONG_PTR itemData;
};
typedef MEASUREITEMSTRUCT* LPMEASUREITEMSTRUCT;

#define WC_BUTTON L"Button"
