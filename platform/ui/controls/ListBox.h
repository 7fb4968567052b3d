// The "ListBox" class: a list of text lines, each with a data word, one of
// them selected. With LBS_NOTIFY the parent hears LBN_SELCHANGE when the
// user changes the selection (never for LB_SETCURSEL) and LBN_DBLCLK on a
// double tap. The combo box keeps its lines in one of these ("ComboLBox").
#pragma once

#include "platform/ui/window/Window.h"

#define LBS_NOTIFY 0x0001u
#define LBS_SORT 0x0002u
#define LBS_NOREDRAW 0x0004u
#define LBS_MULTIPLESEL 0x0008u
#define LBS_OWNERDRAWFIXED 0x0010u
#define LBS_HASSTRINGS 0x0040u
#define LBS_USETABSTOPS 0x0080u
#define LBS_NOINTEGRALHEIGHT 0x0100u
#define LBS_WANTKEYBOARDINPUT 0x0400u
#define LBS_DISABLENOSCROLL 0x1000u
#define LBS_NOSEL 0x4000u
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)

#define LB_ADDSTRING 0x0180u
#define LB_INSERTSTRING 0x0181u
#define LB_DELETESTRING 0x0182u
#define LB_RESETCONTENT 0x0184u
#define LB_SETSEL 0x0185u
#define LB_SETCURSEL 0x0186u
#define LB_GETSEL 0x0187u
#define LB_GETCURSEL 0x0188u
#define LB_GETTEXT 0x0189u
#define LB_GETTEXTLEN 0x018Au
#define LB_GETCOUNT 0x018Bu
#define LB_SELECTSTRING 0x018Cu
#define LB_GETTOPINDEX 0x018Eu
#define LB_FINDSTRING 0x018Fu
#define LB_GETHORIZONTALEXTENT 0x0193u
#define LB_SETHORIZONTALEXTENT 0x0194u
#define LB_SETTOPINDEX 0x0197u
#define LB_GETITEMRECT 0x0198u
#define LB_GETITEMDATA 0x0199u
#define LB_SETITEMDATA 0x019Au
#define LB_SETCARETINDEX 0x019Eu
#define LB_GETCARETINDEX 0x019Fu
#define LB_SETITEMHEIGHT 0x01A0u
#define LB_GETITEMHEIGHT 0x01A1u
#define LB_FINDSTRINGEXACT 0x01A2u
#define LB_ITEMFROMPOINT 0x01A9u

#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)

#define LBN_ERRSPACE (-2)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define LBN_SELCANCEL 3
#define LBN_SETFOCUS 4
#define LBN_KILLFOCUS 5

#define WC_LISTBOX L"ListBox"
