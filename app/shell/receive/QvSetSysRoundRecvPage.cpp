#include "app/shell/receive/QvSetSysRoundRecvPage.h"

#include "app/foundation/UiMenus.h"
#include "app/mailops/AccountOperations.h"
#include "app/protocol/WindowMessages.h"

BOOL QvSetSysRoundRecvPage::OnInitDialog() {
  const BOOL result = QvSetTargetAccountPage::OnInitDialog();
  CreateMenuBar(m_hWnd, 151);
  std::vector<std::wstring> round;
  GetPeriodicRecvAccounts(&round, 1);
  FillAccounts(round);
  return result;
}

void QvSetSysRoundRecvPage::OnOK() {
  SetPeriodicRecvAccounts(CheckedAccounts(), 1);
  QvSetTargetAccountPage::OnOK();
}

LRESULT QvSetSysRoundRecvPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    if (HWND sheet = ::GetParent(m_hWnd)) ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return QvSetTargetAccountPage::WindowProc(message, wParam, lParam);
}
