#include "app/shell/folderorder/QvSortFolderListCtrl.h"

BEGIN_MESSAGE_MAP(QvSortFolderListCtrl, CListCtrl)
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
END_MESSAGE_MAP()

bool IsBelowListItems(const CListCtrl& list, CPoint point) {
  const int count = list.GetItemCount();
  if (count == 0) return true;
  CRect last;
  if (!list.GetItemRect(count - 1, &last, LVIR_BOUNDS)) return false;
  return point.y >= last.bottom;
}

BOOL QvSortFolderListCtrl::SubclassSortList(UINT id, CWnd* parent) {
  if (!SubclassDlgItem(id, parent)) return FALSE;
  ModifyStyle(LVS_TYPEMASK, LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  InsertColumn(0, L"", LVCFMT_LEFT, 0);
  FitColumn();
  return TRUE;
}

void QvSortFolderListCtrl::FitColumn() {
  if (!m_hWnd) return;
  CRect client;
  GetClientRect(&client);
  SetColumnWidth(0, client.Width());
}

void QvSortFolderListCtrl::SelectRow(int index) {
  if (index < 0 || index >= GetItemCount()) return;
  SetItemState(index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EnsureVisible(index, FALSE);
}

void QvSortFolderListCtrl::SwapRows(int a, int b) {
  const CString textA = GetItemText(a, 0);
  const CString textB = GetItemText(b, 0);
  const DWORD_PTR dataA = GetItemData(a);
  const DWORD_PTR dataB = GetItemData(b);
  SetItemText(a, 0, textB);
  SetItemData(a, dataB);
  SetItemText(b, 0, textA);
  SetItemData(b, dataA);
}

void QvSortFolderListCtrl::OnLButtonDown(UINT flags, CPoint point) {
  if (IsBelowListItems(*this, point)) return;
  CListCtrl::OnLButtonDown(flags, point);
}

void QvSortFolderListCtrl::OnLButtonDblClk(UINT flags, CPoint point) {
  if (IsBelowListItems(*this, point)) return;
  CListCtrl::OnLButtonDblClk(flags, point);
}
