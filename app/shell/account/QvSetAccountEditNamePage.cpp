#include "app/shell/account/QvSetAccountEditNamePage.h"

#include <algorithm>

#include "app/foundation/MessageBoxes.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "platform/base/WideText.h"
#include "platform/framework/CPropertySheet.h"
#include "platform/framework/DataExchange.h"

bool AccountNameTaken(const std::wstring& name, const std::vector<std::wstring>& names) {
  const std::wstring folded = qv::FoldCase(name);
  for (const std::wstring& other : names) {
    if (qv::FoldCase(other) == folded) return true;
  }
  return false;
}

QvSetAccountEditNamePage::QvSetAccountEditNamePage(Mode mode, std::vector<std::wstring> existing)
    : QvAccountScrollPage(kTemplate, mode == kRename ? 151 : 150, false), mode_(mode), existing_(std::move(existing)) {}

BOOL QvSetAccountEditNamePage::OnInitDialog() {
  const BOOL r = QvAccountScrollPage::OnInitDialog();
  ::SendDlgItemMessageW(m_hWnd, kNameField, EM_LIMITTEXT, kMaxName, 0);
  ::SetFocus(::GetDlgItem(m_hWnd, kNameField));
  ::SendDlgItemMessageW(m_hWnd, kNameField, EM_SETSEL, 0, -1);
  return r && FALSE;  // the name field has the focus
}

void QvSetAccountEditNamePage::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, kNameField, name); }

void QvSetAccountEditNamePage::Warn(const CString& text) {
  ShowWarningBox(m_hWnd, text);
  HWND field = ::GetDlgItem(m_hWnd, kNameField);
  ::SetFocus(field);
  ::SendMessageW(field, EM_SETSEL, 0, -1);
}

BOOL QvSetAccountEditNamePage::OnApply() {
  name.Trim();
  ::SetDlgItemTextW(m_hWnd, kNameField, name);
  CPropertySheet* sheet = GetSheet();
  CString text;
  if (name.IsEmpty()) {
    if (mode_ == kRename) {
      if (sheet) sheet->EndDialog(IDCANCEL);
      return FALSE;
    }
    text.Format(static_cast<LPCWSTR>(LoadResString(kRequiredText)), L"アカウント名");
    Warn(text);
    return FALSE;
  }
  if (name.GetLength() > kMaxName) {
    text.Format(static_cast<LPCWSTR>(LoadResString(kTooLongText)), kMaxName);
    Warn(text);
    return FALSE;
  }
  // What the store cannot keep as a folder name is refused here, not by a
  // failed save after the whole sheet was filled in.
  const std::wstring& n = name.str();
  auto loose = [](wchar_t c) { return c == L'.' || c == 0x3000; };
  const bool control = std::any_of(n.begin(), n.end(), [](wchar_t c) { return c < 0x20; });
  if (!QvAccountInfoInterface::CheckValidChar(n) || control || loose(n.front()) || loose(n.back())) {
    Warn(LoadResString(kBadCharText));
    return FALSE;
  }
  if (AccountNameTaken(name.str(), existing_)) {
    Warn(LoadResString(kDuplicateText));
    return FALSE;
  }
  if (mode_ == kRename && !ShowConfirmBoxRes(m_hWnd, kConfirmRenameText, true)) {
    if (sheet) sheet->EndDialog(IDCANCEL);
    return FALSE;
  }
  return QvAccountScrollPage::OnApply();
}
