#include "app/shell/QvSetFileSystemFolderNameDlg.h"

#include "app/foundation/filebrowser/QvFileBrowser.h"
#include "platform/kernel/Files.h"

namespace {

std::wstring Trim(const std::wstring& s) {
  const size_t first = s.find_first_not_of(L" \t\u3000");
  if (first == std::wstring::npos) return {};
  return s.substr(first, s.find_last_not_of(L" \t\u3000") - first + 1);
}

INT_PTR RunFolderNameDialog(const std::wstring& parentFolder, std::wstring* name) {
  QvSetFileSystemFolderNameDlg dialog(nullptr);
  dialog.SetParentFolder(parentFolder);
  const INT_PTR result = dialog.DoModal();
  if (result == IDOK) *name = dialog.Name();
  return result;
}

}  // namespace

BOOL QvSetFileSystemFolderNameDlg::OnInitDialog() {
  const BOOL result = QvSetFolderNameDlg::OnInitDialog();
  SendDlgItemMessageW(m_hWnd, kNameField, EM_LIMITTEXT, kMaxName, 0);
  return result;
}

void QvSetFileSystemFolderNameDlg::OnOK() {
  name_ = Trim(FieldText());
  if (name_.empty()) {
    EndDialog(IDCANCEL);
    return;
  }
  if (name_.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return Refuse(20159);
  const std::wstring path = parentFolder_ + L"\\" + name_;
  if (path.size() >= 257) return Refuse(20160);
  if (!CreateDirectoryW(path.c_str(), nullptr)) {
    switch (GetLastError()) {
      case ERROR_INVALID_NAME: return Refuse(20159);
      case ERROR_ALREADY_EXISTS: return Refuse(20048);
      case ERROR_FILENAME_EXCED_RANGE: return Refuse(20160);
      default: return Refuse(20161);
    }
  }
  EndDialog(IDOK);
}

void InstallFileSystemFolderNameDialog() { SetFolderNameDialogRunner(&RunFolderNameDialog); }
