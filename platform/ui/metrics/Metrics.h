// System metrics of the device (192 dpi) and its screen profile: 480×800 in
// portrait, 800×480 in landscape. Turning the screen resizes the full-screen
// top-level windows (WM_SIZE) and tells every top-level window with
// WM_SETTINGCHANGE (SETTINGCHANGE_RESET). System colours are gdi's
// (GetSysColor, platform/gdi/Gdi.h).
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CYVTHUMB 9
#define SM_CXHTHUMB 10
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYMENU 15
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_MOUSEPRESENT 19
#define SM_CYVSCROLL 20
#define SM_CXHSCROLL 21
#define SM_DEBUG 22
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CXICONSPACING 38
#define SM_CYICONSPACING 39
#define SM_DBCSENABLED 42
#define SM_CXEDGE 45
#define SM_CYEDGE 46
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CXFIXEDFRAME SM_CXDLGFRAME
#define SM_CYFIXEDFRAME SM_CYDLGFRAME
#define SM_CXDRAG 68
#define SM_CYDRAG 69
#define SM_CXMENUCHECK 71
#define SM_CYMENUCHECK 72
#define SM_XVIRTUALSCREEN 76
#define SM_YVIRTUALSCREEN 77
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_CMONITORS 80

extern "C" QV_PLATFORM_API int GetSystemMetrics(int index);

// The usable screen area (RECT* in pvParam): the whole screen as it stands,
// for no task bar takes a part of it on this device.
#define SPI_GETWORKAREA 48u
// What kind of device this is, and who made it: wide texts into pvParam,
// uiParam its size in bytes; a buffer too small is error 122.
#define SPI_GETPLATFORMTYPE 257u
#define SPI_GETOEMINFO 258u
// The device's platform types.
#define PLATFORM_TYPE_POCKETPC L"PocketPC"
#define PLATFORM_TYPE_SMARTPHONE L"SmartPhone"
extern "C" QV_PLATFORM_API BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni);

namespace qv::ui {

enum class Orientation { Portrait, Landscape };

struct DeviceProfile {
  int width;   // pixels, as the screen stands now
  int height;
  int dpi;
  Orientation orientation;
};

QV_PLATFORM_API DeviceProfile CurrentProfile();
// Turns the screen (the display's rotate key, tests). Returns at once when
// the orientation is already that one.
QV_PLATFORM_API void SetOrientation(Orientation orientation);

// The platform type SystemParametersInfoW reports (a Pocket PC unless a test
// makes the device something else); empty restores it.
QV_PLATFORM_API void SetPlatformType(const std::wstring& type);

}  // namespace qv::ui
