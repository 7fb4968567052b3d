// The main frame on a device root with two accounts made through the engine:
// its protocol of private messages, the close sequence and the timers, as
// message-sequence tables; the screens and operations it opens are the
// test's own runners, which note that they ran.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/foundation/CloseRequest.h"
#include "app/foundation/MessageBoxes.h"
#include "app/foundation/StartFlags.h"
#include "app/foundation/UiRegistry.h"
#include "app/mailops/BackgroundTasks.h"
#include "app/mailops/CurrentAccount.h"
#include "app/mailops/MailTaskState.h"
#include "app/protocol/Commands.h"
#include "app/shell/boxdlg/QvAccountSelector.h"
#include "app/shell/boxdlg/QvFolderListCtrl.h"
#include "app/shell/mainframe/QvMainFrame.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/kernel/Sync.h"
#include "tests/app/foundation/BoxSession.h"
#include "tests/app/support/ProgramRoot.h"

namespace {

using qv::seams::MsgEntry;
namespace seq = qv::seams::seq;
using qv::test::Called;
using qv::test::Calls;

// Every box the program shows, by its texts; each is answered OK.
std::vector<std::wstring>& Boxes() {
  static std::vector<std::wstring> boxes;
  return boxes;
}

std::wstring TextsOf(HWND box) {
  std::wstring all;
  EnumChildWindows(
      box,
      [](HWND h, LPARAM p) {
        WCHAR text[512] = {};
        GetWindowTextW(h, text, 512);
        if (*text) *reinterpret_cast<std::wstring*>(p) += std::wstring(text) + L"|";
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

class MainFrame : public qv::test::FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    res_ = qv::test::LoadProgramResources();
    ASSERT_NE(res_, nullptr);
    Boxes().clear();
    qv::seams::SetQuestionAnswer(qv::seams::kShowMessageBox);
    qv::seams::SetMessageBoxShownHandler([](HWND box) {
      Boxes().push_back(TextsOf(box));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    AutoReceiveStartFlag = UnattendedStartFlag = 0;
    ClosePendingFlag = CloseRequestSeenFlag = CloseReactivatedFlag = false;
    ComeToFrontTries = 0;
    InstallRunners();
  }
  void TearDown() override {
    if (frame_ && IsWindow(frameHwnd_)) frame_->DestroyWindow();
    frame_ = nullptr;
    FrameRunners() = MainFrameRunners{};
    app_.m_pMainWnd = nullptr;
    qv::seams::SetMessageBoxShownHandler(nullptr);
    FrameworkTest::TearDown();
    AfxSetResourceHandle(nullptr);
    if (res_) FreeLibrary(res_);
  }

  void InstallRunners() {
    MainFrameRunners& r = FrameRunners();
    r.folderScreen = [](CWnd*, int kind) { Called("folderScreen " + std::to_string(kind)); };
    r.mailList = [](CWnd*, DWORD) { Called("mailList"); };
    r.settings = [](CWnd*) { Called("settings"); };
    r.newMessage = [](CWnd*) { Called("newMessage"); };
    r.composeFromArgs = [](CWnd*, int kind, const std::wstring& args) {
      Called("compose " + std::to_string(kind) + " " + qv::WideToUtf8(args));
    };
    r.newHandwritten = [](CWnd*, const std::wstring& to) { Called("handwritten " + qv::WideToUtf8(to)); };
    r.receive = [](CWnd*) { Called("receive"); };
    r.accountList = [](CWnd*) { Called("accountList"); };
    r.startAutoReceive = [this] {
      Called("startAutoReceive");
      autoRunning_ = true;
      return true;
    };
    r.startPeriodicReceive = [this] {
      Called("startPeriodicReceive");
      periodicRunning_ = true;
      return true;
    };
    r.autoReceiveRunning = [this] { return autoRunning_; };
    r.periodicReceiveRunning = [this] { return periodicRunning_; };
  }

  // The frame as the program makes it, shown, with the log cleared after.
  void MakeFrame(bool accounts = true) {
    if (accounts) {
      ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
    }
    frame_ = new QvMainFrame;
    app_.m_pMainWnd = frame_;
    ASSERT_TRUE(frame_->LoadFrame(kMainFrameResource, 0x00CF8000));
    frameHwnd_ = frame_->m_hWnd;
    frame_->ShowWindow(SW_SHOWNORMAL);
    frame_->UpdateWindow();
    SetForegroundWindow(frameHwnd_);
    Pump();
    // The start's look for the front runs its course.
    for (int i = 0; i < kForegroundTicks; ++i) {
      qv::seams::AdvanceUiClock(kFrameTimerMs);
      Pump();
    }
    Calls().clear();
    log_.Clear();
  }
  // A screen of the program over the frame, as a modal one stands: the frame
  // disabled below it, which keeps the front.
  HWND ScreenInFront(const wchar_t* title) {
    HWND screen = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 480, 800}, 0, title);
    SetWindowLongW(screen, GWL_HWNDPARENT, reinterpret_cast<LONG_PTR>(frameHwnd_));
    frame_->EnableWindow(FALSE);
    SetForegroundWindow(screen);
    Pump();
    return screen;
  }
  void CloseScreen(HWND screen) {
    frame_->EnableWindow(TRUE);
    DestroyWindow(screen);
    Pump();
  }
  void Send(UINT message, WPARAM w = 0, LPARAM l = 0) { PostMessageW(frameHwnd_, message, w, l), Pump(); }
  // The launcher's rows, in order.
  std::vector<std::wstring> LauncherTexts() {
    std::vector<std::wstring> texts;
    QvFolderListCtrl* list = frame_->Launcher();
    // As the list draws them: the name, then " (n)" for a count of 1 or more.
    for (int i = 0; i < list->GetItemCount(); ++i) {
      std::wstring text(list->GetItemText(i, 0));
      const DWORD_PTR key = list->GetItemKey(i);
      if (key != QvFolderListCtrl::kNoKey && list->CountOf(key) > 0) {
        text += L" (" + std::to_wstring(list->CountOf(key)) + L")";
      }
      texts.push_back(text);
    }
    return texts;
  }
  static std::wstring Res(UINT id) { return std::wstring(LoadResString(id)); }
  bool BoxSaid(size_t i, UINT id) { return i < Boxes().size() && Boxes()[i].find(Res(id)) != std::wstring::npos; }

  qv::test::BoxApp app_;
  HMODULE res_ = nullptr;
  QvMainFrame* frame_ = nullptr;
  HWND frameHwnd_ = nullptr;
  bool autoRunning_ = false;
  bool periodicRunning_ = false;
};

// ---- start ----

TEST_F(MainFrame, OpensTheLastSelectedAccountAndListsItsBoxesWithUnreadCounts) {
  MakeFrame();
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"仕事");
  EXPECT_EQ(qv::seams::ReadWindow(frameHwnd_).className, L"WCE_QvMailMainFrame");
  EXPECT_EQ(qv::seams::ReadWindow(frameHwnd_).text, kMainWindowTitle);
  const std::vector<std::wstring> texts = LauncherTexts();
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(texts[0], L"受信ﾎﾞｯｸｽ (17)");  // the box and its three folders together
  EXPECT_EQ(texts[1], L"送信ﾎﾞｯｸｽ");
  EXPECT_EQ(texts[4], L"新規作成");
  EXPECT_EQ(texts[5], L"メール受信");
  EXPECT_EQ(texts[6], L"設定");
  EXPECT_EQ(frame_->AccountCombo()->GetCount(), 2);
  EXPECT_NE(frame_->MenuBar(), nullptr);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainFrame, WithoutAnAccountTheAccountListOpensAndTheFrameEndsWhenNoneWasMade) {
  ASSERT_TRUE(qv::test::MakeDataFolder());  // installed, no account yet
  frame_ = new QvMainFrame;
  app_.m_pMainWnd = frame_;
  ASSERT_TRUE(frame_->LoadFrame(kMainFrameResource, 0x00CF8000));
  frameHwnd_ = frame_->m_hWnd;
  EXPECT_EQ(Calls(), std::vector<std::string>());  // posted, not yet taken
  EXPECT_EQ(frame_->AccountCombo()->GetCount(), 0);
  Pump();
  EXPECT_EQ(Calls(), std::vector<std::string>{"accountList"});
  EXPECT_FALSE(IsWindow(frameHwnd_));
  EXPECT_TRUE(Boxes().empty()) << qv::WideToUtf8(Boxes().empty() ? L"" : Boxes()[0]);
  frame_ = nullptr;
}

TEST_F(MainFrame, ALastSelectedAccountThatIsGoneOpensTheFirstOne) {
  ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
  SetLastSelectAccount(L"どこにもない");
  MakeFrame(false);
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"仕事");
  CString last;
  EXPECT_TRUE(GetLastSelectAccount(last));
  EXPECT_EQ(std::wstring(last), L"仕事");
}

// ---- the state word and the small queries ----

TEST_F(MainFrame, TheStateWordIsSetClearedAndReadByMessage) {
  MakeFrame();
  struct Step {
    UINT message;
    WPARAM bits;
    LRESULT result;
    DWORD word;
  };
  const Step steps[] = {
      {kSetStateBitsMessage, 1, 0, 1},  {kTestStateBitsMessage, 1, 1, 1}, {kTestStateBitsMessage, 6, 0, 1},
      {kSetStateBitsMessage, 4, 0, 5},  {kTestStateBitsMessage, 6, 1, 5}, {kGetStateWordMessage, 0, 5, 5},
      {kClearStateBitsMessage, 1, 0, 4}, {kTestStateBitsMessage, 1, 0, 4}, {kFramePingMessage, 0, 0, 4},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(qv::seams::MessageName(s.message));
    EXPECT_EQ(SendMessageW(frameHwnd_, s.message, s.bits, 0), s.result);
    EXPECT_EQ(frame_->StateWord(), s.word);
  }
  SetMainFrameStateBits(2);
  EXPECT_EQ(frame_->StateWord(), 6u);
  ClearMainFrameStateBits(6);
  EXPECT_EQ(frame_->StateWord(), 0u);
  EXPECT_EQ(SendMessageW(frameHwnd_, kActiveWindowQueryMessage, 0, 0), reinterpret_cast<LRESULT>(CWnd::GetActiveWindow()));
}

// ---- requests from the stored arguments ----

TEST_F(MainFrame, ComposeAndBoxRequestsTakeTheirTextFromTheStoredArguments) {
  MakeFrame();
  struct Case {
    const wchar_t* args;
    UINT message;
    WPARAM wParam;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {L"mailto:a@example.jp", kComposeFromArgsMessage, 0, {"compose 0 mailto:a@example.jp"}},
      {L"mailto:a@example.jp", kComposeFromArgsMessage, 2, {"compose 2 mailto:a@example.jp"}},
      {L"-recvbox", kOpenBoxFromArgsMessage, 0, {"folderScreen 0"}},
      {L"-sendbox", kOpenBoxFromArgsMessage, 0, {"folderScreen 1"}},
      {L"-recvbox", kComeToFrontMessage, 0, {"folderScreen 0"}},
      {L"mailto:b@example.jp", kOpenAndComposeMessage, 1, {"compose 1 mailto:b@example.jp"}},
      // Only the registry's text counts: an address in wParam is never read.
      {L"c@example.jp", kHandwrittenToMessage, 0x1234, {"handwritten c@example.jp"}},
      {L"", kOpenReceiveBoxMessage, 0, {"folderScreen 0"}},
      {L"", kOpenSendBoxMessage, 0, {"folderScreen 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(qv::WideToUtf8(c.args) + " " + qv::seams::MessageName(c.message));
    ASSERT_TRUE(SetCmdArgs(c.args));
    Calls().clear();
    Send(c.message, c.wParam);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_TRUE(Boxes().empty());
  }
}

TEST_F(MainFrame, AComposeRequestWhileAnotherScreenIsInFrontWarnsOnce) {
  MakeFrame();
  ASSERT_TRUE(SetCmdArgs(L"mailto:a@example.jp"));
  HWND other = ScreenInFront(L"別の画面");
  // Opening the box fails with its warning; the compose after it is not
  // tried, and warns no second time.
  for (UINT message : {kComposeFromArgsMessage, kOpenBoxFromArgsMessage, kOpenAndComposeMessage}) {
    SCOPED_TRACE(qv::seams::MessageName(message));
    Boxes().clear();
    Calls().clear();
    Send(message, 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(BoxSaid(0, kStringOtherScreenBusy)) << qv::WideToUtf8(Boxes()[0]);
    EXPECT_EQ(Calls(), std::vector<std::string>());
  }
  // The message window (state word exactly 1) lets a compose through.
  frame_->SendMessage(kSetStateBitsMessage, kStateMessageWindowOpen);
  Boxes().clear();
  Send(kComposeFromArgsMessage, 1);
  EXPECT_EQ(Calls(), std::vector<std::string>{"compose 1 mailto:a@example.jp"});
  EXPECT_TRUE(Boxes().empty());
  CloseScreen(other);
}

// A screen of this program in front is asked to step back (Back, 0x48E) up
// to three times before the warning.
TEST_F(MainFrame, ComingToTheFrontSendsBackToTheProgramsOwnScreenThreeTimesThenWarns) {
  MakeFrame();
  SetCmdArgs(L"");
  frame_->SendMessage(kSetStateBitsMessage, kStateMessageWindowOpen);
  HWND sheet = ScreenInFront(L"メール作成");
  int backs = 0;
  qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == sheet && m == kBackMessage) ++backs;  // and stays: it has unsaved work
    return std::nullopt;
  };
  log_.Keep({kComeToFrontMessage, kBackMessage, kOpenBoxFromArgsMessage});
  log_.Clear();
  Send(kComeToFrontMessage);
  EXPECT_EQ(backs, 3);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_TRUE(BoxSaid(0, kStringOtherScreenBusy));
  EXPECT_EQ(log_.Compare(frameHwnd_, {{kComeToFrontMessage, seq::posted},
                                      {kBackMessage, seq::sent | seq::other},
                                      {kComeToFrontMessage, seq::posted},
                                      {kBackMessage, seq::sent | seq::other},
                                      {kComeToFrontMessage, seq::posted},
                                      {kBackMessage, seq::sent | seq::other},
                                      {kComeToFrontMessage, seq::posted}}),
            "");
  EXPECT_EQ(ComeToFrontTries, 0);
  // A screen that steps back lets the frame come to the front, which then
  // opens what the stored arguments ask for.
  qv::test::CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == sheet && m == kBackMessage) {
      frame_->EnableWindow(TRUE);
      ShowWindow(sheet, SW_HIDE);
    }
    return std::nullopt;
  };
  SetCmdArgs(L"-sendbox");
  log_.Clear();
  Boxes().clear();
  Send(kComeToFrontMessage);
  EXPECT_EQ(log_.Compare(frameHwnd_, {{kComeToFrontMessage, seq::posted},
                                      {kBackMessage, seq::sent | seq::other},
                                      {kComeToFrontMessage, seq::posted},
                                      {kOpenBoxFromArgsMessage, seq::posted}}),
            "");
  EXPECT_EQ(Calls(), std::vector<std::string>{"folderScreen 1"});
  EXPECT_TRUE(Boxes().empty());
  qv::test::CurrentHandler() = nullptr;
  CloseScreen(sheet);
}

// ---- refresh, accounts ----

TEST_F(MainFrame, ARefreshWhileDisabledWaitsForTheFrameToBeEnabled) {
  MakeFrame();
  ASSERT_TRUE(OpenCurrentAccount(L"個人"));  // the store changed under the launcher
  frame_->EnableWindow(FALSE);
  Send(kRefreshMessage, 0xFFFFFFFF, 1);
  EXPECT_EQ(LauncherTexts()[0], L"受信ﾎﾞｯｸｽ (17)");
  frame_->EnableWindow(TRUE);
  Pump();
  EXPECT_EQ(LauncherTexts()[0], L"受信ﾎﾞｯｸｽ (2)");
}

TEST_F(MainFrame, AccountCommandsAndTheComboSwitchTheAccount) {
  MakeFrame();
  Send(WM_COMMAND, kAccountCommandFirst + 1);
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"個人");
  EXPECT_EQ(LauncherTexts()[0], L"受信ﾎﾞｯｸｽ (2)");
  CString last;
  ASSERT_TRUE(GetLastSelectAccount(last));
  EXPECT_EQ(std::wstring(last), L"個人");
  frame_->AccountCombo()->SetCurSel(0);
  Send(WM_COMMAND, MAKEWPARAM(kAccountComboId, CBN_SELENDOK),
       reinterpret_cast<LPARAM>(frame_->AccountCombo()->m_hWnd));
  EXPECT_EQ(std::wstring(GetCurrentAccountName()), L"仕事");
  Send(kSelectLauncherItemMessage, 1);
  EXPECT_EQ(frame_->Launcher()->GetSelectedIndex(), kLauncherSettings);
  Send(kSelectLauncherItemMessage, 0);
  EXPECT_EQ(frame_->Launcher()->GetSelectedIndex(), kLauncherReceiveBox);
}

// ---- receiving in the background ----

TEST_F(MainFrame, AnAutomaticReceiveSignalsItsEventsAndAStartForItClosesAtItsEnd) {
  MakeFrame();
  qv::ScopedHandle enter(CreateEventW(nullptr, TRUE, FALSE, L"MIS_EnterAutoRetrievere"));
  qv::ScopedHandle leave(CreateEventW(nullptr, TRUE, FALSE, L"MIS_LeaveAutoRetrievere"));
  AutoReceiveStartFlag = 1;
  log_.Keep({kEnterAutoReceiveMessage, WM_TIMER});
  Send(kEnterAutoReceiveMessage);
  EXPECT_EQ(Calls(), std::vector<std::string>{"startAutoReceive"});
  EXPECT_EQ(WaitForSingleObject(enter.get(), 0), WAIT_OBJECT_0);
  qv::seams::AdvanceUiClock(kFrameTimerMs);
  Pump();
  EXPECT_TRUE(IsWindow(frameHwnd_)) << "the receive still runs";
  EXPECT_EQ(WaitForSingleObject(leave.get(), 0), WAIT_TIMEOUT);
  autoRunning_ = false;
  qv::seams::AdvanceUiClock(kFrameTimerMs);
  Pump();
  EXPECT_EQ(WaitForSingleObject(leave.get(), 0), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindow(frameHwnd_));
  EXPECT_EQ(log_.Compare(frameHwnd_, {{kEnterAutoReceiveMessage, seq::posted},
                                      {WM_TIMER, seq::posted | seq::wparam, kAutoReceiveTimer},
                                      {WM_TIMER, seq::posted | seq::wparam, kAutoReceiveTimer}}),
            "");
  frame_ = nullptr;
}

TEST_F(MainFrame, TheUserComingBackKeepsTheProgramOpenAfterAnUnattendedReceive) {
  MakeFrame();
  qv::ScopedHandle leave(CreateEventW(nullptr, TRUE, FALSE, L"MIS_LeaveUnattendedMode"));
  UnattendedStartFlag = 1;
  Send(kEnterUnattendedMessage);
  EXPECT_EQ(Calls(), std::vector<std::string>{"startPeriodicReceive"});
  HWND other = Make(WS_POPUP | WS_VISIBLE);
  SetForegroundWindow(other);
  SetForegroundWindow(frameHwnd_);  // activated while the receive runs
  Pump();
  EXPECT_EQ(UnattendedStartFlag, 0);
  periodicRunning_ = false;
  qv::seams::AdvanceUiClock(kFrameTimerMs);
  Pump();
  EXPECT_EQ(WaitForSingleObject(leave.get(), 0), WAIT_OBJECT_0);
  EXPECT_TRUE(IsWindow(frameHwnd_));
  DestroyWindow(other);
}

// The program installs no start runners: the frame starts the mail
// operations' own threads, which run the installed passes.
TEST_F(MainFrame, WithoutStartRunnersTheBackgroundReceivesRunOnTheMailOperationsThreads) {
  MakeFrame();
  MainFrameRunners& r = FrameRunners();
  r.startAutoReceive = r.startPeriodicReceive = nullptr;
  r.autoReceiveRunning = r.periodicReceiveRunning = nullptr;
  qv::ScopedHandle autoRan(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  qv::ScopedHandle periodicRan(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  MailTaskOperations ops = GetMailTaskOperations();
  ops.autoPass = [event = autoRan.get()] { return SetEvent(event) != FALSE; };
  ops.periodicPass = [event = periodicRan.get()] { return SetEvent(event) != FALSE; };
  SetMailTaskOperations(ops);
  Send(kEnterAutoReceiveMessage);
  EXPECT_EQ(WaitForSingleObject(autoRan.get(), 60000), WAIT_OBJECT_0);
  StopAutoReceiveThread();
  Send(kEnterUnattendedMessage);
  EXPECT_EQ(WaitForSingleObject(periodicRan.get(), 60000), WAIT_OBJECT_0);
  EndPeriodicPauseForTest();
  StopPeriodicReceiveThread();
  SetMailTaskOperations({});
}

// ---- the close sequence ----

TEST_F(MainFrame, ACloseRequestEndsWithTheHookAndTheFramesEnd) {
  MakeFrame();
  log_.Keep({kCloseRequestMessage, kCloseSequenceEndMessage, WM_CLOSE});
  Send(WM_CLOSE);
  EXPECT_EQ(log_.Compare(frameHwnd_, {{WM_CLOSE, seq::posted},
                                      {kCloseRequestMessage, seq::posted},
                                      {kCloseSequenceEndMessage, seq::posted}}),
            "");
  EXPECT_FALSE(IsWindow(frameHwnd_));
  EXPECT_FALSE(CloseRequestSeenFlag);
  frame_ = nullptr;
}

TEST_F(MainFrame, ACloseDuringAPeriodicReceiveWaitsForItUnlessTheUserComesBack) {
  struct Case {
    const char* what;
    bool userComesBack;
    bool openAtTheEnd;
  };
  const Case cases[] = {{"left alone", false, false}, {"activated in between", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeFrame(&c == cases);
    periodicRunning_ = true;
    Send(kCloseRequestMessage);
    EXPECT_TRUE(IsWindow(frameHwnd_));
    EXPECT_EQ(UnattendedStartFlag, 1);
    Send(kEnterUnattendedMessage);  // its watch timer
    if (c.userComesBack) {
      HWND other = Make(WS_POPUP | WS_VISIBLE);
      SetForegroundWindow(other);
      SetForegroundWindow(frameHwnd_);
      Pump();
      DestroyWindow(other);
    }
    periodicRunning_ = false;
    qv::seams::AdvanceUiClock(kFrameTimerMs);
    Pump();
    EXPECT_EQ(IsWindow(frameHwnd_) != FALSE, c.openAtTheEnd);
    if (!c.openAtTheEnd) frame_ = nullptr;
    if (frame_) frame_->DestroyWindow();
    frame_ = nullptr;
    UnattendedStartFlag = 0;
  }
}

// A dialog that takes the close over (the progress window, the message
// sheet) finishes first: the sequence waits for it to pass the close back.
TEST_F(MainFrame, ACloseTakenOverByADialogWaitsForItToPassItBack) {
  MakeFrame();
  auto units = qv::test::Units({});
  HWND progress = CreateDialogIndirectParamW(nullptr, qv::test::AsTemplate(units), frameHwnd_, qv::test::TestDlgProc, 0);
  qv::test::CurrentDlgHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
    if (h != progress || m != kCloseRequestMessage) return std::nullopt;
    ClosePendingFlag = true;
    Called("progress stores its work");
    SetWindowLongW(h, DWLP_MSGRESULT, kCloseTakenOver);
    return TRUE;
  };
  log_.Keep({kCloseRequestMessage, kCloseSequenceEndMessage, WM_CLOSE});
  log_.Clear();
  Send(kCloseRequestMessage);
  EXPECT_EQ(Calls(), std::vector<std::string>{"progress stores its work"});
  EXPECT_TRUE(IsWindow(frameHwnd_));
  EXPECT_TRUE(IsWindow(progress)) << "not closed over its work";
  // It ends and passes the close on.
  qv::test::CurrentDlgHandler() = nullptr;
  DestroyWindow(progress);
  ForwardPendingClose();
  Pump();
  EXPECT_FALSE(IsWindow(frameHwnd_));
  EXPECT_EQ(log_.Compare(frameHwnd_, {{kCloseRequestMessage, seq::posted},
                                      {kCloseRequestMessage, seq::sent | seq::other},
                                      {kCloseRequestMessage, seq::posted},
                                      {kCloseSequenceEndMessage, seq::posted}}),
            "");
  frame_ = nullptr;
}

// ---- commands ----

TEST_F(MainFrame, LauncherItemsOpenTheirScreensAndSetTheMode) {
  MakeFrame();
  struct Case {
    int item;
    std::vector<std::string> calls;
    int mode;
  };
  const Case cases[] = {
      {kLauncherReceiveBox, {"folderScreen 0"}, kModeBox}, {kLauncherSendBox, {"folderScreen 1"}, kModeBox},
      {kLauncherDrafts, {"mailList"}, kModeDrafts},        {kLauncherOutbox, {"mailList"}, kModeOutbox},
      {kLauncherNewMessage, {"newMessage"}, kModeNewMessage}, {kLauncherReceive, {"receive"}, kModeReceiveSend},
      {kLauncherSettings, {"settings"}, kModeSettings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    Calls().clear();
    frame_->Launcher()->SelectAndShow(c.item);
    NMHDR nm{frame_->Launcher()->m_hWnd, kLauncherListId, static_cast<UINT>(NM_RETURN)};
    frame_->SendMessage(WM_NOTIFY, kLauncherListId, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(frame_->Mode(), c.mode);
  }
}

TEST_F(MainFrame, SendingAnEmptyOutboxShowsTheEnginesNothingToSend) {
  MakeFrame();
  FrameRunners().sendOutbox = [](CWnd*) { Called("sendOutbox"); };
  Send(WM_COMMAND, kSendOutboxCommand);
  EXPECT_EQ(Calls(), std::vector<std::string>());
  EXPECT_EQ(Boxes().size(), 1u);
}

// A close that comes while a screen runs from the frame ends the frame, its
// object too, under the screen; the frame's handler then touches nothing of
// itself (AddressSanitizer watches).
TEST_F(MainFrame, ACloseWhileAScreenRunsEndsTheFrameUnderIt) {
  struct Case {
    const char* what;
    std::function<void(MainFrameRunners&, std::function<void()>)> install;
    std::function<void(QvMainFrame*)> open;
  };
  const Case cases[] = {
      {"account list", [](MainFrameRunners& r, auto close) { r.accountList = [close](CWnd*) { close(); }; },
       [](QvMainFrame* f) { f->SendMessage(kAccountListMessage); }},
      {"rules", [](MainFrameRunners& r, auto close) { r.classificationRules = [close](CWnd*, const std::wstring&) { close(); }; },
       [](QvMainFrame* f) { f->SendMessage(WM_COMMAND, kRulesCommand); }},
      {"launcher", [](MainFrameRunners& r, auto close) { r.settings = [close](CWnd*) { close(); }; },
       [](QvMainFrame* f) {
         f->Launcher()->SelectAndShow(kLauncherSettings);
         NMHDR nm{f->Launcher()->m_hWnd, kLauncherListId, static_cast<UINT>(NM_RETURN)};
         f->SendMessage(WM_NOTIFY, kLauncherListId, reinterpret_cast<LPARAM>(&nm));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeFrame(&c == cases);
    c.install(FrameRunners(), [this] {
      PostMessageW(frameHwnd_, kCloseRequestMessage, 0, 0);
      Pump();
    });
    c.open(frame_);
    EXPECT_FALSE(IsWindow(frameHwnd_));
    frame_ = nullptr;
    InstallRunners();
  }
}

}  // namespace
