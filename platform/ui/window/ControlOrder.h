// The order of a dialog's controls: the tab order and the groups that the
// arrows and automatic radio buttons move within. A pure walk of the window
// tree by style, so that buttons and the dialog manager share it.
#pragma once

#include <vector>

#include "platform/ui/window/Window.h"

extern "C" {
QV_PLATFORM_API HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
QV_PLATFORM_API HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
}  // extern "C"

namespace qv::ui {

// The controls in the order the keyboard visits them (a WS_EX_CONTROLPARENT
// child's own controls in its place).
std::vector<HWND> ControlsInOrder(HWND dialog);

}  // namespace qv::ui
