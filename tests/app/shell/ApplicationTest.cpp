// The application object: the libraries it will not start without, the
// first start's flags, the Back key's way out of the innermost screen, and
// the centring of a window in its parent.
#include <cstdlib>
#include <string>

#include "app/foundation/ProgramScreen.h"
#include "app/foundation/StartFlags.h"
#include "app/mailops/NotifySinks.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/app/QvMailApp.h"
#include "platform/kernel/Library.h"
#include "tests/app/foundation/BoxSession.h"

namespace {

using qv::test::DialogControl;

class Application : public qv::test::FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    const char* path = std::getenv("QVMAIL_LIBRARY_PATH");
    savedPath_ = path ? path : "";
  }
  void TearDown() override {
    ::setenv("QVMAIL_LIBRARY_PATH", savedPath_.c_str(), 1);
    qv::RegisterLibraryAlias(L"riched20.dll", "");  // the platform's own provider again
    AfxSetResourceHandle(nullptr);
    FrameworkTest::TearDown();
  }
  std::string savedPath_;
};

// Without its texts or its editor the program says which is missing and
// does not start; with both it goes on.
TEST_F(Application, TheResourceLibraryAndTheRichEditProviderAreNeeded) {
  struct Case {
    const char* what;
    bool resources;
    bool richEdit;
    const wchar_t* failure;
  };
  const Case cases[] = {
      {"both there", true, true, nullptr},
      {"no resources", false, true, kNoResourceLibrary},
      {"no rich edit", true, false, kNoRichEdit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::setenv("QVMAIL_LIBRARY_PATH", c.resources ? qv::test::BuildFile("outside/QvMailRes").c_str() : "/nonexistent", 1);
    qv::RegisterLibraryAlias(L"riched20.dll", c.richEdit ? "" : "/nonexistent/libriched20.so");
    HMODULE resources = nullptr, richEdit = nullptr;
    const wchar_t* failure = nullptr;
    EXPECT_EQ(LoadProgramLibraries(&resources, &richEdit, &failure), c.failure == nullptr);
    EXPECT_EQ(failure ? std::wstring(failure) : L"", c.failure ? std::wstring(c.failure) : L"");
    EXPECT_EQ(AfxGetResourceHandle() == resources && resources != nullptr, c.resources);
    if (resources) FreeLibrary(resources);
    AfxSetResourceHandle(nullptr);
  }
}

TEST_F(Application, AStartWithoutItsLibrariesEndsWithItsOwnExitCode) {
  ::setenv("QVMAIL_LIBRARY_PATH", "/nonexistent", 1);
  QvMailApp app;
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.m_pMainWnd, nullptr) << "no frame was made";
  EXPECT_TRUE(AfxControlContainerEnabled());
  EXPECT_EQ(app.ExitInstance(), kExitMissingLibrary);
}

// The program's libraries are had before the screen's opening begins: that
// opening loads the desktop's display library beside the frame's making, and
// a load of the program's own would wait for it. With or without a screen,
// and with or without its texts, the start then ends as it always did.
TEST_F(Application, TheProgramsLibrariesAreLoadedBeforeTheScreenBegins) {
  struct Case {
    const char* what;
    bool resources;
    bool screen;
    int exitCode;
  };
  const Case cases[] = {
      {"no screen", true, false, kExitNoScreen},
      {"no screen and no texts", false, false, kExitNoScreen},
      {"no texts", false, true, kExitMissingLibrary},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ::setenv("QVMAIL_LIBRARY_PATH", c.resources ? qv::test::BuildFile("outside/QvMailRes").c_str() : "/nonexistent", 1);
    AfxSetResourceHandle(nullptr);
    int begun = 0;
    bool textsAtBegin = false;
    SetScreenOpener([&c] { return c.screen; },
                    [&] {
                      ++begun;
                      textsAtBegin = AfxGetResourceHandle() != nullptr;
                      return c.screen;
                    });
    QvMailApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(textsAtBegin, c.resources);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(app.ExitInstance(), c.exitCode);
    SetScreenOpener({});
    if (HINSTANCE texts = AfxGetResourceHandle()) FreeLibrary(texts);
    AfxSetResourceHandle(nullptr);
  }
}

// A first start reads its switches into the start flags, which the frame's
// creation and the receive threads then read.
TEST_F(Application, AFirstStartOnADeviceOfAnotherKindSkipsTheSingleInstanceLook) {
  struct Case {
    const wchar_t* platform;
    AfxDeviceType kind;
  };
  const Case cases[] = {{L"PocketPC", AfxDevicePocketPC}, {L"SmartPhone", AfxDeviceSmartphone}, {L"CEDevice", AfxDeviceCe}};
  for (const Case& c : cases) {
    qv::seams::SetPlatformType(c.platform);
    EXPECT_EQ(AfxGetDeviceType(), c.kind);
  }
  // Not a Windows Mobile device: the command line waits for the frame.
  AutoReceiveStartFlag = 0;
  QvMailApp app;
  app.m_lpCmdLine = const_cast<LPTSTR>(L"-receiveTmail");
  EXPECT_TRUE(app.InitApplication());
  EXPECT_EQ(AutoReceiveStartFlag, 0);
  qv::seams::SetPlatformType(L"");
  // A Pocket PC with no copy running: the flag is set for the frame.
  app.runningCopyTries = 1;
  EXPECT_TRUE(app.InitApplication());
  EXPECT_EQ(AutoReceiveStartFlag, 1);
  AutoReceiveStartFlag = 0;
  app.m_lpCmdLine = const_cast<LPTSTR>(L"-t");
  EXPECT_TRUE(app.InitApplication());
  EXPECT_EQ(UnattendedStartFlag, 1);
  UnattendedStartFlag = 0;
}

// Back steps out of the innermost screen unless a field that takes text has it.
TEST_F(Application, BackClosesTheInnermostDialogUnlessAWritableFieldHasIt) {
  HWND main = Make(WS_POPUP | WS_VISIBLE);
  auto units = qv::test::Units({qv::test::Control(10, L"Edit", WS_TABSTOP | WS_BORDER),
                                qv::test::Control(11, L"Edit", WS_TABSTOP | ES_READONLY, {4, 24, 64, 38}),
                                qv::test::Control(12, L"Button", WS_TABSTOP, {4, 44, 64, 58})});
  EnableWindow(main, FALSE);  // modal: its owner is disabled
  HWND dialog = CreateDialogIndirectParamW(nullptr, qv::test::AsTemplate(units), main, qv::test::TestDlgProc, 0);
  ASSERT_NE(dialog, nullptr);
  int backs = 0;
  qv::test::CurrentDlgHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<INT_PTR> {
    if (h == dialog && m == kBackMessage) ++backs;
    return std::nullopt;
  };
  struct Case {
    int control;
    UINT key;
    bool consumed;
  };
  const Case cases[] = {{10, VK_BACK, false}, {11, VK_BACK, true}, {12, VK_BACK, true}, {12, VK_RETURN, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    backs = 0;
    MSG msg{GetDlgItem(dialog, c.control), WM_KEYDOWN, c.key, 0, 0, {}};
    EXPECT_EQ(RouteBackKey(&msg), c.consumed);
    EXPECT_EQ(backs, c.consumed ? 1 : 0);
  }
  // A window with no dialog above it: the key is the framework's.
  MSG plain{main, WM_KEYDOWN, VK_BACK, 0, 0, {}};
  EXPECT_FALSE(RouteBackKey(&plain));
  qv::test::CurrentDlgHandler() = nullptr;
  DestroyWindow(dialog);
  DestroyWindow(main);
}

TEST_F(Application, AWindowIsCentredInItsParent) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 100, 480, 700});
  CWnd child;
  ASSERT_TRUE(child.CreateEx(0, qv::test::kTestClass, L"", WS_POPUP, 0, 0, 10, 10, parent, nullptr));
  CenterWindowInParent(&child, 400, 160);
  RECT r{};
  child.GetWindowRect(&r);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(r.top, 100 + (600 - 160) / 2);
  EXPECT_EQ(r.right - r.left, 400);
  EXPECT_EQ(r.bottom - r.top, 160);
  child.DestroyWindow();
  DestroyWindow(parent);
}

}  // namespace

namespace {

// The engine asks from a receive's own thread whether the program is in use;
// the loop's idle turn keeps the answer, so no thread has to ask the UI.
TEST_F(Application, TheIdleTurnKeepsWhetherTheProgramIsInUse) {
  QvMailApp app;
  CFrameWnd* frame = new CFrameWnd;  // deletes itself with its window
  ASSERT_TRUE(frame->Create(nullptr, L"frame", WS_POPUP | WS_VISIBLE));
  const struct {
    bool active;
    bool inUse;
  } steps[] = {{true, true}, {false, false}, {true, true}};
  for (const auto& step : steps) {
    ::SetActiveWindow(step.active ? frame->m_hWnd : nullptr);
    app.OnIdle(1);
    EXPECT_EQ(IsProgramInUse(), step.inUse) << step.active;
  }
  frame->DestroyWindow();
  app.OnIdle(1);
  EXPECT_FALSE(IsProgramInUse()) << "no window left";
}

}  // namespace
