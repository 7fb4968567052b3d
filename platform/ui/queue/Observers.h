// Inside the window system: the message observers tests install
// (UiSeam.h). Observe costs one load when there are none.
#pragma once

#include "platform/ui/queue/UiSeam.h"

namespace qv::ui {

void Observe(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, unsigned how);

}  // namespace qv::ui
