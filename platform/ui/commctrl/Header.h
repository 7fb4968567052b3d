// The "SysHeader32" class: a row of column titles. A tap on a title clicks
// it (HDS_BUTTONS); a press on the divider at a title's right edge tracks
// its width, which the parent may refuse by answering HDN_BEGINTRACK with
// TRUE. Every notification reaches the parent as WM_NOTIFY.
#pragma once

#include "platform/ui/commctrl/CommCtrl.h"

#define WC_HEADERW L"SysHeader32"
#define WC_HEADER WC_HEADERW

#define HDS_HORZ 0x0000u
#define HDS_BUTTONS 0x0002u
#define HDS_HOTTRACK 0x0004u
#define HDS_HIDDEN 0x0008u
#define HDS_DRAGDROP 0x0040u
#define HDS_FULLDRAG 0x0080u

#define HDI_WIDTH 0x0001u
#define HDI_HEIGHT HDI_WIDTH
#define HDI_TEXT 0x0002u
#define HDI_FORMAT 0x0004u
#define HDI_LPARAM 0x0008u
#define HDI_BITMAP 0x0010u
#define HDI_IMAGE 0x0020u
#define HDI_DI_SETITEM 0x0040u
#define HDI_ORDER 0x0080u

#define HDF_LEFT 0x0000
#define HDF_RIGHT 0x0001
#define HDF_CENTER 0x0002
#define HDF_JUSTIFYMASK 0x0003
#define HDF_RTLREADING 0x0004
#define HDF_SORTDOWN 0x0200
#define HDF_SORTUP 0x0400
#define HDF_IMAGE 0x0800
#define HDF_BITMAP_ON_RIGHT 0x1000
#define HDF_BITMAP 0x2000
#define HDF_STRING 0x4000
#define HDF_OWNERDRAW 0x8000

#define HHT_NOWHERE 0x0001u
#define HHT_ONHEADER 0x0002u
#define HHT_ONDIVIDER 0x0004u
#define HHT_ONDIVOPEN 0x0008u
#define HHT_ABOVE 0x0100u
#define HHT_BELOW 0x0200u
#define HHT_TORIGHT 0x0400u
#define HHT_TOLEFT 0x0800u

#define HDM_FIRST 0x1200u
#define HDM_GETITEMCOUNT (HDM_FIRST + 0u)
#define HDM_DELETEITEM (HDM_FIRST + 2u)
#define HDM_LAYOUT (HDM_FIRST + 5u)
#define HDM_HITTEST (HDM_FIRST + 6u)
#define HDM_GETITEMRECT (HDM_FIRST + 7u)
#define HDM_SETIMAGELIST (HDM_FIRST + 8u)
#define HDM_GETIMAGELIST (HDM_FIRST + 9u)
#define HDM_INSERTITEMW (HDM_FIRST + 10u)
#define HDM_GETITEMW (HDM_FIRST + 11u)
#define HDM_SETITEMW (HDM_FIRST + 12u)
#define HDM_INSERTITEM HDM_INSERTITEMW
#define HDM_GETITEM HDM_GETITEMW
#define HDM_SETITEM HDM_SETITEMW

#define HDN_FIRST (0u - 300u)
#define HDN_ITEMCHANGINGA (HDN_FIRST - 0u)
#define HDN_ITEMCHANGEDA (HDN_FIRST - 1u)
#define HDN_ITEMCLICKA (HDN_FIRST - 2u)
#define HDN_ITEMDBLCLICKA (HDN_FIRST - 3u)
#define HDN_DIVIDERDBLCLICKA (HDN_FIRST - 5u)
#define HDN_BEGINTRACKA (HDN_FIRST - 6u)
#define HDN_ENDTRACKA (HDN_FIRST - 7u)
#define HDN_TRACKA (HDN_FIRST - 8u)
#define HDN_ITEMCHANGINGW (HDN_FIRST - 20u)
#define HDN_ITEMCHANGEDW (HDN_FIRST - 21u)
#define HDN_ITEMCLICKW (HDN_FIRST - 22u)
#define HDN_ITEMDBLCLICKW (HDN_FIRST - 23u)
#define HDN_DIVIDERDBLCLICKW (HDN_FIRST - 25u)
#define HDN_BEGINTRACKW (HDN_FIRST - 26u)
#define HDN_ENDTRACKW (HDN_FIRST - 27u)
#define HDN_TRACKW (HDN_FIRST - 28u)
#define HDN_ITEMCHANGING HDN_ITEMCHANGINGW
#define HDN_ITEMCHANGED HDN_ITEMCHANGEDW
#define HDN_ITEMCLICK HDN_ITEMCLICKW
#define HDN_ITEMDBLCLICK HDN_ITEMDBLCLICKW
#define HDN_DIVIDERDBLCLICK HDN_DIVIDERDBLCLICKW
#define HDN_BEGINTRACK HDN_BEGINTRACKW
#define HDN_ENDTRACK HDN_ENDTRACKW
#define HDN_TRACK HDN_TRACKW

struct HDITEMW {
  UINT mask;
  int cxy;
  LPWSTR pszText;
  HBITMAP hbm;
  int cchTextMax;
  int fmt;
  LPARAM lParam;
  int iImage;
  int iOrder;
};
typedef HDITEMW HDITEM;
typedef HDITEMW* LPHDITEMW;

struct HDLAYOUT {
  RECT* prc;
  WINDOWPOS* pwpos;
};
typedef HDLAYOUT* LPHDLAYOUT;

struct HDHITTESTINFO {
  POINT pt;
  UINT flags;
  int iItem;
};
typedef HDHITTESTINFO* LPHDHITTESTINFO;

struct NMHEADERW {
  NMHDR hdr;
  int iItem;
  int iButton;
  HDITEMW* pitem;
};
typedef NMHEADERW NMHEADER;
typedef NMHEADERW* LPNMHEADERW;
typedef NMHEADERW* LPNMHEADER;

namespace qv::ui {
LRESULT HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace qv::ui
