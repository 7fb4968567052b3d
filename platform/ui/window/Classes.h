// Inside the window system: the class table. With the lock held.
#pragma once

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

// By name (without regard to case) or by atom; null with 1411 when unknown.
std::shared_ptr<WindowClass> FindClass(LPCWSTR nameOrAtom);

}  // namespace qv::ui
