// The "ComboBox" class in its drop-down list kind (CBS_DROPDOWNLIST): a field
// showing the chosen line and a list that drops below it in a popup window of
// its own ("ComboLBox"). The parent hears CBN_DROPDOWN before the list shows
// (it may close it again at once with CB_SHOWDROPDOWN and drop something of
// its own instead), CBN_SELCHANGE as the user moves through the lines, then
// CBN_SELENDOK for a choice or CBN_SELENDCANCEL when the user backs out, and
// CBN_CLOSEUP once the list is gone. CB_SETCURSEL notifies nobody.
#pragma once

#include "platform/ui/controls/ListBox.h"

#define CBS_SIMPLE 0x0001u
#define CBS_DROPDOWN 0x0002u
#define CBS_DROPDOWNLIST 0x0003u
#define CBS_OWNERDRAWFIXED 0x0010u
#define CBS_AUTOHSCROLL 0x0040u
#define CBS_OEMCONVERT 0x0080u
#define CBS_SORT 0x0100u
#define CBS_HASSTRINGS 0x0200u
#define CBS_NOINTEGRALHEIGHT 0x0400u
#define CBS_DISABLENOSCROLL 0x0800u

#define CB_ADDSTRING 0x0143u
#define CB_DELETESTRING 0x0144u
#define CB_GETCOUNT 0x0146u
#define CB_GETCURSEL 0x0147u
#define CB_GETLBTEXT 0x0148u
#define CB_GETLBTEXTLEN 0x0149u
#define CB_INSERTSTRING 0x014Au
#define CB_RESETCONTENT 0x014Bu
#define CB_FINDSTRING 0x014Cu
#define CB_SELECTSTRING 0x014Du
#define CB_SETCURSEL 0x014Eu
#define CB_SHOWDROPDOWN 0x014Fu
#define CB_GETITEMDATA 0x0150u
#define CB_SETITEMDATA 0x0151u
#define CB_GETDROPPEDCONTROLRECT 0x0152u
#define CB_SETITEMHEIGHT 0x0153u
#define CB_GETITEMHEIGHT 0x0154u
#define CB_SETEXTENDEDUI 0x0155u
#define CB_GETEXTENDEDUI 0x0156u
#define CB_GETDROPPEDSTATE 0x0157u
#define CB_FINDSTRINGEXACT 0x0158u
#define CB_GETTOPINDEX 0x015Bu
#define CB_SETTOPINDEX 0x015Cu
#define CB_GETDROPPEDWIDTH 0x015Fu
#define CB_SETDROPPEDWIDTH 0x0160u

#define CB_OKAY 0
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)

#define CBN_ERRSPACE (-1)
#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_EDITCHANGE 5
#define CBN_EDITUPDATE 6
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define CBN_SELENDOK 9
#define CBN_SELENDCANCEL 10

#define WC_COMBOBOX L"ComboBox"
#define WC_COMBOLBOX L"ComboLBox"
