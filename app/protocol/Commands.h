// Command ids that travel between windows as WM_COMMAND: from a soft key or
// menu of one window to the page or field that answers them.
#pragma once

#include "platform/base/WinTypes.h"

// To every scrolling page and dialog: end with OK, or done.
constexpr UINT kEndOkCommand = 40114;
constexpr UINT kDoneCommand = 40079;

// To a text field, from its tap-and-hold edit menu.
constexpr UINT kCutCommand = 57635;
constexpr UINT kCopyCommand = 57634;
constexpr UINT kPasteCommand = 57637;
