#include "app/foundation/QvScrollDlg.h"

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/ScrollSupport.h"

BOOL QvScrollDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ShowMemoryStatus();
  return TRUE;
}

void QvScrollDlg::EndOk() { EndDialog(IDOK); }

BOOL QvScrollDlg::GetFocusItemRect(RECT* rect) { return GetFocusedChildRect(m_hWnd, rect); }

void QvScrollDlg::ShowFocusItem() {
  RECT r{};
  if (GetFocusItemRect(&r)) EnsureRectVisible(m_hWnd, r);
}

BOOL QvScrollDlg::PreTranslateMessage(MSG* msg) {
  const HWND before = ::GetFocus();
  const BOOL done = CDialog::PreTranslateMessage(msg);
  if (m_hWnd && (::GetFocus() != before || msg->message == WM_KEYDOWN)) ShowFocusItem();
  if (m_hWnd) TranslateMouseWheel(msg, m_hWnd, kScrollLine);
  return done;
}

LRESULT QvScrollDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_VSCROLL:
      ScrollByVScrollCode(offset_, m_hWnd, LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      return 0;
    case WM_SIZE: {
      const LRESULT r = CDialog::WindowProc(message, wParam, lParam);
      UpdateScrollRangeFromChildren(offset_, m_hWnd, 0);
      ShowFocusItem();
      return r;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kEndOkCommand) {
        EndOk();
        return 0;
      }
      if (LOWORD(wParam) == kDoneCommand) {
        OnCancel();
        return 0;
      }
      break;
    case WM_DESTROY: {
      const LRESULT r = CDialog::WindowProc(message, wParam, lParam);
      ShowMemoryStatus();
      return r;
    }
    default:
      break;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}
