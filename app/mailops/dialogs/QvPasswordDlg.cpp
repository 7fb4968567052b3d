#include "app/mailops/dialogs/QvPasswordDlg.h"

#include <atomic>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/HandOffs.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/UiMenus.h"
#include "app/protocol/WindowMessages.h"
#include "engine/public/store/QvPhoneStatus.h"
#include "platform/base/WinFormat.h"
#include "platform/kernel/Debug.h"

namespace {

constexpr UINT kMenuBar = 151;
constexpr UINT kBadCharactersText = 20070;
constexpr unsigned kInputIndicatorItem = 22;
constexpr unsigned kPasswordInputMode = 6;

std::atomic<HWND> ShowingDialog{nullptr};

}  // namespace

QvPasswordDlg::QvPasswordDlg(CWnd* parent) : QvScrollDlg(kTemplateId, parent) {}

HWND QvPasswordDlg::Showing() { return ShowingDialog.load(); }

QvPasswordDlg::~QvPasswordDlg() {
  // A field still without its context gets it back before it goes.
  if (detached_ != nullptr && m_hWnd != nullptr) OnFieldFocusLost();
}

BOOL QvPasswordDlg::OnInitDialog() {
  const BOOL result = QvScrollDlg::OnInitDialog();
  // The whole screen above the soft keys, as every page of the program.
  SHINITDLGINFO init{SHIDIM_FLAGS, m_hWnd, SHIDIF_SIZEDLGFULLSCREEN};
  SHInitDialog(&init);
  SetWindowTextW(m_hWnd, kMainWindowTitle);
  CreateMenuBar(m_hWnd, kMenuBar);
  field_.SubclassDlgItem(kPasswordField, this);
  ::SendMessageW(::GetDlgItem(m_hWnd, kPasswordField), EM_LIMITTEXT, kMaxPassword, 0);
  SetDlgItemTextW(m_hWnd, kMessageStatic, message_.GetString());
  if (!showNote_) ::ShowWindow(::GetDlgItem(m_hWnd, kNoteStatic), SW_HIDE);
  ShowingDialog.store(m_hWnd);
  return result;
}

BOOL QvPasswordDlg::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_HELP) {
    OpenHelp();
    return TRUE;
  }
  return QvScrollDlg::PreTranslateMessage(msg);
}

void QvPasswordDlg::OnFieldFocus() {
  const unsigned indicator = GetPhoneStatus(kInputIndicatorItem);
  SetPhoneStatus(kInputIndicatorItem, (indicator & ~0xFu) | kPasswordInputMode);
  const HWND field = ::GetDlgItem(m_hWnd, kPasswordField);
  HIMC context = ImmGetContext(field);
  if (context != nullptr) {
    // No conversion: what is typed goes in as it is, in the sentence mode
    // the user had.
    DWORD conversion = 0;
    DWORD sentence = 0;
    ImmGetConversionStatus(context, &conversion, &sentence);
    ImmSetConversionStatus(context, 0, sentence);
    ImmReleaseContext(field, context);
  }
  if (detached_ == nullptr) detached_ = ImmAssociateContext(field, nullptr);
}

void QvPasswordDlg::OnFieldFocusLost() {
  OutputDebugStringW(L"--QvPasswordDlg::OnEnSetfocusEditPassword()\r\n");
  if (detached_ == nullptr) return;
  ImmAssociateContext(::GetDlgItem(m_hWnd, kPasswordField), detached_);
  detached_ = nullptr;
}

void QvPasswordDlg::OnOK() {
  const HWND field = ::GetDlgItem(m_hWnd, kPasswordField);
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
  // Printable ASCII only; and never empty, since the dialog is only asked
  // for when no password is saved (an empty one would mean "the saved one").
  bool acceptable = !text.empty();
  for (const wchar_t c : text) acceptable = acceptable && c >= 32 && c <= 126;
  if (!acceptable) {
    const CString format = LoadResString(kBadCharactersText);
    const std::wstring warning = qv::FormatW(format.GetString(), L"パスワード");
    ShowWarningBox(m_hWnd, warning.c_str());
    ::SetFocus(field);
    return;
  }
  password_ = text.c_str();
  EndDialog(IDOK);
}

LRESULT QvPasswordDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kPasswordField && HIWORD(wParam) == EN_SETFOCUS) {
        OnFieldFocus();
        return 0;
      }
      if (LOWORD(wParam) == kPasswordField && HIWORD(wParam) == EN_KILLFOCUS) {
        OnFieldFocusLost();
        return 0;
      }
      break;
    case kBackMessage: {
      const HWND field = ::GetDlgItem(m_hWnd, kPasswordField);
      if (!(field && ::IsWindowEnabled(field) && ::GetWindowTextLengthW(field) > 0)) EndDialog(IDCANCEL);
      return 0;
    }
    case kCloseRequestMessage:
      // The close goes on once the run that asked has ended as cancelled.
      EndDialog(IDCANCEL);
      return 0;
    case WM_DESTROY:
      if (detached_ != nullptr) OnFieldFocusLost();
      if (ShowingDialog.load() == m_hWnd) ShowingDialog.store(nullptr);
      break;
    default:
      break;
  }
  return QvScrollDlg::WindowProc(message, wParam, lParam);
}
