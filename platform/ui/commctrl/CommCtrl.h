// The common controls' shared vocabulary: the head of every WM_NOTIFY, the
// notification codes all controls share, custom draw, and the list view and
// header controls with their documented values.
#pragma once

#include "platform/gdi/GdiTypes.h"
#include "platform/ui/window/Window.h"

typedef ULONG_PTR DWORD_PTR;

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
typedef NMHDR* LPNMHDR;

// An item whose text or image its owner gives on request.
#define LPSTR_TEXTCALLBACKW (reinterpret_cast<LPWSTR>(static_cast<INT_PTR>(-1)))
#define LPSTR_TEXTCALLBACK LPSTR_TEXTCALLBACKW
#define I_IMAGECALLBACK (-1)
#define NM_FIRST (0u - 0u)
#define NM_CLICK (NM_FIRST - 2u)
#define NM_DBLCLK (NM_FIRST - 3u)
#define NM_RETURN (NM_FIRST - 4u)
#define NM_SETFOCUS (NM_FIRST - 7u)
#define NM_KILLFOCUS (NM_FIRST - 8u)
#define NM_CUSTOMDRAW (NM_FIRST - 12u)
#define NM_OUTOFMEMORY (NM_FIRST - 1u)
#define NM_RCLICK (NM_FIRST - 5u)
#define NM_RDBLCLK (NM_FIRST - 6u)
#define NM_HOVER (NM_FIRST - 13u)

#define CCM_FIRST 0x2000u
#define CCM_SETUNICODEFORMAT (CCM_FIRST + 5u)
#define CCM_GETUNICODEFORMAT (CCM_FIRST + 6u)

// Custom draw (NM_CUSTOMDRAW).
#define CDDS_PREPAINT 0x00000001u
#define CDDS_POSTPAINT 0x00000002u
#define CDDS_PREERASE 0x00000003u
#define CDDS_POSTERASE 0x00000004u
#define CDDS_ITEM 0x00010000u
#define CDDS_ITEMPREPAINT (CDDS_ITEM | CDDS_PREPAINT)
#define CDDS_ITEMPOSTPAINT (CDDS_ITEM | CDDS_POSTPAINT)
#define CDDS_SUBITEM 0x00020000u
#define CDRF_DODEFAULT 0x00000000u
#define CDRF_NEWFONT 0x00000002u
#define CDRF_SKIPDEFAULT 0x00000004u
#define CDRF_NOTIFYPOSTPAINT 0x00000010u
#define CDRF_NOTIFYITEMDRAW 0x00000020u
#define CDRF_NOTIFYSUBITEMDRAW 0x00000020u
#define CDRF_NOTIFYPOSTERASE 0x00000040u
#define CDIS_SELECTED 0x0001u
#define CDIS_GRAYED 0x0002u
#define CDIS_DISABLED 0x0004u
#define CDIS_CHECKED 0x0008u
#define CDIS_FOCUS 0x0010u
#define CDIS_DEFAULT 0x0020u
#define CDIS_HOT 0x0040u

struct NMCUSTOMDRAW {
  NMHDR hdr;
  DWORD dwDrawStage;
  HDC hdc;
  RECT rc;
  DWORD_PTR dwItemSpec;
  UINT uItemState;
  LPARAM lItemlParam;
};
typedef NMCUSTOMDRAW* LPNMCUSTOMDRAW;

// Owner drawing of the common controls (WM_DRAWITEM's CtlType).
#define ODT_HEADER 100
#define ODT_LISTVIEW 102

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
#define ICC_LISTVIEW_CLASSES 0x00000001u

extern "C" {
// The classes are there from the start; these only answer as the device does.
QV_PLATFORM_API void InitCommonControls();
QV_PLATFORM_API BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
}
