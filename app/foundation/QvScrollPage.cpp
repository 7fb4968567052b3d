#include "app/foundation/QvScrollPage.h"

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/ScrollSupport.h"
#include "platform/framework/CPropertySheet.h"

BOOL QvScrollPage::GetFocusItemRect(RECT* rect) { return GetFocusedChildRect(m_hWnd, rect); }

void QvScrollPage::ShowFocusItem() {
  RECT r{};
  if (GetFocusItemRect(&r)) EnsureRectVisible(m_hWnd, r);
}

BOOL QvScrollPage::OnKillActive() {
  ShowMemoryStatus();
  const BOOL ok = CPropertyPage::OnKillActive();
  // The page stays: show the control the check stopped at.
  if (!ok) ShowFocusItem();
  return ok;
}

void QvScrollPage::OnDone() {
  if (CPropertySheet* sheet = GetSheet()) {
    sheet->EndDialog(kDoneResult);
  } else if (HWND parent = ::GetParent(m_hWnd)) {
    ::EndDialog(parent, kDoneResult);
  }
}

BOOL QvScrollPage::PreTranslateMessage(MSG* msg) {
  const BOOL done = CPropertyPage::PreTranslateMessage(msg);
  const UINT m = msg->message;
  if (m_hWnd && (m == WM_KEYDOWN || m == WM_KEYUP || m == WM_LBUTTONUP)) ShowFocusItem();
  if (m_hWnd) TranslateMouseWheel(msg, m_hWnd, kScrollLine);
  return done;
}

LRESULT QvScrollPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL:
      ScrollByVScrollCode(offset_, m_hWnd, LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      return 0;
    case WM_SIZE: {
      const LRESULT r = CPropertyPage::WindowProc(message, wParam, lParam);
      UpdateScrollRangeFromChildren(offset_, m_hWnd, 10);
      ShowFocusItem();
      return r;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kDoneCommand) {
        OnDone();
        return 0;
      }
      // The soft keys' OK and cancel come to the page that made the bar; they
      // are the sheet's, which checks and stores every page.
      if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && GetSheet()) {
        GetSheet()->SendMessage(WM_COMMAND, MAKEWPARAM(LOWORD(wParam), 0), 0);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      return 0;
    default:
      break;
  }
  return CPropertyPage::WindowProc(message, wParam, lParam);
}
