// Inside the window system: the procedures of the classes every process has
// ("Button", "Static", "ScrollBar", "Edit", "RICHEDIT50W"; "Dialog" is
// DefDlgProcW) and the bytes
// each keeps with a window. SystemClasses.cpp registers them.
#pragma once

#include <optional>

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT RichEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Window extra bytes of the controls: two LONG_PTR slots.
constexpr int kControlExtra = 2 * static_cast<int>(sizeof(LONG_PTR));
constexpr int kStateSlot = 0;  // button: BST_ bits; static: the image; edits: their engine
constexpr int kFontSlot = static_cast<int>(sizeof(LONG_PTR));

// What the controls do alike: keep their font, redraw when their text
// changes, paint through `paint` (which covers the whole client, so nothing
// is erased first). Empty for any other message.
std::optional<LRESULT> ControlBasics(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void (*paint)(HWND, HDC));

// DefWindowProcW's part in scroll bars: taps and drags on a window's own
// bars, and the wheel. True when the message was theirs.
bool WindowScrollBarInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WheelDefault(HWND hwnd, WPARAM wParam, LPARAM lParam);

}  // namespace qv::ui
