// The program's one top-level window: the launcher of the current account
// (its boxes and folders with their unread counts, compose, receive,
// settings), the account combo above it, and the protocol of private
// messages the program's windows, its background receive threads and other
// programs speak with it (app/protocol/WindowMessages.h). It takes every
// start's command line, starts and ends the automatic and unattended
// receives, comes to the front on request and runs the close sequence:
//
//   0x632 (close request) -> the process's dialogs closed, or taking it over
//   -> WM_APP+3 -> the frame destroyed, unless a background receive still
//   runs (it then closes at that receive's end) or the user came back.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/foundation/QvStaticLine.h"
#include "platform/framework/CFrameWnd.h"
#include "platform/framework/CMenu.h"

class QvFolderListCtrl;
class QvAccountSelector;

constexpr const wchar_t* kMainFrameClass = L"QvMailMainFrame";
constexpr UINT kMainFrameResource = 147;
constexpr UINT kMainMenuBar = 165;
constexpr UINT kAccountMenu = 145;
constexpr UINT kAccountComboId = 1025;
constexpr UINT kLauncherListId = 1078;
// The frame's timers: the automatic receive's end, the unattended receive's
// end, coming to the front after the start.
constexpr UINT_PTR kAutoReceiveTimer = 3;
constexpr UINT_PTR kUnattendedTimer = 4;
constexpr UINT_PTR kForegroundTimer = 5;
constexpr UINT kFrameTimerMs = 300;
constexpr int kForegroundTicks = 11;
// Free space a normal start asks for.
constexpr ULONGLONG kMinimumFreeSpace = 0x100000;
// The launcher's items.
enum LauncherItem : int {
  kLauncherReceiveBox = 0,
  kLauncherSendBox = 1,
  kLauncherDrafts = 2,
  kLauncherOutbox = 3,
  kLauncherNewMessage = 4,
  kLauncherReceive = 5,
  kLauncherSettings = 6,
};
// Which launcher action ran last.
enum FrameMode : int {
  kModeNone = -1,
  kModeBox = 1,
  kModeDrafts = 2,
  kModeOutbox = 3,
  kModeNewMessage = 4,
  kModeReceiveSend = 5,
  kModeSettings = 6,
  kModeVersion = 7,
};
// Warnings by string id.
constexpr UINT kStringSocketsFailed = 20001;
constexpr UINT kStringOtherScreenBusy = 20033;
constexpr UINT kStringNoAccount = 20034;
constexpr UINT kStringLowSpace = 20071;
constexpr UINT kStringRulesCaption = 20156;
constexpr UINT kStringImportCaption = 20168;

// What the frame opens that other screens and operations of the program do;
// each is installed by the part that owns it when the program starts (an
// empty one does nothing). The frame runs them on the UI thread.
struct MainFrameRunners {
  std::function<void(CWnd* frame, int boxKind)> folderScreen;
  std::function<void(CWnd* frame, DWORD folderId)> mailList;
  std::function<void(CWnd* frame)> settings;
  std::function<void(CWnd* frame)> newMessage;
  // The message window on the stored arguments ("CmdArgs") with the kind.
  std::function<void(CWnd* frame, int kind, const std::wstring& args)> composeFromArgs;
  std::function<void(CWnd* frame, const std::wstring& address)> newHandwritten;
  std::function<void(CWnd* frame)> receive;
  std::function<void(CWnd* frame)> sendOutbox;
  std::function<void(CWnd* frame)> sendAndReceive;
  // The account list sheet; the frame refills its combo afterwards.
  std::function<void(CWnd* frame)> accountList;
  std::function<void(CWnd* frame, const std::wstring& account)> classificationRules;
  std::function<void(CWnd* frame)> import;
  std::function<void(CWnd* frame)> version;
  // The background receive threads; true when one started. Unset, the mail
  // operations' own threads start.
  std::function<bool()> startAutoReceive;
  std::function<bool()> startPeriodicReceive;
  // Whether they still run (the mail operations' threads unless replaced).
  std::function<bool()> autoReceiveRunning;
  std::function<bool()> periodicReceiveRunning;
};
MainFrameRunners& FrameRunners();

class QvMainFrame : public CFrameWnd {
 public:
  QvMainFrame();
  ~QvMainFrame() override;

  // The command line of a start: `target` is the running copy's main window
  // or null (a first start), `line` the arguments (the application's own
  // when null). 0 tells the caller to end this process.
  static int ProcessCmdLine(HWND target, LPCWSTR line = nullptr);
  int ProcessOwnCmdLine();
  // At least kMinimumFreeSpace free on the root volume; else warning 20071.
  static bool CheckFreeSpace();

  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

  // State a test or the other windows read.
  DWORD StateWord() const { return stateWord_; }
  int Mode() const { return mode_; }
  bool IsClosing() const { return closing_; }
  QvFolderListCtrl* Launcher() const { return launcher_.get(); }
  QvAccountSelector* AccountCombo() const { return combo_.get(); }
  HWND MenuBar() const { return menuBar_; }

 protected:
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnDestroy();
  afx_msg void OnSetFocus(CWnd* old);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  afx_msg void OnSettingChange(UINT flags, LPCTSTR section);
  afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnClose();
  afx_msg void OnEnable(BOOL enable);
  afx_msg LRESULT OnComposeFromArgs(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnRefresh(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnEnterAutoReceive(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnAccountList(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSetStateBits(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnClearStateBits(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnTestStateBits(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnGetStateWord(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnActiveWindowQuery(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOpenBoxFromArgs(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnEnterUnattended(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOpenAndCompose(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnClearContactCaches(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnHandwrittenTo(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSelectLauncherItem(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnAccountListChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOpenReceiveBox(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOpenSendBox(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnFramePing(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnComeToFront(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnHook(WPARAM wParam, LPARAM lParam);
  afx_msg void OnNewMessage();
  afx_msg void OnReceive();
  afx_msg void OnSendOutbox();
  afx_msg void OnSendReceive();
  afx_msg void OnRules();
  afx_msg void OnImport();
  afx_msg void OnVersion();
  afx_msg void OnAccountCommand(UINT id);
  afx_msg void OnUpdateAccountCommand(CCmdUI* cmd);
  afx_msg void OnAccountSelected();
  afx_msg void OnLauncherOpen(NMHDR* nm, LRESULT* result);

  DECLARE_MESSAGE_MAP()

 private:
  void Layout();
  void RefillAccounts();
  void SwitchToSelectedAccount();
  void BuildLauncher();
  void BuildAccountMenu();
  void RecreateMenuBar();
  void OpenLauncherItem(int index);
  bool OpenBoxFromArgs();
  void ComposeFromArgs(int kind);
  bool AutoReceiveRunning() const;
  bool PeriodicReceiveRunning() const;
  // The frame destroys itself (closing flag set first).
  void CloseFrame();

  HWND menuBar_ = nullptr;
  QvStaticLine separator_;
  std::unique_ptr<QvAccountSelector> combo_;
  std::unique_ptr<QvFolderListCtrl> launcher_;
  CMenu accountMenu_;
  bool refreshPending_ = false;
  bool menuBarPending_ = false;
  DWORD stateWord_ = 0;
  bool closing_ = false;
  // Screens run modally from the frame's handlers; a close during one may
  // end the frame, object and all. A handler keeps a weak copy before it
  // runs one and touches nothing of the frame after it when the copy expired.
  std::shared_ptr<char> life_ = std::make_shared<char>();
  int foregroundDone_ = 0;
  int foregroundTicks_ = 0;
  int mode_ = kModeNone;
  bool controlsMade_ = false;
  bool layoutAskedEarly_ = false;
};

// Send WM_USER+106 / +107 to the application's main window (none: nothing).
void SetMainFrameStateBits(DWORD bits);
void ClearMainFrameStateBits(DWORD bits);

// The foreground retry count of WM_USER+150, program-wide.
extern int ComeToFrontTries;
