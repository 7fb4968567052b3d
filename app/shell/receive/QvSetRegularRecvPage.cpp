#include "app/shell/receive/QvSetRegularRecvPage.h"

#include <algorithm>
#include <cwchar>

#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/mailops/AccountOperations.h"
#include "app/protocol/WindowMessages.h"
#include "platform/framework/CPropertySheet.h"
#include "platform/framework/DataExchange.h"

namespace {

constexpr UINT kMenuBar = 151;

}  // namespace

BEGIN_MESSAGE_MAP(QvSetRegularRecvPage, QvSetTargetAccountPage)
  ON_BN_CLICKED(QvSetRegularRecvPage::kOnBox, &QvSetRegularRecvPage::OnOnClicked)
  ON_NOTIFY(LVN_ITEMCHANGED, QvSetRegularRecvPage::kAccountList, &QvSetRegularRecvPage::OnItemChanged)
END_MESSAGE_MAP()

BOOL QvSetRegularRecvPage::OnInitDialog() {
  bool on = false;
  unsigned minutes = kDefaultMinutes;
  GetPeriodicRecvSetting(&on, &minutes);
  on_ = on ? 1 : 0;
  minutes_ = static_cast<int>(minutes);
  const BOOL result = QvSetTargetAccountPage::OnInitDialog();
  CreateMenuBar(m_hWnd, kMenuBar);
  EnableInterval();
  std::vector<std::wstring> periodic;
  GetPeriodicRecvAccounts(&periodic, 0);
  filling_ = true;
  FillAccounts(periodic);
  filling_ = false;
  GetAccountsWithoutSavedPassword(&withoutPassword_);
  return result;
}

void QvSetRegularRecvPage::DoDataExchange(CDataExchange* dx) {
  QvSetTargetAccountPage::DoDataExchange(dx);
  DDX_Control(dx, kIntervalField, interval_);
  DDX_Check(dx, kOnBox, on_);
  if (!dx->m_bSaveAndValidate) {
    DDX_Text(dx, kIntervalField, minutes_);
    return;
  }
  if (interval_.IsWindowEnabled()) {
    DDX_Text(dx, kIntervalField, minutes_);
    DDV_MinMaxInt(dx, minutes_, kMinMinutes, kMaxMinutes);
    return;
  }
  // A disabled field is taken as it stands; OK puts anything out of range back to 15.
  CString text;
  interval_.GetWindowText(text);
  if (text.IsEmpty()) {
    minutes_ = kDefaultMinutes;
  } else {
    wchar_t* end = nullptr;
    const long value = std::wcstol(text.GetString(), &end, 10);
    minutes_ = (end && *end == L'\0' && value >= 0 && value <= 1000) ? static_cast<int>(value) : 0;
  }
}

bool QvSetRegularRecvPage::HasSavedPassword(const std::wstring& account) const {
  return std::find(withoutPassword_.begin(), withoutPassword_.end(), account) == withoutPassword_.end();
}

void QvSetRegularRecvPage::EnableInterval() {
  ::EnableWindow(::GetDlgItem(m_hWnd, kIntervalField), IsDlgButtonChecked(kOnBox) == BST_CHECKED);
}

void QvSetRegularRecvPage::OnOnClicked() {
  EnableInterval();
  if (IsDlgButtonChecked(kOnBox) != BST_CHECKED) return;
  CListCtrl& list = AccountList();
  bool unchecked = false;
  filling_ = true;
  for (int i = 0; i < list.GetItemCount(); ++i) {
    if (list.GetCheck(i) && !HasSavedPassword(list.GetItemText(i, 0).GetString())) {
      list.SetCheck(i, FALSE);
      unchecked = true;
    }
  }
  filling_ = false;
  if (unchecked) ShowWarningBoxRes(m_hWnd, kUncheckedWarning);
}

void QvSetRegularRecvPage::OnItemChanged(NMHDR* nm, LRESULT* result) {
  *result = 0;
  const auto* change = reinterpret_cast<const NMLISTVIEW*>(nm);
  if (filling_ || change->iItem < 0 || !(change->uChanged & LVIF_STATE)) return;
  const UINT before = (change->uOldState & LVIS_STATEIMAGEMASK) >> 12;
  const UINT after = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
  if (after != 2 || before == 2 || IsDlgButtonChecked(kOnBox) != BST_CHECKED) return;
  CListCtrl& list = AccountList();
  if (HasSavedPassword(list.GetItemText(change->iItem, 0).GetString())) return;
  ShowWarningBoxRes(m_hWnd, kNoPasswordWarning);
  filling_ = true;
  list.SetCheck(change->iItem, FALSE);
  filling_ = false;
}

void QvSetRegularRecvPage::OnOK() {
  if (minutes_ < kMinMinutes || minutes_ > kMaxMinutes) minutes_ = kDefaultMinutes;
  const std::vector<std::wstring> checked = CheckedAccounts();
  anyChecked_ = !checked.empty();
  SetPeriodicRecvSetting(on_ != 0, static_cast<unsigned>(minutes_));
  SetPeriodicRecvAccounts(checked, 0);
  // The timer runs only when some account takes part.
  ApplyRecvTimer(on_ != 0 && anyChecked_, minutes_);
  QvSetTargetAccountPage::OnOK();
}

LRESULT QvSetRegularRecvPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    if (interval_.m_hWnd && interval_.IsWindowEnabled() && interval_.GetWindowTextLength() > 0) return 0;
    if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return QvSetTargetAccountPage::WindowProc(message, wParam, lParam);
}
