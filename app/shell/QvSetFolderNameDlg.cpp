#include "app/shell/QvSetFolderNameDlg.h"

#include "app/foundation/MessageBoxes.h"

QvSetFolderNameDlg::QvSetFolderNameDlg(CWnd* parent) : QvUnFullScreenDlg(kTemplateId, parent) {
  SetSize(400, 160);
}

BOOL QvSetFolderNameDlg::OnInitDialog() {
  const BOOL result = QvUnFullScreenDlg::OnInitDialog();
  if (captionId_ != 0) {
    const CString caption = LoadResString(captionId_);
    if (!caption.IsEmpty()) SetWindowTextW(m_hWnd, caption.GetString());
  }
  SetDlgItemTextW(m_hWnd, kNameField, name_.c_str());
  return result;
}

LRESULT QvSetFolderNameDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kBackMessage) {
    // Back deletes while the field holds text; an empty one cancels.
    HWND field = ::GetDlgItem(m_hWnd, kNameField);
    if (!(field && ::IsWindowEnabled(field) && ::GetWindowTextLengthW(field) > 0)) EndDialog(IDCANCEL);
    return 0;
  }
  return QvUnFullScreenDlg::WindowProc(message, wParam, lParam);
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
