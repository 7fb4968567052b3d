#include "platform/ui/commctrl/Notify.h"

#include "platform/ui/queue/MessageQueue.h"

namespace qv::ui {

LRESULT ParentNotify(HWND control, NMHDR* head, UINT code) {
  head->hwndFrom = control;
  head->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  head->code = code;
  HWND parent = GetParent(control);
  return parent ? SendMessageW(parent, WM_NOTIFY, head->idFrom, reinterpret_cast<LPARAM>(head)) : 0;
}

}  // namespace qv::ui
