// Inside the window system: handing activation on when the active window
// goes away.
#pragma once

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

// Activates the owner of `leaving`, else the frontmost shown, enabled
// top-level window of the thread, else none.
void ActivateAnother(HWND leaving);

}  // namespace qv::ui
