// Inside the window system: the frame around a window's client (border,
// dialog frame, caption, client edge, the window's scroll bars). The window
// system draws it itself whenever the window paints, when it is activated
// or loses activation, and when a scroll bar's values change.
#pragma once

#include "platform/ui/window/WindowTable.h"

namespace qv::ui {

// Without the lock. Does nothing for a window without a frame or not shown.
void PaintNonClient(HWND hwnd);
// The window's scroll bar of SB_HORZ or SB_VERT in its own window
// coordinates (as GetWindowDC draws); empty when it has none. With the lock.
RECT ScrollBarRect(const Window& w, int bar);
// Taps on the caption's OK button (WS_EX_CAPTIONOKBTN): pressed and let go
// over it, the window gets WM_COMMAND IDOK. `client` is the tap in client
// coordinates. True when the tap was the button's. Without the lock.
bool CaptionOkInput(HWND hwnd, UINT message, POINT client);

}  // namespace qv::ui
