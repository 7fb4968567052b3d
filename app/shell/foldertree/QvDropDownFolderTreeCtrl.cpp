#include "app/shell/foldertree/QvDropDownFolderTreeCtrl.h"

#include "app/protocol/WindowMessages.h"

BEGIN_MESSAGE_MAP(QvDropDownFolderTreeCtrl, QvFolderTreeCtrl)
  ON_WM_LBUTTONDOWN()
  ON_NOTIFY_REFLECT(NM_RETURN, &QvDropDownFolderTreeCtrl::OnReturn)
END_MESSAGE_MAP()

bool QvDropDownFolderTreeCtrl::SelectFolder(DWORD folderId) {
  if (!QvFolderTreeCtrl::SelectFolder(folderId)) return false;
  remembered_ = folderId;
  return true;
}

void QvDropDownFolderTreeCtrl::RestoreSelection() {
  DWORD selected = 0;
  if (!GetSelectedFolder(&selected) || selected != remembered_) SelectFolder(remembered_);
}

void QvDropDownFolderTreeCtrl::PlaceBelow(CWnd* control) {
  if (!control || !control->m_hWnd || !m_hWnd) return;
  CRect rect;
  control->GetWindowRect(&rect);
  HWND parent = ::GetParent(m_hWnd);
  POINT topLeft{rect.left, rect.bottom - 1};
  if (parent) ::ScreenToClient(parent, &topLeft);
  SetWindowPos(nullptr, topLeft.x, topLeft.y, rect.Width(), kDropHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool QvDropDownFolderTreeCtrl::KeyDoesNothing(UINT key) const {
  HTREEITEM at = GetSelectedItem();
  if (!at) return false;
  const bool children = GetChildItem(at) != nullptr;
  const bool expanded = (GetItemState(at, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
  switch (key) {
    case VK_LEFT: return !children || !expanded;
    case VK_UP: return at == GetFirstVisibleItem() && GetPrevVisibleItem(at) == nullptr;
    case VK_RIGHT: return !children;
    case VK_DOWN: return GetNextVisibleItem(at) == nullptr;
    default: return false;
  }
}

BOOL QvDropDownFolderTreeCtrl::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->hwnd == m_hWnd) {
    if (KeyDoesNothing(static_cast<UINT>(msg->wParam))) return TRUE;
    if (msg->wParam == VK_RETURN) {
      // Enter chooses here rather than pressing the dialog's default button.
      ::DispatchMessageW(msg);
      return TRUE;
    }
  }
  return QvFolderTreeCtrl::PreTranslateMessage(msg);
}

void QvDropDownFolderTreeCtrl::OnLButtonDown(UINT flags, CPoint point) {
  const bool onItem = ItemAt(point) != nullptr;
  QvFolderTreeCtrl::OnLButtonDown(flags, point);
  if (onItem && m_hWnd) ReportChoice();
}

void QvDropDownFolderTreeCtrl::OnReturn(NMHDR*, LRESULT* result) {
  ReportChoice();
  *result = 0;
}

void QvDropDownFolderTreeCtrl::ReportChoice() {
  if (HWND parent = ::GetParent(m_hWnd)) {
    ::SendMessageW(parent, kHideFolderTreeMessage, static_cast<WPARAM>(GetDlgCtrlID()), 1);
  }
}
