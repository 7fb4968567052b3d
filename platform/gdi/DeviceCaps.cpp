// Device capabilities and the system colours.
#include "platform/gdi/DeviceCaps.h"

#include <array>
#include <atomic>

#include "platform/gdi/DeviceContext.h"

namespace qv::gdi {

namespace {

std::atomic<int> screenWidth{kPortraitWidth};
std::atomic<int> screenHeight{kPortraitHeight};

// The device's default scheme.
std::atomic<COLORREF> sysColors[C_SYS_COLOR_TYPES] = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // background
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(255, 255, 255),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // app workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3D dark shadow
    RGB(224, 224, 224),  // 3D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(192, 192, 192),  // static
    RGB(0, 0, 0),        // static text
    RGB(0, 0, 128),      // active caption gradient
    RGB(128, 128, 128),  // inactive caption gradient
};

int IndexOf(int index) { return index & ~static_cast<int>(SYS_COLOR_INDEX_FLAG); }

}  // namespace

COLORREF ResolveColor(COLORREF color) {
  if (!(color & SYS_COLOR_INDEX_FLAG)) return color & 0x00FFFFFFu;
  return GetSysColor(static_cast<int>(color & 0xFFu));
}

void SetScreenSize(int width, int height) {
  screenWidth = width;
  screenHeight = height;
}

SIZE ScreenSize() { return SIZE{screenWidth, screenHeight}; }

}  // namespace qv::gdi

using namespace qv::gdi;

DWORD GetSysColor(int index) {
  int i = IndexOf(index);
  return i >= 0 && i < C_SYS_COLOR_TYPES ? sysColors[i].load() : 0;
}

HBRUSH GetSysColorBrush(int index) {
  int i = IndexOf(index);
  if (i < 0 || i >= C_SYS_COLOR_TYPES) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // One brush a colour for the process, following SetSysColors.
  static const std::array<HBRUSH, C_SYS_COLOR_TYPES> brushes = [] {
    std::array<HBRUSH, C_SYS_COLOR_TYPES> b{};
    for (int k = 0; k < C_SYS_COLOR_TYPES; ++k) {
      auto brush = std::make_shared<BrushObject>();
      brush->color = SYS_COLOR_INDEX_FLAG | static_cast<COLORREF>(k);
      brush->stock = true;
      b[static_cast<size_t>(k)] = static_cast<HBRUSH>(AddObject(std::move(brush)));
    }
    return b;
  }();
  return brushes[static_cast<size_t>(i)];
}

BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors) {
  if (count < 0 || (count > 0 && (!indexes || !colors))) return Fail(ERROR_INVALID_PARAMETER);
  for (int k = 0; k < count; ++k) {
    int i = IndexOf(indexes[k]);
    if (i >= 0 && i < C_SYS_COLOR_TYPES) sysColors[i] = colors[k] & 0x00FFFFFFu;
  }
  return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
  if (!FindDc(hdc)) return 0;
  SIZE screen = ScreenSize();
  switch (index) {
    case DRIVERVERSION: return 0x0400;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return screen.cx * 254 / (kScreenDpi * 10);  // millimetres
    case VERTSIZE: return screen.cy * 254 / (kScreenDpi * 10);
    case HORZRES: return screen.cx;
    case VERTRES: return screen.cy;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case RASTERCAPS: return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY: return kScreenDpi;
    default: return 0;
  }
}
