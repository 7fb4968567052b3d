// Inside the window system: how a common control tells its parent something.
#pragma once

#include "platform/ui/commctrl/CommCtrl.h"

namespace qv::ui {

// Fills the head of a notification (the control, its id, `code`) and sends it
// to the control's parent as WM_NOTIFY with the id in wParam; the parent's
// answer, or 0 when the control has none.
LRESULT ParentNotify(HWND control, NMHDR* head, UINT code);

}  // namespace qv::ui
