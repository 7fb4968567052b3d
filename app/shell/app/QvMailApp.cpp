#include "app/shell/app/QvMailApp.h"

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/PictureText.h"
#include "app/foundation/ProgramScreen.h"
#include "app/foundation/QvPictureCharBitmap.h"
#include "app/foundation/StartFlags.h"
#include "app/foundation/QvSinglePropertySheet.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/ImportExportOperations.h"
#include "app/mailops/NotifySinks.h"
#include "app/mailops/ReceiveSendOperations.h"
#include "app/mailops/RunWithProgress.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/account/QvSetAccountMenuPage.h"
#include "app/shell/folderorder/QvSortFolderPage.h"
#include "app/shell/history/QvMailHistoryDlg.h"
#include "app/shell/mailbox/QvMailBoxDlg.h"
#include "app/shell/maillist/MailListSheets.h"
#include "app/shell/maillist/QvMailListDlg.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "app/shell/receive/QvSetRegularRecvSheet.h"
#include "app/shell/rules/QvSetAccountClassifyPage.h"
#include "app/shell/settingbox/QvSettingBoxDlg.h"
#include "app/shell/targetfolder/QvSetTargetFolderPage.h"
#include "app/shell/version/QvVersionDlg.h"
#include "outside/Markwright/HtmlEditCtrl.h"
#include "platform/com/Com.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/base/WinFormat.h"
#include "platform/framework/Framework.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Library.h"
#include "platform/kernel/Sync.h"
#include "platform/net/Winsock.h"
#include "platform/shell/MenuBar.h"
#include "platform/shell/ShellUi.h"

namespace {

// The frame's usual style, and with it minimized for a start that only receives.
constexpr DWORD kFrameStyle = 0x00CF8000;
constexpr DWORD kHiddenFrameStyle = 0x20CF8000;

bool HasClass(HWND hwnd, const wchar_t* name) {
  WCHAR cls[256] = {};
  return ::GetClassNameW(hwnd, cls, 256) > 0 && qv::FoldCase(std::wstring_view(cls)) == qv::FoldCase(name);
}

bool IsEditable(HWND hwnd) {
  const bool edit = HasClass(hwnd, L"Edit") || HasClass(hwnd, L"HtmlEditCtrl") || HasClass(hwnd, L"RICHEDIT50W");
  return edit && !(::GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY);
}

}  // namespace

QvMailApp::QvMailApp() : CWinApp(nullptr) {}

void InstallScreenRunners() {
  MainFrameRunners& r = FrameRunners();
  r.folderScreen = [](CWnd* frame, int boxKind) {
    QvMailBoxDlg screen(boxKind == 0 ? L"受信ﾎﾞｯｸｽ" : L"送信ﾎﾞｯｸｽ", boxKind, frame);
    screen.DoModal();
  };
  // A folder's mail list, from the launcher and from the folder screen.
  r.mailList = [](CWnd* frame, DWORD folderId) { OpenMailList(folderId, frame); };
  QvMailBoxDlg::SetMailListRunner([](CWnd* screen, DWORD folderId) { OpenMailList(folderId, screen); });
  InstallMailListSheets();
  r.settings = [](CWnd* frame) {
    QvSettingBoxDlg screen(L"設定", frame);
    screen.DoModal();
  };
  // Receiving and sending run behind the progress window.
  r.receive = [](CWnd* frame) { ReceiveAccountWithProgress(frame, nullptr); };
  r.sendOutbox = [](CWnd* frame) { SendMessagesWithProgress(frame, {}); };
  r.sendAndReceive = [](CWnd* frame) { SendAndReceiveWithProgress(frame); };
  // The account's classification rules, stored on OK (the frame then reopens the account).
  r.classificationRules = [](CWnd* frame, const std::wstring& account) {
    if (!LoadClassificationRules()) return;
    std::vector<QvClassificationRuleRow> rules;
    GetClassificationRules(&rules);
    const std::wstring caption = qv::FormatW(L"%s：%s", LoadResString(kStringRulesCaption).GetString(), account.c_str());
    QvSinglePropertySheet sheet(caption.c_str(), frame);
    sheet.SetupPage(caption, new QvSetAccountClassifyPage(&rules, account));
    if (sheet.DoModal() == IDOK) SaveClassificationRules(rules);
  };
  // The import: the target folder (an existing one, or one made now), then the files.
  r.import = [](CWnd* frame) {
    const CString caption = LoadResString(kStringImportCaption);
    QvSinglePropertySheet sheet(caption, frame);
    auto* page = new QvSetTargetFolderPage;
    page->existingText = L"既存のフォルダにインポートする";
    page->newText = L"フォルダを新規作成してインポートする";
    sheet.SetupPage(caption.GetString(), page);
    if (sheet.DoModal() != IDOK) return;
    DWORD target = page->folderId;
    if (page->mode == QvSetTargetFolderPage::kNewFolder && !CreateSubFolder(page->parentId, page->newName, &target)) {
      return;
    }
    ImportMessagesToFolder(frame, target);
  };
  // The launcher's option settings: periodic and round receiving.
  QvSettingBoxDlg::InstalledActions().periodicSettings = [](CWnd* parent) {
    QvSetRegularRecvSheet sheet(parent);
    sheet.DoModal();
  };
  // The account list, from the frame (no account yet) and from the settings launcher.
  r.accountList = [](CWnd* frame) { RunAccountListSheet(frame); };
  QvSettingBoxDlg::InstalledActions().accountList = [](CWnd* parent, const CString&) { RunAccountListSheet(parent); };
  // The version dialog, the folder order page and the histories (the
  // address chooser's receive and send history sources).
  InstallVersionDialog();
  InstallFolderOrderPage();
  InstallHistoryScreen();
}

bool LoadProgramLibraries(HMODULE* resources, HMODULE* richEdit, const wchar_t** failure) {
  *resources = LoadLibraryW(L"QvMailRes.dll");
  if (!*resources) {
    *failure = kNoResourceLibrary;
    return false;
  }
  AfxSetResourceHandle(*resources);
  *richEdit = LoadLibraryW(L"riched20.dll");
  if (!*richEdit) {
    *failure = kNoRichEdit;
    return false;
  }
  return true;
}

BOOL QvMailApp::InitApplication() {
  const BOOL kept = CWinApp::InitApplication();
  const AfxDeviceType device = AfxGetDeviceType();
  if (device != AfxDevicePocketPC && device != AfxDeviceSmartphone) return kept;
  qv::ScopedHandle mutex(CreateMutexW(nullptr, FALSE, qv::afx::SingleInstanceName().c_str()));
  if (!mutex) return kept;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  WaitForSingleObject(mutex.get(), INFINITE);
  HWND target = nullptr;
  if (existed) {
    if (!qv::afx::FindRunningCopy(runningCopyTries, runningCopyStepMs)) {
      // No window to hand over to: the line counts as a first start's.
      const int result = QvMainFrame::ProcessCmdLine(nullptr);
      ReleaseMutex(mutex.get());
      return result;
    }
    target = ::FindWindowW(L"WCE_QvMailMainFrame", kMainWindowTitle);
  }
  const int result = QvMainFrame::ProcessCmdLine(target);
  ReleaseMutex(mutex.get());
  return result;
}

BOOL QvMailApp::InitInstance() {
  // The program's own libraries load before the screen's thread begins:
  // the loader takes one library at a time, and the fifty of the desktop's
  // display library would keep these, and the frame, waiting. A missing one
  // is told below, once it is known whether there is a screen to tell it on.
  const wchar_t* failure = nullptr;
  const bool libraries = LoadProgramLibraries(&resources_, &richEdit_, &failure);
  // The pictograph sets: without one, text shows U+3013 for its characters.
  if (libraries) LoadPictureCharLibraries();
  // The screen opens beside the making of the frame, which needs it only
  // when the frame is shown; where there will be none the start ends now.
  if (!BeginScreen() && !EnsureScreen()) {
    exitCode_ = kExitNoScreen;
    return FALSE;
  }
  SHInitExtraControls();
  WSADATA wsa{};
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
    const CString text = LoadResString(kStringSocketsFailed);
    AfxMessageBox(text.IsEmpty() ? L"Unable to start the network" : static_cast<LPCWSTR>(text));
    return FALSE;
  }
  sockets_ = true;
  AfxEnableControlContainer();
  com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  SetRegistryKey(kFrameworkRegistryKey);

  // Without its texts and dialogs, or its editor, the program could only
  // fail later in every screen: it says so now and does not start.
  if (!libraries) {
    exitCode_ = kExitMissingLibrary;
    std::fprintf(stderr, "QvMail: %s: the program does not start\n", qv::WideToUtf8(failure).c_str());
    EnsureScreen();  // the box is shown on the screen where there is one
    ::MessageBoxW(nullptr, failure, L"QvMail", MB_OK | MB_ICONERROR);
    return FALSE;
  }

  // The HTML edit control draws text with pictographs as every other text
  // control of the program does.
  static const HtmlEditTextPainter kPictureTextPainter = {FitPictureText, DrawPictureText};
  SetHtmlEditTextPainter(&kPictureTextPainter);
  InitializeHtmlEditCtrl(AfxGetInstanceHandle(), 0);
  InstallScreenRunners();
  // The tasks and the background threads run the receive and send work.
  InstallReceiveSendOperations();
  InstallImportExportOperations();
  auto* frame = new QvMainFrame;
  m_pMainWnd = frame;
  const bool background = AutoReceiveStartFlag || UnattendedStartFlag;
  if (!frame->LoadFrame(kMainFrameResource, background ? kHiddenFrameStyle : kFrameStyle)) {
    m_pMainWnd = nullptr;
    return FALSE;
  }
  if (!EnsureScreen()) {
    exitCode_ = kExitNoScreen;
    return FALSE;  // the frame goes with the failed start
  }
  if (UnattendedStartFlag) UnattendedStartFlag = 1;
  frame->ShowWindow(SW_MINIMIZE);
  if (!background) {
    frame->ShowWindow(SW_SHOWNORMAL);
    frame->UpdateWindow();
    OutputDebugStringW(L"QvMail: launcher shown\n");
    QvMainFrame::CheckFreeSpace();
  }
  frame->ProcessOwnCmdLine();
  return TRUE;
}

int QvMailApp::ExitInstance() {
  TerminateHtmlEditCtrl();
  FreePictureCharLibraries();
  if (com_) CoUninitialize();
  com_ = false;
  if (sockets_) WSACleanup();
  sockets_ = false;
  const int code = CWinApp::ExitInstance();
  return exitCode_ ? exitCode_ : code;
}

BOOL QvMailApp::OnIdle(LONG count) {
  // In use while one of the program's windows is the active one, as the
  // main frame answers the active-window query.
  SetProgramInUse(::GetActiveWindow() != nullptr);
  return CWinApp::OnIdle(count);
}

BOOL QvMailApp::PreTranslateMessage(MSG* msg) {
  if (qv::shell::TranslateSoftKey(msg)) return TRUE;
  if (RouteBackKey(msg)) return TRUE;
  return CWinApp::PreTranslateMessage(msg);
}

bool RouteBackKey(const MSG* msg) {
  if (msg->message != WM_KEYDOWN || msg->wParam != VK_BACK || !msg->hwnd) return false;
  if (IsEditable(msg->hwnd)) return false;
  bool topFound = false;
  for (HWND w = msg->hwnd; w; w = ::GetParent(w)) {
    HWND parent = ::GetParent(w);
    if (!topFound && parent && (!::IsWindowEnabled(parent) || HasClass(parent, L"WCE_QvMailMainFrame"))) {
      topFound = true;
    }
    if (topFound && HasClass(w, L"Dialog")) {
      ::SendMessageW(w, kBackMessage, 0, 0);
      return true;
    }
  }
  return false;
}

void CenterWindowInParent(CWnd* window, int width, int height) {
  if (!window || !window->m_hWnd) return;
  HWND parent = ::GetParent(window->m_hWnd);
  RECT area{};
  if (parent) ::GetWindowRect(parent, &area);
  else area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int x = ((area.right - area.left) - width) / 2;
  const int y = area.top + ((area.bottom - area.top) - height) / 2;
  ::SetWindowPos(window->m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_FRAMECHANGED);
}
