#include "app/foundation/QvUnFullScreenDlg.h"

#include "platform/shell/ShellUi.h"

void CenterWindowInParent(HWND hwnd, int width, int height) {
  HWND parent = GetParent(hwnd);
  RECT area{};
  if (parent) {
    GetWindowRect(parent, &area);
  } else {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void QvUnFullScreenDlg::Centre() {
  RECT r{};
  GetWindowRect(&r);
  centring_ = true;
  CenterWindowInParent(m_hWnd, width_ ? width_ : r.right - r.left, height_ ? height_ : r.bottom - r.top);
  centring_ = false;
}

BOOL QvUnFullScreenDlg::OnInitDialog() {
  const BOOL result = CDialog::OnInitDialog();
  if (caption_) {
    ModifyStyle(0, WS_CAPTION);
    ModifyStyleEx(0, WS_EX_DLGMODALFRAME);
  }
  ModifyStyleEx(0, kOkButtonNoDragStyle);
  Centre();
  return result;
}

LRESULT QvUnFullScreenDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT r = CDialog::WindowProc(message, wParam, lParam);
  if (message == WM_WINDOWPOSCHANGED && !centring_) {
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    const bool sized = !(pos->flags & SWP_NOSIZE);
    if (sized && ((width_ && pos->cx != width_) || (height_ && pos->cy != height_))) Centre();
  }
  return r;
}
