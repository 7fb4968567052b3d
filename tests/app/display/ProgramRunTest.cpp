// The real program in the tests' X server, on a device root with two
// accounts made through the engine: its launcher, the account switch, the
// folder screen, each kept as a PNG read back from the X server; and second
// starts against it, which hand their command line over and end without a
// window. The program is driven as other programs drive it: integer
// messages to its main window through the device's window table.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/foundation/UiFiles.h"
#include "app/foundation/UiRegistry.h"
#include "app/protocol/BoxCommands.h"
#include "app/protocol/Commands.h"
#include "app/protocol/WindowMessages.h"
#include "app/shell/mainframe/AttachmentRequest.h"
#include "platform/base/ScopedHandle.h"
#include "platform/base/WideText.h"
#include "platform/imaging/Imaging.h"
#include "platform/kernel/Sync.h"
#include "tests/app/support/ProgramRoot.h"
#include "tests/platform/display/DisplayTest.h"

#include "tests/app/display/ProgramRun.h"  // last: Xlib's macros

namespace {

using namespace qv::test;
constexpr const wchar_t* kFrameClass = L"WCE_QvMailMainFrame";
constexpr const wchar_t* kFrameTitle = L"T-VELA4メール ";

// A folder holding libraries that cannot be loaded, put before the loader's
// own search (LD_LIBRARY_PATH): a machine without them, as the program meets it.
std::string BrokenLibraryFolder(const std::string& root, const std::vector<std::string>& names) {
  const std::string dir = root + "/.broken-libraries";  // hidden from the device
  std::filesystem::create_directories(dir);
  for (const std::string& name : names) std::ofstream(dir + "/" + name, std::ios::binary).write("not a library", 13);
  return dir;
}

class ProgramRun : public qv::test::DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(qv::test::MakeTwoAccountRoot());
    log_path_ = root_ + "/first.log";
    first_ = StartProgram(root_, log_path_, {});
    ASSERT_GT(first_, 0);
    ASSERT_TRUE(Within(std::chrono::seconds(30), [&] {
      return ReadFile(log_path_).find("QvMail: launcher shown") != std::string::npos &&
             FindWindowW(kFrameClass, kFrameTitle) != nullptr;
    })) << ReadFile(log_path_);
    frame_ = FindWindowW(kFrameClass, kFrameTitle);
  }
  void TearDown() override {
    if (first_ > 0) {
      if (frame_) PostMessageW(frame_, WM_CLOSE, 0, 0);
      if (WaitEnd(first_, std::chrono::seconds(20)) != 0) {
        ADD_FAILURE() << "the program did not end on its close request\n" << Tail(ReadFile(log_path_));
        kill(first_, SIGKILL);
        waitpid(first_, nullptr, 0);
      }
    }
    DisplayTest::TearDown();
  }
  // Lines the first copy's log gained that name a message it received.
  bool FirstGot(UINT message) {
    wchar_t text[32];
    std::swprintf(text, 32, L"QvMainFrame <- 0x%x", message);
    return ReadFile(log_path_).find(qv::WideToUtf8(text)) != std::string::npos;
  }
  // Every top-level window on the device belongs to the first copy or to this test.
  void ExpectOnlyTheFirstsWindows() {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND h, LPARAM p) {
          reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    for (HWND h : all) {
      DWORD pid = 0;
      GetWindowThreadProcessId(h, &pid);
      EXPECT_TRUE(pid == static_cast<DWORD>(first_) || pid == GetCurrentProcessId()) << "a window of process " << pid;
    }
  }

  std::string log_path_;
  pid_t first_ = -1;
  HWND frame_ = nullptr;
};

TEST_F(ProgramRun, TheLauncherTheAccountSwitchAndTheFolderScreen) {
  const Shot work = Settled(first_);
  ASSERT_EQ(work.width, 480);
  ASSERT_EQ(work.height, 800);
  Keep(work, OutputPath("program-launcher-work.png"));
  // The launcher's first row (its text starts 44 pixels in) is drawn on the
  // list's background below the 46-pixel strip of the combo.
  EXPECT_GT(Differing(work, Shot{work.width, work.height, std::vector<DWORD>(work.pixels.size(), work.At(470, 60))},
                      46, 46 + 48),
            100);

  // The second account through the account menu's command (the combo follows).
  ASSERT_TRUE(PostMessageW(frame_, WM_COMMAND, kAccountCommandFirst + 1, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] {
    CString last;
    return GetLastSelectAccount(last) && last == L"個人";
  }));
  const Shot personal = Settled(first_, &work);
  Keep(personal, OutputPath("program-launcher-personal.png"));
  EXPECT_GT(Differing(work, personal, 0, 46), 0) << "the combo shows the other name";
  EXPECT_GT(Differing(work, personal, 46, 46 + 48), 0) << "the receive box's count changed";

  // Back to the first account, and its receive box's folder screen.
  ASSERT_TRUE(PostMessageW(frame_, WM_COMMAND, kAccountCommandFirst, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] {
    CString last;
    return GetLastSelectAccount(last) && last == L"仕事";
  }));
  ASSERT_TRUE(PostMessageW(frame_, kOpenReceiveBoxMessage, 0, 0));
  HWND screen = nullptr;
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return (screen = FindWindowW(nullptr, L"受信ﾎﾞｯｸｽ")) != nullptr; }));
  const Shot folders = Settled(first_, &personal);
  Keep(folders, OutputPath("program-folder-screen.png"));
  EXPECT_GT(Differing(work, folders, 0, 46 + 48 * 4), 1000);
  ASSERT_TRUE(PostMessageW(screen, WM_COMMAND, IDCANCEL, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return !IsWindow(screen); }));
}

// The version from the frame's menu, and the folder order page from the
// folder screen's: each opens over its screen and Back or cancel closes it.
TEST_F(ProgramRun, TheVersionAndTheFolderOrderPageOpenFromTheirMenus) {
  const Shot launcher = Settled(first_);
  ASSERT_TRUE(PostMessageW(frame_, WM_COMMAND, kVersionCommand, 0));
  HWND version = nullptr;
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return (version = FindWindowW(nullptr, L"バージョン情報")) != nullptr; }));
  const Shot shown = Settled(first_, &launcher);
  Keep(shown, OutputPath("program-version.png"));
  EXPECT_GT(Differing(launcher, shown, 46, 400), 1000) << "the dialog stands over the launcher";
  ASSERT_TRUE(PostMessageW(version, kBackMessage, 0, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return !IsWindow(version); }));

  ASSERT_TRUE(PostMessageW(frame_, kOpenReceiveBoxMessage, 0, 0));
  HWND screen = nullptr;
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return (screen = FindWindowW(nullptr, L"受信ﾎﾞｯｸｽ")) != nullptr; }));
  const Shot folders = Settled(first_, &shown);
  ASSERT_TRUE(PostMessageW(screen, WM_COMMAND, kFolderOrderCommand, 0));
  HWND order = nullptr;
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return (order = FindWindowW(nullptr, L"フォルダ並び替え")) != nullptr; }));
  const Shot ordering = Settled(first_, &folders);
  Keep(ordering, OutputPath("program-folder-order.png"));
  ASSERT_TRUE(PostMessageW(order, WM_COMMAND, IDCANCEL, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return !IsWindow(order); }));
  ASSERT_TRUE(PostMessageW(screen, WM_COMMAND, IDCANCEL, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return !IsWindow(screen); }));
}

// The frame's receive command as a person gives it: the progress window
// opens over the launcher (with the password prompt of an account that has
// none saved over it); closing the program then stops the receive, and the
// program ends cleanly once the task has ended, though the frame that ran the
// receive is gone by then.
TEST_F(ProgramRun, TheReceiveCommandRunsBehindTheProgressWindowAndAClosedProgramStopsIt) {
  const Shot work = Settled(first_);
  ASSERT_TRUE(PostMessageW(frame_, WM_COMMAND, kReceiveCommand, 0));
  ASSERT_TRUE(Within(std::chrono::seconds(30), [&] {
    return ReadFile(log_path_).find("QvProgressDlg::OnInitDialog") != std::string::npos;
  })) << ReadFile(log_path_);
  const Shot running = Settled(first_, &work);
  Keep(running, OutputPath("program-receive-progress.png"));
  EXPECT_GT(Differing(work, running, 220, 580), 1000) << "a window stands over the launcher";
  ASSERT_TRUE(PostMessageW(frame_, WM_CLOSE, 0, 0));
  EXPECT_EQ(WaitEnd(first_, std::chrono::seconds(60)), 0) << ReadFile(log_path_);
  first_ = -1;
}

// ---- second starts ----

TEST_F(ProgramRun, ASecondStartHandsItsCommandLineOverAndEndsWithoutAWindow) {
  qv::ScopedHandle enterAuto(CreateEventW(nullptr, TRUE, FALSE, L"MIS_EnterAutoRetrievere"));
  WriteBytes(L"\\a.txt", "a");
  WriteBytes(L"\\b c.txt", "b");
  struct Case {
    std::vector<std::string> args;
    UINT expected;  // what the first copy receives
  };
  const Case cases[] = {
      {{}, kClearContactCachesMessage},
      {{"-receiveTmail"}, kEnterAutoReceiveMessage},
      {{"mailto:a@example.jp"}, kComposeFromArgsMessage},
      {{"mailto:b@example.jp", "-attach", "\\a.txt", "-attach", "\\b c.txt", "-attach", "\\missing.txt"},
       kComposeFromArgsMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(empty)" : c.args[0]);
    const std::string log = root_ + "/second.log";
    const pid_t second = StartProgram(root_, log, c.args);
    EXPECT_EQ(WaitEnd(second, std::chrono::seconds(20)), 0) << ReadFile(log);
    EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return FirstGot(c.expected); })) << ReadFile(log_path_);
    if (c.expected == kComposeFromArgsMessage) {
      // The request opened the message window: stored as a draft, so that
      // the next request meets the frame, not a busy screen.
      HWND sheet = nullptr;
      ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return (sheet = FindWindowW(L"Dialog", kFrameTitle)) != nullptr; }))
          << Tail(ReadFile(log_path_));
      if (c.args.size() > 1) {
        // The request's attachments came in a list of their own, named beside
        // the mailto; the message window read it and took it away.
        CString args;
        ASSERT_TRUE(GetCmdArgs(args));
        std::wstring mailto, list;
        SplitComposeArgs(std::wstring(args), &mailto, &list);
        EXPECT_EQ(mailto, L"mailto:b@example.jp");
        EXPECT_FALSE(list.empty());
        EXPECT_EQ(ReadBytes(list), "<missing>");
      }
      ASSERT_TRUE(PostMessageW(sheet, WM_COMMAND, kSaveDraftCommand, 0));
      ASSERT_TRUE(Within(std::chrono::seconds(20), [&] { return !IsWindow(sheet); })) << Tail(ReadFile(log_path_));
    }
    if (Display* d = XOpenDisplay(nullptr)) {
      EXPECT_EQ(WindowOfProcess(d, second), 0u) << "the second never opened a window";
      XCloseDisplay(d);
    }
    ExpectOnlyTheFirstsWindows();
    std::remove(log.c_str());
  }
  EXPECT_EQ(WaitForSingleObject(enterAuto.get(), 5000), WAIT_OBJECT_0) << "the first entered the automatic receive";
  EXPECT_TRUE(IsWindow(frame_));
}

// A second start only hands over: it needs neither the display library nor
// the web's nor TLS, and runs where none of them can be loaded.
TEST_F(ProgramRun, ASecondStartHandsOverWhereTheDisplayWebAndTlsLibrariesCannotBeLoaded) {
  const std::string log = root_ + "/second.log";
  const std::string broken =
      BrokenLibraryFolder(root_, {"libSDL2-2.0.so.0", "libcurl.so.4", "libssl.so.3", "libcrypto.so.3"});
  const pid_t second = StartProgram(root_, log, {"-receiveTmail"}, {"LD_LIBRARY_PATH=" + broken}, root_ + "/second.err");
  EXPECT_EQ(WaitEnd(second, std::chrono::seconds(20)), 0) << ReadFile(root_ + "/second.err");
  EXPECT_EQ(ReadFile(root_ + "/second.err"), "");
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return FirstGot(kEnterAutoReceiveMessage); }))
      << ReadFile(log_path_);
  ExpectOnlyTheFirstsWindows();
}

TEST_F(ProgramRun, BadCommandLinesEndTheSecondStartWithoutHarm) {
  const std::vector<std::vector<std::string>> lines = {
      {std::string(100000, 'x')},
      {"-zzz"},
      {"-a", "どこにもない"},
  };
  for (const auto& args : lines) {
    SCOPED_TRACE(args[0].substr(0, 20));
    const pid_t second = StartProgram(root_, root_ + "/bad.log", args);
    EXPECT_EQ(WaitEnd(second, std::chrono::seconds(20)), 0);
    ExpectOnlyTheFirstsWindows();
  }
  EXPECT_TRUE(IsWindow(frame_));
  EXPECT_EQ(waitpid(first_, nullptr, WNOHANG), 0) << "the first copy runs on";
}

// ---- first starts with no screen to be had ----

// Without a screen the program says why in one line of its own and ends
// with its no-screen code, before it makes anything.
class ProgramWithoutAScreen : public qv::test::DisplayTest {};

TEST_F(ProgramWithoutAScreen, SaysWhyInOneLineAndEnds) {
  if (IsSkipped()) return;
  struct Case {
    const char* what;
    std::vector<std::string> env;
    const char* names;  // what the line must name
  };
  const Case cases[] = {
      {"no desktop named", {"DISPLAY", "WAYLAND_DISPLAY"}, "DISPLAY"},
      {"no display library", {"LD_LIBRARY_PATH=" + BrokenLibraryFolder(root_, {"libSDL2-2.0.so.0"})}, "libSDL2-2.0.so.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string errors = root_ + "/start.err";
    const pid_t pid = StartProgram(root_, root_ + "/start.log", {}, c.env, errors);
    EXPECT_EQ(WaitEnd(pid, std::chrono::seconds(20)), 2);
    const std::string text = ReadFile(errors);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_EQ(text.rfind("QvMail: ", 0), 0u) << text;
    EXPECT_NE(text.find(c.names), std::string::npos) << text;
    EXPECT_EQ(FindWindowW(kFrameClass, kFrameTitle), nullptr) << "no frame was made";
  }
}

}  // namespace
