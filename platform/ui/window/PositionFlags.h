// Inside the window system: what SetWindowPos adds to WINDOWPOS.flags for
// DefWindowProcW, when the client area did not move or change size.
#pragma once

#include "platform/base/WinTypes.h"

namespace qv::ui {

constexpr UINT kNoClientSize = 0x0800u;
constexpr UINT kNoClientMove = 0x1000u;

}  // namespace qv::ui
