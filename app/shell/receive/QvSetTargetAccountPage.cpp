#include "app/shell/receive/QvSetTargetAccountPage.h"

#include <algorithm>

#include "app/mailops/AccountOperations.h"
#include "platform/framework/DataExchange.h"

void QvSetTargetAccountPage::DoDataExchange(CDataExchange* dx) {
  QvScrollPage::DoDataExchange(dx);
  DDX_Control(dx, listId_, list_);
}

void QvSetTargetAccountPage::FillAccounts(const std::vector<std::wstring>& checked) {
  list_.SetExtendedStyle(list_.GetExtendedStyle() | LVS_EX_CHECKBOXES);
  list_.InsertColumn(0, L"");
  std::vector<std::wstring> names;
  GetAccountNames(&names);
  int row = 0;
  for (const std::wstring& name : names) {
    const int at = list_.InsertItem(row++, name.c_str());
    list_.SetCheck(at, std::find(checked.begin(), checked.end(), name) != checked.end());
  }
  list_.SetColumnWidth(0, LVSCW_AUTOSIZE);
}

std::vector<std::wstring> QvSetTargetAccountPage::CheckedAccounts() const {
  std::vector<std::wstring> names;
  if (!list_.m_hWnd) return names;
  for (int i = 0; i < list_.GetItemCount(); ++i) {
    if (list_.GetCheck(i)) names.emplace_back(list_.GetItemText(i, 0).GetString());
  }
  return names;
}

BOOL QvSetTargetAccountPage::GetFocusItemRect(RECT* rect) {
  if (!list_.m_hWnd || ::GetFocus() != list_.m_hWnd) return QvScrollPage::GetFocusItemRect(rect);
  const int selected = list_.GetNextItem(-1, LVNI_SELECTED);
  if (selected < 0 || !list_.GetItemRect(selected, rect, LVIR_BOUNDS)) return QvScrollPage::GetFocusItemRect(rect);
  list_.EnsureVisible(selected, FALSE);
  list_.GetItemRect(selected, rect, LVIR_BOUNDS);
  ::MapWindowPoints(list_.m_hWnd, nullptr, reinterpret_cast<POINT*>(rect), 2);
  return TRUE;
}
