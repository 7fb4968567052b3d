#include "app/shell/mainframe/QvMainFrame.h"

#include <algorithm>

#include <vector>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/Contacts.h"
#include "app/foundation/HandOffs.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/QvMiddleError.h"
#include "app/foundation/StartFlags.h"
#include "app/foundation/UiMenus.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/AccountOperations.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/FolderOperations.h"
#include "app/mailops/MailTaskState.h"
#include "app/mailops/WindowRegistry.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/boxdlg/QvAccountSelector.h"
#include "app/shell/boxdlg/QvFolderListCtrl.h"
#include "app/shell/mainframe/AttachmentRequest.h"
#include "app/shell/mainframe/CommandLine.h"
#include "engine/public/store/QvAccountInfoInterface.h"
#include "platform/base/ScopedHandle.h"
#include "platform/framework/Framework.h"
#include "platform/kernel/Debug.h"
#include "platform/kernel/Sync.h"
#include "platform/shell/DeviceServices.h"
#include "platform/shell/MenuBar.h"

namespace {

constexpr const wchar_t* kNamedEnterAuto = L"MIS_EnterAutoRetrievere";
constexpr const wchar_t* kNamedLeaveAuto = L"MIS_LeaveAutoRetrievere";
constexpr const wchar_t* kNamedEnterUnattended = L"MIS_EnterUnattendedMode";
constexpr const wchar_t* kNamedLeaveUnattended = L"MIS_LeaveUnattendedMode";
constexpr const wchar_t* kNoAccountForMail = L"アカウント設定が無いため、メッセージを作成できません。";
constexpr const wchar_t* kNoCarrierAccount =
    L"Eメール(テラロ)アカウントが設定されていないため、受信できませんでした。\n"
    L"このボタンは、Eメール(テラロ)アカウントの受信のみを行います。";
constexpr const wchar_t* kAttachmentListFailed = L"添付ファイルの一覧を書き込めなかったため、メッセージを作成できません。";
constexpr const wchar_t* kArgumentsTooLong = L"指定された内容が長すぎるため、メッセージを作成できません。";
// "CmdArgs" is read back through a 4096-byte buffer: what does not fit is
// refused whole rather than cut.
constexpr size_t kMaxStoredArgs = 2047;

// The launcher's texts (items 0, 1 and 4 to 6); items 2 and 3 take the
// folder's own name.
constexpr const wchar_t* kReceiveBoxText = L"受信ﾎﾞｯｸｽ";
constexpr const wchar_t* kSendBoxText = L"送信ﾎﾞｯｸｽ";
constexpr const wchar_t* kNewMessageText = L"新規作成";
constexpr const wchar_t* kReceiveText = L"メール受信";
constexpr const wchar_t* kSettingsText = L"設定";

// Opens, sets and closes a named event another program waits on; nothing
// when nobody made it.
void SignalNamedEvent(LPCWSTR name) {
  qv::ScopedHandle event(OpenEventW(EVENT_ALL_ACCESS, FALSE, name));
  if (event) SetEvent(event.get());
}

HWND MainWindowHandle() {
  CWnd* main = AfxGetMainWnd();
  return main ? main->m_hWnd : nullptr;
}

// Asked quietly: a device with no data folder yet simply has no account.
std::vector<std::wstring> AccountNames() {
  std::vector<std::wstring> names;
  if (!QvAccountInfoInterface::GetAccountNameList(&names, L"")) names.clear();
  return names;
}

bool AnyAccount() { return !AccountNames().empty(); }

// The carrier's own account is set: the registry knows the carrier's
// contract ("cuscon") and some account is marked as the carrier's.
bool CarrierAccountSet() {
  CString cuscon;
  if (!ReadRegistryString(L"Jacket\\", L"cuscon", cuscon)) return false;
  for (const std::wstring& name : AccountNames()) {
    QvAccountSettings settings;
    if (LoadAccountSettings(name, &settings) && settings.bTaccount) return true;
  }
  return false;
}

bool Post(HWND target, UINT message, WPARAM wParam = 0) {
  return target && ::PostMessageW(target, message, wParam, 0);
}

}  // namespace

int ComeToFrontTries = 0;

MainFrameRunners& FrameRunners() {
  static MainFrameRunners runners;
  return runners;
}

void SetMainFrameStateBits(DWORD bits) {
  if (HWND main = MainWindowHandle()) ::SendMessageW(main, kSetStateBitsMessage, bits, 0);
}

void ClearMainFrameStateBits(DWORD bits) {
  if (HWND main = MainWindowHandle()) ::SendMessageW(main, kClearStateBitsMessage, bits, 0);
}

BEGIN_MESSAGE_MAP(QvMainFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_WM_SETFOCUS()
  ON_WM_SIZE()
  ON_WM_INITMENUPOPUP()
  ON_WM_SETTINGCHANGE()
  ON_WM_ACTIVATE()
  ON_WM_TIMER()
  ON_WM_CLOSE()
  ON_WM_ENABLE()
  ON_MESSAGE(kComposeFromArgsMessage, &QvMainFrame::OnComposeFromArgs)
  ON_MESSAGE(kRefreshMessage, &QvMainFrame::OnRefresh)
  ON_MESSAGE(kEnterAutoReceiveMessage, &QvMainFrame::OnEnterAutoReceive)
  ON_MESSAGE(kAccountListMessage, &QvMainFrame::OnAccountList)
  ON_MESSAGE(kSetStateBitsMessage, &QvMainFrame::OnSetStateBits)
  ON_MESSAGE(kClearStateBitsMessage, &QvMainFrame::OnClearStateBits)
  ON_MESSAGE(kTestStateBitsMessage, &QvMainFrame::OnTestStateBits)
  ON_MESSAGE(kGetStateWordMessage, &QvMainFrame::OnGetStateWord)
  ON_MESSAGE(kActiveWindowQueryMessage, &QvMainFrame::OnActiveWindowQuery)
  ON_MESSAGE(kOpenBoxFromArgsMessage, &QvMainFrame::OnOpenBoxFromArgs)
  ON_MESSAGE(kEnterUnattendedMessage, &QvMainFrame::OnEnterUnattended)
  ON_MESSAGE(kOpenAndComposeMessage, &QvMainFrame::OnOpenAndCompose)
  ON_MESSAGE(kClearContactCachesMessage, &QvMainFrame::OnClearContactCaches)
  ON_MESSAGE(kHandwrittenToMessage, &QvMainFrame::OnHandwrittenTo)
  ON_MESSAGE(kSelectLauncherItemMessage, &QvMainFrame::OnSelectLauncherItem)
  ON_MESSAGE(kAccountListChangedMessage, &QvMainFrame::OnAccountListChanged)
  ON_MESSAGE(kOpenReceiveBoxMessage, &QvMainFrame::OnOpenReceiveBox)
  ON_MESSAGE(kOpenSendBoxMessage, &QvMainFrame::OnOpenSendBox)
  ON_MESSAGE(kFramePingMessage, &QvMainFrame::OnFramePing)
  ON_MESSAGE(kComeToFrontMessage, &QvMainFrame::OnComeToFront)
  ON_MESSAGE(kCloseSequenceEndMessage, &QvMainFrame::OnHook)
  ON_COMMAND(kNewMessageCommand, &QvMainFrame::OnNewMessage)
  ON_COMMAND(kReceiveCommand, &QvMainFrame::OnReceive)
  ON_COMMAND(kSendOutboxCommand, &QvMainFrame::OnSendOutbox)
  ON_COMMAND(kSendReceiveCommand, &QvMainFrame::OnSendReceive)
  ON_COMMAND(kRulesCommand, &QvMainFrame::OnRules)
  ON_COMMAND(kImportCommand, &QvMainFrame::OnImport)
  ON_COMMAND(kVersionCommand, &QvMainFrame::OnVersion)
  ON_COMMAND_RANGE(kAccountCommandFirst, kAccountCommandLast, &QvMainFrame::OnAccountCommand)
  ON_UPDATE_COMMAND_UI_RANGE(kAccountCommandFirst, kAccountCommandLast, &QvMainFrame::OnUpdateAccountCommand)
  ON_CONTROL(CBN_SELENDOK, kAccountComboId, &QvMainFrame::OnAccountSelected)
  ON_NOTIFY(NM_CLICK, kLauncherListId, &QvMainFrame::OnLauncherOpen)
  ON_NOTIFY(NM_RETURN, kLauncherListId, &QvMainFrame::OnLauncherOpen)
END_MESSAGE_MAP()

QvMainFrame::QvMainFrame() = default;
QvMainFrame::~QvMainFrame() = default;

BOOL QvMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
  WNDCLASSW wc{};
  if (!GetClassInfoW(AfxGetInstanceHandle(), kMainFrameClass, &wc)) {
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hIcon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kMainFrameResource));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kMainFrameClass;
    if (!RegisterClassW(&wc)) return FALSE;
  }
  cs.lpszClass = kMainFrameClass;
  // The device's own bar shows the title: the frame draws no caption or border.
  cs.style &= ~(WS_CAPTION | WS_THICKFRAME | WS_SYSMENU);
  if (AutoReceiveStartFlag || UnattendedStartFlag) cs.style &= ~WS_VISIBLE;
  return CFrameWnd::PreCreateWindow(cs);
}

// The help key: the help viewer on the program's contents, then as usual.
BOOL QvMainFrame::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_HELP) OpenHelp();
  return CFrameWnd::PreTranslateMessage(msg);
}

LRESULT QvMainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // What other programs and windows asked, for the debug log.
  if ((message >= kComposeFromArgsMessage && message <= kComeToFrontMessage) || message == kCloseSequenceEndMessage ||
      message == kCloseRequestMessage) {
    NKDbgPrintfW(L"QvMainFrame <- 0x%x (%u)\n", message, static_cast<unsigned>(wParam));
  }
  if (IsCloseRequestMessage(message)) {
    // Only a return of the user after this request cancels it: the frame's
    // activation as a dialog that took an earlier request over ended is not one.
    CloseReactivatedFlag = false;
    // The dialogs that take the close over store their work first and set
    // the pending mark; the sequence then goes on when they pass it back.
    CloseForeignDialogs();
    if (!ClosePendingFlag) ::PostMessageW(m_hWnd, kCloseSequenceEndMessage, 0, 0);
    return 0;
  }
  return CFrameWnd::WindowProc(message, wParam, lParam);
}

BOOL QvMainFrame::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

int QvMainFrame::OnCreate(LPCREATESTRUCT cs) {
  foregroundDone_ = 0;
  foregroundTicks_ = 0;
  if (CFrameWnd::OnCreate(cs) == -1) return -1;
  SetWindowText(kMainWindowTitle);
  RecreateMenuBar();

  separator_.SetLineStyle(PS_SOLID);
  separator_.SetLineColor(kSystemColour | COLOR_WINDOWTEXT);
  separator_.SetBkColor(kSystemColour | COLOR_3DFACE);
  // The strip behind the combo: it paints around its siblings, below them.
  separator_.Create(L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), this, 0xFFFF);
  combo_ = std::make_unique<QvAccountSelector>();
  combo_->Create(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | CBS_DROPDOWNLIST, CRect(0, 0, 350, 400), this,
                 kAccountComboId);
  combo_->SetUp();
  launcher_ = std::make_unique<QvFolderListCtrl>();
  launcher_->Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(0, 46, 480, 800), this, kLauncherListId);
  launcher_->SetUp();
  launcher_->SetNeighbours(combo_.get(), combo_.get());
  ::SetWindowPos(separator_.m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  controlsMade_ = true;
  Layout();

  RefillAccounts();
  if (combo_->GetCount() > 0) {
    CString last;
    if (GetLastSelectAccount(last)) combo_->SelectByName(last);
    SwitchToSelectedAccount();
  } else {
    ::PostMessageW(m_hWnd, kAccountListMessage, 0, 0);
  }
  BuildAccountMenu();
  MainFrameWindow = this;
  SetMainWindow(this);
  RegisterWindow(this);
  return 0;
}

void QvMainFrame::OnDestroy() {
  UnregisterWindow(this);
  ShutdownMailOperations();
  KillTimer(kAutoReceiveTimer);
  KillTimer(kUnattendedTimer);
  KillTimer(kForegroundTimer);
  if (menuBar_ && ::IsWindow(menuBar_)) ::DestroyWindow(menuBar_);
  menuBar_ = nullptr;
  accountMenu_.DestroyMenu();
  if (launcher_ && launcher_->m_hWnd) launcher_->DestroyWindow();
  if (combo_ && combo_->m_hWnd) combo_->DestroyWindow();
  if (separator_.m_hWnd) separator_.DestroyWindow();
  if (MainFrameWindow == this) MainFrameWindow = nullptr;
  SetMainWindow(nullptr);
  CFrameWnd::OnDestroy();
}

void QvMainFrame::OnSetFocus(CWnd*) {
  if (launcher_ && launcher_->m_hWnd) launcher_->SetFocus();
}

void QvMainFrame::OnSize(UINT type, int, int) {
  if (type == SIZE_MINIMIZED) {
    KillTimer(kForegroundTimer);
    return;
  }
  if (!controlsMade_) {
    layoutAskedEarly_ = true;
    return;
  }
  Layout();
  if (layoutAskedEarly_) SetTimer(kForegroundTimer, kFrameTimerMs, nullptr);
}

void QvMainFrame::Layout() {
  if (!controlsMade_) return;
  if (combo_->GetDroppedState()) combo_->ShowDropDown(FALSE);
  CRect client;
  GetClientRect(&client);
  const int thickness = std::max(1, GetSystemMetrics(SM_CXBORDER));
  combo_->MoveWindow(0, (10 - thickness) / 2, 350, 400);
  separator_.MoveWindow(0, 0, client.Width(), 46);
  launcher_->MoveWindow(0, 46, client.Width(), std::max(0, client.Height() - 46));
  launcher_->SetColumnWidth(0, client.Width());
}

void QvMainFrame::OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu) {
  CFrameWnd::OnInitMenuPopup(popup, index, sysMenu);
  if (!popup || sysMenu) return;
  // The account item holds the accounts as a popup of its own.
  const int count = popup->GetMenuItemCount();
  for (int i = 0; i < count; ++i) {
    if (popup->GetMenuItemID(i) != kAccountMenuItem || !accountMenu_.m_hMenu) continue;
    CString text;
    popup->GetMenuString(i, text, MF_BYPOSITION);
    HMENU accounts = ::GetSubMenu(accountMenu_.m_hMenu, 0);
    if (accounts) popup->ModifyMenu(i, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(accounts), text);
  }
  UpdatePopupMenuCmdUI(this, popup->m_hMenu);
}

void QvMainFrame::OnSettingChange(UINT flags, LPCTSTR section) {
  CFrameWnd::OnSettingChange(flags, section);
  Layout();
}

void QvMainFrame::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  CFrameWnd::OnActivate(state, other, minimized);
  if (state == WA_INACTIVE) {
    const CString name = GetCurrentAccountName();
    if (!name.IsEmpty()) {
      const int unread = CountCurrentAccountUnread();
      if (unread >= 0) SetAccountNoRead(name, static_cast<DWORD>(unread));
    }
    return;
  }
  if (CloseRequestSeenFlag) CloseReactivatedFlag = true;
  if (!IsWindowVisible()) {
    ModifyStyle(WS_CAPTION, 0);
    ShowWindow(SW_SHOW);
  }
  // The user came: the program stays open when the background receive it
  // was started for ends.
  bool kept = false;
  if (AutoReceiveRunning() && AutoReceiveStartFlag) {
    AutoReceiveStartFlag = 0;
    kept = true;
  } else if (PeriodicReceiveRunning() && UnattendedStartFlag) {
    UnattendedStartFlag = 0;
    kept = true;
  }
  if (kept) CheckFreeSpace();
}

void QvMainFrame::OnTimer(UINT_PTR id) {
  switch (id) {
    case kAutoReceiveTimer:
      if (AutoReceiveRunning()) return;
      KillTimer(kAutoReceiveTimer);
      OutputDebugStringW(L"[QVMAIL] send Event <MIS_LeaveAutoRetrievere>\n");
      SignalNamedEvent(kNamedLeaveAuto);
      if (AutoReceiveStartFlag) CloseFrame();
      return;
    case kUnattendedTimer:
      if (PeriodicReceiveRunning()) return;
      KillTimer(kUnattendedTimer);
      OutputDebugStringW(L"[TVELA4 PM]Leave Unattended Mode...\n");
      SignalNamedEvent(kNamedLeaveUnattended);
      if (UnattendedStartFlag) CloseFrame();
      return;
    case kForegroundTimer: {
      if (AutoReceiveRunning()) {
        KillTimer(kForegroundTimer);
        return;
      }
      if (++foregroundTicks_ >= kForegroundTicks) {
        KillTimer(kForegroundTimer);
        return;
      }
      if (foregroundDone_ != 0) return;
      HWND front = ::GetForegroundWindow();
      WCHAR title[64] = {};
      if (front) ::GetWindowTextW(front, title, 64);
      if (front != m_hWnd && std::wstring(title) != kMainWindowTitle) {
        KillTimer(kForegroundTimer);
        OutputDebugStringW(L" --- QvMail SetForegroundWindow() --- !!\n");
        ::SetForegroundWindow(m_hWnd);
      }
      return;
    }
    default:
      CFrameWnd::OnTimer(id);
  }
}

void QvMainFrame::OnClose() { PostCloseRequest(); }

void QvMainFrame::OnEnable(BOOL enable) {
  if (!enable) return;
  if (refreshPending_) BuildLauncher();
  if (menuBarPending_) {
    menuBarPending_ = false;
    RecreateMenuBar();
  }
}

// ---- the protocol ----

LRESULT QvMainFrame::OnComposeFromArgs(WPARAM wParam, LPARAM) {
  ComposeFromArgs(static_cast<int>(wParam));
  return 0;
}

LRESULT QvMainFrame::OnRefresh(WPARAM, LPARAM) {
  if (IsWindowEnabled()) BuildLauncher();
  else refreshPending_ = true;
  return 0;
}

LRESULT QvMainFrame::OnEnterAutoReceive(WPARAM, LPARAM) {
  OutputDebugStringW(L"SetSystemPowerState << POWER_STATE_ON >>...\n");
  SetSystemPowerState(nullptr, POWER_STATE_ON, 0);
  SignalNamedEvent(kNamedEnterAuto);
  if (FrameRunners().startAutoReceive) FrameRunners().startAutoReceive();
  else StartAutoReceiveThread();
  SetTimer(kAutoReceiveTimer, kFrameTimerMs, nullptr);
  return 0;
}

LRESULT QvMainFrame::OnAccountList(WPARAM, LPARAM) {
  const std::weak_ptr<char> alive = life_;
  if (FrameRunners().accountList) FrameRunners().accountList(this);
  else ShowWarningBoxRes(m_hWnd, kStringNoAccount);
  if (alive.expired() || closing_) return 0;
  RefillAccounts();
  if (combo_->GetCount() > 0) {
    SwitchToSelectedAccount();
  } else {
    CloseFrame();
    return 0;
  }
  BuildAccountMenu();
  return 0;
}

LRESULT QvMainFrame::OnSetStateBits(WPARAM wParam, LPARAM) {
  stateWord_ |= static_cast<DWORD>(wParam);
  return 0;
}

LRESULT QvMainFrame::OnClearStateBits(WPARAM wParam, LPARAM) {
  stateWord_ &= ~static_cast<DWORD>(wParam);
  return 0;
}

LRESULT QvMainFrame::OnTestStateBits(WPARAM wParam, LPARAM) { return (stateWord_ & wParam) ? 1 : 0; }

LRESULT QvMainFrame::OnGetStateWord(WPARAM, LPARAM) { return stateWord_; }

// A pointer: only this process's windows ask (sends from elsewhere are refused).
LRESULT QvMainFrame::OnActiveWindowQuery(WPARAM, LPARAM) {
  return reinterpret_cast<LRESULT>(CWnd::GetActiveWindow());
}

LRESULT QvMainFrame::OnOpenBoxFromArgs(WPARAM, LPARAM) {
  OpenBoxFromArgs();
  return 0;
}

LRESULT QvMainFrame::OnEnterUnattended(WPARAM, LPARAM) {
  OutputDebugStringW(L"[TVELA4 PM]Enter Unattended Mode...\n");
  SignalNamedEvent(kNamedEnterUnattended);
  if (FrameRunners().startPeriodicReceive) FrameRunners().startPeriodicReceive();
  else StartPeriodicReceiveThread();
  SetTimer(kUnattendedTimer, kFrameTimerMs, nullptr);
  return 0;
}

// The box could not be opened: its warning was shown, and once is enough.
LRESULT QvMainFrame::OnOpenAndCompose(WPARAM wParam, LPARAM) {
  if (OpenBoxFromArgs()) ComposeFromArgs(static_cast<int>(wParam));
  return 0;
}

LRESULT QvMainFrame::OnClearContactCaches(WPARAM, LPARAM) {
  NotifyContactsChanged();
  return 0;
}

// The address comes from "CmdArgs", where the start that asked left it.
LRESULT QvMainFrame::OnHandwrittenTo(WPARAM, LPARAM) {
  CString address;
  if (!GetCmdArgs(address)) return 0;
  if (FrameRunners().newHandwritten) FrameRunners().newHandwritten(this, std::wstring(address));
  return 0;
}

LRESULT QvMainFrame::OnSelectLauncherItem(WPARAM wParam, LPARAM) {
  launcher_->SelectAndShow(wParam == 0 ? kLauncherReceiveBox : kLauncherSettings);
  launcher_->SetFocus();
  return 0;
}

LRESULT QvMainFrame::OnAccountListChanged(WPARAM wParam, LPARAM) {
  const CString current = GetCurrentAccountName();
  RefillAccounts();
  if (wParam) {
    OpenCurrentAccount(std::wstring(current));
    BuildLauncher();
  } else {
    combo_->SelectByName(current);
    SwitchToSelectedAccount();
  }
  BuildAccountMenu();
  if (IsWindowEnabled()) RecreateMenuBar();
  else menuBarPending_ = true;
  return 0;
}

LRESULT QvMainFrame::OnOpenReceiveBox(WPARAM, LPARAM) {
  if (FrameRunners().folderScreen) FrameRunners().folderScreen(this, kReceiveBox);
  return 0;
}

LRESULT QvMainFrame::OnOpenSendBox(WPARAM, LPARAM) {
  if (FrameRunners().folderScreen) FrameRunners().folderScreen(this, kSendBox);
  return 0;
}

LRESULT QvMainFrame::OnFramePing(WPARAM, LPARAM) { return 0; }

LRESULT QvMainFrame::OnComeToFront(WPARAM, LPARAM) {
  ++ComeToFrontTries;
  ::SetForegroundWindow(m_hWnd);
  HWND front = ::GetForegroundWindow();
  if (front == m_hWnd) {
    ComeToFrontTries = 0;
    ::PostMessageW(m_hWnd, kOpenBoxFromArgsMessage, 0, 0);
    return 0;
  }
  // Only a screen of this program is asked to step back; another program's
  // window is never sent anything.
  DWORD process = 0;
  const bool ours = front && ::GetWindowThreadProcessId(front, &process) && process == GetCurrentProcessId();
  const bool busy = (stateWord_ & kStateMessageWindowOpen) || (mode_ >= 0 && mode_ <= 3) || mode_ == kModeVersion;
  if (ours && busy && ComeToFrontTries <= 3) {
    ::SendMessageW(front, kBackMessage, 0, 0);
    ::PostMessageW(m_hWnd, kComeToFrontMessage, 0, 0);
    return 0;
  }
  ComeToFrontTries = 0;
  ShowWarningBoxRes(front, kStringOtherScreenBusy);
  return 0;
}

LRESULT QvMainFrame::OnHook(WPARAM, LPARAM) {
  OutputDebugStringW(L" --- QvMainFrame::OnHook()\n");
  KillTimer(kForegroundTimer);
  foregroundTicks_ = kForegroundTicks;
  const bool stay = CloseReactivatedFlag;
  ClosePendingFlag = false;
  CloseRequestSeenFlag = false;
  CloseReactivatedFlag = false;
  if (stay) return 0;
  if (AutoReceiveRunning()) AutoReceiveStartFlag = 1;
  else if (PeriodicReceiveRunning()) UnattendedStartFlag = 1;
  else CloseFrame();
  return 0;
}

// ---- commands ----

void QvMainFrame::OnNewMessage() {
  mode_ = kModeNewMessage;
  if (FrameRunners().newMessage) FrameRunners().newMessage(this);
}

void QvMainFrame::OnReceive() {
  mode_ = kModeReceiveSend;
  if (FrameRunners().receive) FrameRunners().receive(this);
}

void QvMainFrame::OnSendOutbox() {
  if (CountOutboxMessages() <= 0) {
    ShowQvMiddleError(0x2002110, m_hWnd, nullptr);
    return;
  }
  mode_ = kModeReceiveSend;
  if (FrameRunners().sendOutbox) FrameRunners().sendOutbox(this);
}

void QvMainFrame::OnSendReceive() {
  if (FrameRunners().sendAndReceive) FrameRunners().sendAndReceive(this);
}

void QvMainFrame::OnRules() {
  const CString account = combo_->GetCurrentName();
  if (account.IsEmpty()) return;
  const std::weak_ptr<char> alive = life_;
  if (FrameRunners().classificationRules) FrameRunners().classificationRules(this, std::wstring(account));
  if (!alive.expired() && !closing_) OpenCurrentAccount(std::wstring(account));
}

void QvMainFrame::OnImport() {
  if (FrameRunners().import) FrameRunners().import(this);
}

void QvMainFrame::OnVersion() {
  mode_ = kModeVersion;
  if (FrameRunners().version) FrameRunners().version(this);
}

void QvMainFrame::OnAccountCommand(UINT id) {
  combo_->SetCurSel(static_cast<int>(id - kAccountCommandFirst));
  SwitchToSelectedAccount();
}

void QvMainFrame::OnUpdateAccountCommand(CCmdUI* cmd) {
  cmd->Enable(TRUE);
  cmd->SetCheck(combo_ && static_cast<int>(cmd->m_nID - kAccountCommandFirst) == combo_->GetCurSel());
}

void QvMainFrame::OnAccountSelected() { SwitchToSelectedAccount(); }

void QvMainFrame::OnLauncherOpen(NMHDR*, LRESULT* result) {
  OpenLauncherItem(launcher_->GetSelectedIndex());
  *result = 0;
}

// ---- the launcher and the accounts ----

// No account is no failure here: the engine's empty list is not shown as
// an error, and the combo is left empty.
void QvMainFrame::RefillAccounts() {
  if (AnyAccount()) combo_->Refill();
  else combo_->ResetContent();
}

void QvMainFrame::SwitchToSelectedAccount() {
  const CString name = combo_->GetCurrentName();
  if (name.IsEmpty()) return;
  SetLastSelectAccount(name);
  OpenCurrentAccount(std::wstring(name));
  BuildLauncher();
  launcher_->SelectAndShow(kLauncherReceiveBox);
}

void QvMainFrame::BuildLauncher() {
  if (!launcher_ || !launcher_->m_hWnd) return;
  const int selected = launcher_->GetSelectedIndex();
  launcher_->ClearItems();
  int index = 0;
  for (int kind = kReceiveBox; kind <= kOutbox; ++kind) {
    QvFolderItem item;
    if (!GetSystemFolderItem(kind, &item)) continue;
    int count = item.unread;
    if (kind == kReceiveBox || kind == kSendBox) {
      // A sum needs no order: the order file is not read for it.
      std::vector<QvFolderItem> children;
      if (GetBoxFolderItems(item.folderId, &children)) {
        for (const QvFolderItem& child : children) count += child.unread;
      }
    }
    const CString text = kind == kReceiveBox ? CString(kReceiveBoxText)
                         : kind == kSendBox  ? CString(kSendBoxText)
                                             : item.name;
    launcher_->AddItem(index++, text, 0, count, true, item.folderId);
  }
  launcher_->AddItem(index++, kNewMessageText, 1, 0, false, static_cast<DWORD_PTR>(-1));
  launcher_->AddItem(index++, kReceiveText, 2, 0, false, static_cast<DWORD_PTR>(-1));
  launcher_->AddItem(index++, kSettingsText, 3, 0, false, static_cast<DWORD_PTR>(-1));
  if (selected >= 0) launcher_->SelectAndShow(selected);
  // The counts live beside the rows: rows of the same text show new ones only
  // when painted again.
  launcher_->Invalidate();
  refreshPending_ = false;
}

void QvMainFrame::BuildAccountMenu() {
  accountMenu_.DestroyMenu();
  if (!accountMenu_.LoadMenu(kAccountMenu)) return;
  HMENU accounts = ::GetSubMenu(accountMenu_.m_hMenu, 0);
  if (!accounts) return;
  ClearMenu(accounts);
  for (int i = 0; combo_ && i < combo_->GetCount() && i <= static_cast<int>(kAccountCommandLast - kAccountCommandFirst);
       ++i) {
    CString name;
    combo_->GetLBText(i, name);
    ::AppendMenuW(accounts, MF_STRING, kAccountCommandFirst + i, name);
  }
}

void QvMainFrame::RecreateMenuBar() {
  if (menuBar_ && ::IsWindow(menuBar_)) ::DestroyWindow(menuBar_);
  menuBar_ = nullptr;
  if (CreateMenuBar(m_hWnd, kMainMenuBar)) menuBar_ = SHFindMenuBar(m_hWnd);
}

void QvMainFrame::OpenLauncherItem(int index) {
  if (index < 0) return;
  // Items 0-3 are the folders that could be read, in kind order.
  const DWORD_PTR data = launcher_->GetItemKey(index);
  const int count = launcher_->GetItemCount();
  const int fixed = count - 3;  // new message, receive, settings
  const std::weak_ptr<char> alive = life_;
  if (index < fixed) {
    int kind = kReceiveBox;
    for (; kind <= kOutbox; ++kind) {
      DWORD id = 0;
      if (GetSystemFolderId(kind, &id) && id == data) break;
    }
    if (kind == kReceiveBox || kind == kSendBox) {
      mode_ = kModeBox;
      if (FrameRunners().folderScreen) FrameRunners().folderScreen(this, kind);
    } else if (kind <= kOutbox) {
      mode_ = kind == kDrafts ? kModeDrafts : kModeOutbox;
      if (FrameRunners().mailList) FrameRunners().mailList(this, static_cast<DWORD>(data));
    }
  } else if (index == fixed) {
    OnNewMessage();
  } else if (index == fixed + 1) {
    OnReceive();
  } else if (index == fixed + 2) {
    mode_ = kModeSettings;
    if (FrameRunners().settings) FrameRunners().settings(this);
  }
  if (!alive.expired() && launcher_->m_hWnd) launcher_->SetFocus();
}

bool QvMainFrame::OpenBoxFromArgs() {
  ::SetForegroundWindow(m_hWnd);
  HWND front = ::GetForegroundWindow();
  if (front != m_hWnd) {
    ShowWarningBoxRes(front, kStringOtherScreenBusy);
    return false;
  }
  CString last;
  if (GetLastSelectAccount(last)) {
    combo_->SelectByName(last);
    SwitchToSelectedAccount();
  }
  CString args;
  if (GetCmdArgs(args)) {
    if (args == L"-recvbox") ::PostMessageW(m_hWnd, kOpenReceiveBoxMessage, 0, 0);
    else if (args == L"-sendbox") ::PostMessageW(m_hWnd, kOpenSendBoxMessage, 0, 0);
  }
  return true;
}

void QvMainFrame::ComposeFromArgs(int kind) {
  HWND front = ::GetForegroundWindow();
  if (front && front != m_hWnd && stateWord_ != 1) {
    ShowWarningBoxRes(front, AnyAccount() ? kStringOtherScreenBusy : kStringNoAccount);
    return;
  }
  if (combo_->GetCount() <= 0) {
    ShowWarningBoxRes(m_hWnd, kStringNoAccount);
    return;
  }
  CString args;
  GetCmdArgs(args);
  if (CloseRequestSeenFlag) CloseReactivatedFlag = true;
  if (AutoReceiveRunning()) AutoReceiveStartFlag = 0;
  if (PeriodicReceiveRunning()) UnattendedStartFlag = 0;
  if (FrameRunners().composeFromArgs) FrameRunners().composeFromArgs(this, kind, std::wstring(args));
}

bool QvMainFrame::AutoReceiveRunning() const {
  return FrameRunners().autoReceiveRunning ? FrameRunners().autoReceiveRunning() : IsAutoReceiveThreadRunning();
}

bool QvMainFrame::PeriodicReceiveRunning() const {
  return FrameRunners().periodicReceiveRunning ? FrameRunners().periodicReceiveRunning()
                                               : IsPeriodicReceiveThreadRunning();
}

void QvMainFrame::CloseFrame() {
  closing_ = true;
  DestroyWindow();
}

bool QvMainFrame::CheckFreeSpace() {
  ULARGE_INTEGER free{};
  if (GetDiskFreeSpaceExW(L"\\", &free, nullptr, nullptr) && free.QuadPart >= kMinimumFreeSpace) return true;
  ShowWarningBoxRes(MainWindowHandle(), kStringLowSpace);
  return false;
}

int QvMainFrame::ProcessOwnCmdLine() { return ProcessCmdLine(m_hWnd); }

// ---- the command line ----

int QvMainFrame::ProcessCmdLine(HWND target, LPCWSTR line) {
  if (!line) {
    CWinApp* app = AfxGetApp();
    line = app && app->m_lpCmdLine ? app->m_lpCmdLine : L"";
  }
  NKDbgPrintfW(L"QvMainFrame::ProcessCmdLine [%s]\n", line);
  const CommandLineRequest request = ParseCommandLine(line);
  switch (request.whole) {
    case WholeCommand::kEmpty:
      Post(target, kClearContactCachesMessage);
      return 1;
    case WholeCommand::kReceiveTaccount:
      if (!CarrierAccountSet()) {
        ShowWarningBox(target ? target : MainWindowHandle(), kNoCarrierAccount);
        return 0;
      }
      [[fallthrough]];
    case WholeCommand::kReceiveTmail:
      if (!target) {
        AutoReceiveStartFlag = 1;
        return 1;
      }
      Post(target, kEnterAutoReceiveMessage);
      return 0;
    case WholeCommand::kUnattended:
      if (!target) {
        UnattendedStartFlag = 1;
        return 1;
      }
      Post(target, kEnterUnattendedMessage);
      return 0;
    case WholeCommand::kTokens:
      break;
  }
  if (!request.stoppedAt.empty() && !request.hasSetAddress) {
    NKDbgPrintfW(L"QvMainFrame::ProcessCmdLine: not understood from [%s]\n", request.stoppedAt.c_str());
  }

  std::wstring account = request.account;
  bool hasAccount = request.hasAccount;
  if (!request.box.empty() && target) {
    CString last;
    if (hasAccount || GetLastSelectAccount(last)) {
      SetCmdArgs(request.box.c_str());
      if (!hasAccount) {
        account = std::wstring(last);
        hasAccount = true;
      }
    }
  }
  if (request.hasSetAddress && target) {
    // Only integers go to the running copy; the address waits in the registry.
    if (SetCmdArgs(request.setAddress.c_str())) Post(target, kHandwrittenToMessage);
    return 1;
  }
  if (request.hasMailto) {
    if (!AnyAccount()) {
      ShowWarningBox(target ? target : MainWindowHandle(), kNoAccountForMail);
      return 0;
    }
    // The list is made only for the copy that will read it: a first start
    // reads its command line again once its frame stands.
    std::wstring listPath;
    if (target && !request.attachments.empty()) {
      if (WriteAttachmentList(request.attachments, &listPath) == AttachmentListResult::kWriteFailed) {
        ShowErrorBox(target, kAttachmentListFailed);
        return 0;
      }
    }
    const std::wstring args = JoinComposeArgs(request.mailto, listPath);
    if (args.size() > kMaxStoredArgs) {
      if (!listPath.empty()) DeleteFileW(listPath.c_str());
      ShowWarningBox(target ? target : MainWindowHandle(), kArgumentsTooLong);
      return 0;
    }
    if (!SetCmdArgs(args.c_str())) {
      if (!listPath.empty()) DeleteFileW(listPath.c_str());
      return 1;
    }
    UINT message = kComposeFromArgsMessage;
    if (hasAccount) message = SetLastSelectAccount(account.c_str()) ? kOpenAndComposeMessage : 0;
    if (message) Post(target, message, static_cast<WPARAM>(request.Kind()));
  } else if (hasAccount && SetLastSelectAccount(account.c_str())) {
    Post(target, kComeToFrontMessage);
  }
  return 1;
}
