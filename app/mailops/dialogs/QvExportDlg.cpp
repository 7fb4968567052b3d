#include "app/mailops/dialogs/QvExportDlg.h"

#include <utility>

#include "app/foundation/FileChoosers.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/RunWithProgress.h"
#include "app/protocol/WindowMessages.h"
#include "platform/kernel/Files.h"

namespace {

constexpr UINT kMenuBar = 151;
constexpr UINT kNoSuchFolderText = 20140;
constexpr const wchar_t* kDefaultFolder = L"\\My Documents";

}  // namespace

QvExportDlg::QvExportDlg(CWnd* parent, std::vector<unsigned long> ids)
    : QvScrollDlg(kTemplateId, parent), ids_(std::move(ids)) {}

BOOL QvExportDlg::OnInitDialog() {
  const BOOL result = QvScrollDlg::OnInitDialog();
  CreateMenuBar(m_hWnd, kMenuBar);
  destination_.SubclassDlgItem(kDestinationField, this);
  CString folder;
  if (!GetLastExportDir(folder) || folder.IsEmpty()) folder = kDefaultFolder;
  SetDlgItemTextW(m_hWnd, kDestinationField, folder.GetString());
  return result;
}

std::wstring QvExportDlg::FieldText() const {
  const HWND field = ::GetDlgItem(m_hWnd, kDestinationField);
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
  return text;
}

void QvExportDlg::ChooseFolder() {
  std::wstring chosen;
  if (SelectExportFolder(m_hWnd, FieldText(), &chosen)) SetDlgItemTextW(m_hWnd, kDestinationField, chosen.c_str());
}

void QvExportDlg::OnOK() {
  const std::wstring folder = FieldText();
  if (folder.empty()) {
    EndDialog(IDCANCEL);
    return;
  }
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ShowWarningBoxRes(m_hWnd, kNoSuchFolderText);
    ::SetFocus(::GetDlgItem(m_hWnd, kDestinationField));
    return;
  }
  SetLastExportDir(folder.c_str());
  // The export's window and its outcome box sit over this dialog.
  ExportMessagesWithProgress(this, folder, ids_);
  EndDialog(IDOK);
}

LRESULT QvExportDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kChooseCommand && HIWORD(wParam) == BN_CLICKED) {
        ChooseFolder();
        return 0;
      }
      break;
    case kBackMessage: {
      // Back deletes while the field holds text; an empty one cancels.
      const HWND field = ::GetDlgItem(m_hWnd, kDestinationField);
      if (!(field && ::IsWindowEnabled(field) && ::GetWindowTextLengthW(field) > 0)) {
        ::PostMessageW(m_hWnd, WM_COMMAND, IDCANCEL, 0);
      }
      return 0;
    }
    default:
      break;
  }
  return QvScrollDlg::WindowProc(message, wParam, lParam);
}
