#include "app/shell/QvSetFolderNameDlg.h"

#include "app/foundation/MessageBoxes.h"

QvSetFolderNameDlg::QvSetFolderNameDlg(CWnd* parent) : QvUnFullScreenDlg(kTemplateId, parent) {
  SetSize(kWidth, kHeight);
}

BOOL QvSetFolderNameDlg::OnInitDialog() {
  const BOOL result = QvUnFullScreenDlg::OnInitDialog();
  if (captionId_ != 0) {
    const CString caption = LoadResString(captionId_);
    if (!caption.IsEmpty()) SetWindowTextW(m_hWnd, caption.GetString());
  }
  SetDlgItemTextW(m_hWnd, kNameField, name_.c_str());
  FitControls();
  return result;
}

void QvSetFolderNameDlg::FitControls() {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
    ::MoveWindow(child, kMargin, r.top, client.right - 2 * kMargin, r.bottom - r.top, TRUE);
  }
}

void QvSetFolderNameDlg::Recentre() {
  CenterWindowInParent(m_hWnd, kWidth, kHeight);
  RECT r{};
  ::GetWindowRect(m_hWnd, &r);
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  if (r.left < 0 || r.top < 0 || r.right > cx || r.bottom > cy) {
    ::SetWindowPos(m_hWnd, nullptr, (cx - kWidth) / 2, (cy - kHeight) / 2, kWidth, kHeight,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

LRESULT QvSetFolderNameDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    // Back deletes while the field holds text; an empty one cancels.
    HWND field = ::GetDlgItem(m_hWnd, kNameField);
    if (!(field && ::IsWindowEnabled(field) && ::GetWindowTextLengthW(field) > 0)) EndDialog(IDCANCEL);
    return 0;
  }
  const LRESULT result = QvUnFullScreenDlg::WindowProc(message, wParam, lParam);
  if (message == WM_SETTINGCHANGE) Recentre();
  return result;
}

std::wstring QvSetFolderNameDlg::FieldText() const {
  HWND field = ::GetDlgItem(m_hWnd, kNameField);
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
  return text;
}

void QvSetFolderNameDlg::Refuse(UINT stringId) {
  ShowWarningBoxRes(m_hWnd, stringId);
  HWND field = ::GetDlgItem(m_hWnd, kNameField);
  ::SendMessageW(field, EM_SETSEL, 0, -1);
  ::SetFocus(field);
}
