// The device profile GetDeviceCaps reports: the screen's size in pixels (the
// window system sets it, and again when the screen turns) at 192 dpi.
#pragma once

#include "platform/gdi/GdiTypes.h"

namespace qv::gdi {

inline constexpr int kScreenDpi = 192;
inline constexpr int kPortraitWidth = 480;
inline constexpr int kPortraitHeight = 800;

QV_PLATFORM_API void SetScreenSize(int width, int height);
QV_PLATFORM_API SIZE ScreenSize();

}  // namespace qv::gdi
