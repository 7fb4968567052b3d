// The device screen's pixels: every window draws straight onto it (no
// window keeps pixels of its own). Turning the screen makes a new one.
#pragma once

#include <memory>

#include "platform/gdi/Surface.h"

namespace qv::ui {

QV_PLATFORM_API std::shared_ptr<gdi::Surface> ScreenSurface();
// Made anew at the current profile's size (after turning).
void RemakeScreen();

}  // namespace qv::ui
