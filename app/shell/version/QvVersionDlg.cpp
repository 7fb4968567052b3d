#include "app/shell/version/QvVersionDlg.h"

#include "app/foundation/UiRegistry.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellUi.h"

BOOL QvVersionDlg::OnInitDialog() {
  const BOOL result = CDialog::OnInitDialog();
  // Full screen with the title bar's OK, as the device's own dialogs are.
  SHINITDLGINFO init{SHIDIM_FLAGS, m_hWnd, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  // No soft keys of its own, and none of the screen below it either.
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  bar.hwndParent = m_hWnd;
  bar.dwFlags = SHCMBF_EMPTYBAR;
  SHCreateMenuBar(&bar);
  FitTexts();
  CString version;
  GetRegistryVersion(version);
  SetDlgItemTextW(m_hWnd, kVersionText, version.GetString());
  return result;
}

void QvVersionDlg::FitTexts() {
  CRect client;
  GetClientRect(&client);
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    ::MoveWindow(child, kMargin, r.top, client.Width() - 2 * kMargin, r.bottom - r.top, TRUE);
  }
}

LRESULT QvVersionDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    PostMessageW(m_hWnd, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
  if (message == WM_SIZE) FitTexts();
  return result;
}

void InstallVersionDialog() {
  FrameRunners().version = [](CWnd*) {
    QvVersionDlg dialog;
    dialog.DoModal();
  };
}
