#include "app/shell/version/QvVersionDlg.h"

#include "app/foundation/UiRegistry.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "platform/shell/ShellUi.h"

BOOL QvVersionDlg::OnInitDialog() {
  const BOOL result = CDialog::OnInitDialog();
  // Full screen with the title bar's OK, as the device's own dialogs are.
  SHINITDLGINFO init{SHIDIM_FLAGS, m_hWnd, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  CString version;
  GetRegistryVersion(version);
  SetDlgItemTextW(m_hWnd, kVersionText, version.GetString());
  return result;
}

LRESULT QvVersionDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    PostMessageW(m_hWnd, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

void InstallVersionDialog() {
  FrameRunners().version = [](CWnd*) {
    QvVersionDlg dialog;
    dialog.DoModal();
  };
}
