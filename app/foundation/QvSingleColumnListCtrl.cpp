#include "app/foundation/QvSingleColumnListCtrl.h"

#include "platform/ui/commctrl/Header.h"

LRESULT QvSingleColumnListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    // The header asks before a drag of a column's edge: refused, in both widths.
    const auto* head = reinterpret_cast<const NMHDR*>(lParam);
    if (head && (head->code == HDN_BEGINTRACKW || head->code == HDN_BEGINTRACKA)) return TRUE;
  }
  const LRESULT result = CListCtrl::WindowProc(message, wParam, lParam);
  if (message == WM_SIZE) SetColumnWidth(0, static_cast<int>(LOWORD(lParam)) - kMargin);
  return result;
}
