// A second process finds this one's top-level window in the device's table
// and posts it integer messages, as a second start of the program hands
// over to the first. The test program runs itself again with QV_UI_CHILD
// naming the part the child plays; the child exits with its failed checks.
#include <stdlib.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/kernel/Library.h"
#include "platform/kernel/Sync.h"
#include "tests/platform/ui/UiTest.h"
#include "tests/support/SelfProcess.h"

namespace {

constexpr const wchar_t* kHandoverClass = L"WCE_QvHandover";
constexpr const wchar_t* kReady = L"QvTest.Ui.Ready";
constexpr UINT kHandover = WM_APP + 1;

LRESULT HandoverProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == kHandover) {
    PostQuitMessage(w == 42 && l == -7 ? 0 : 3);
    return 0;
  }
  if (m == WM_TIMER) PostQuitMessage(4);  // nothing came
  return DefWindowProcW(h, m, w, l);
}

// ---- the second process ----

int PlayChild(const std::string& role) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HandoverProc;
  wc.lpszClassName = kHandoverClass;
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, kHandoverClass, L"先に起動", WS_POPUP, 0, 0, 480, 800, nullptr, nullptr, nullptr, nullptr);
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, kReady);
  if (!w || !ready) return 10;
  if (role == "vanish") {
    SetEvent(ready);
    std::_Exit(0);  // ends without destroying its window
  }
  SetTimer(w, 1, 20000, nullptr);  // the real clock: a guard against a lost message
  SetEvent(ready);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0)) DispatchMessageW(&m);
  DestroyWindow(w);
  return static_cast<int>(m.wParam);
}

const bool g_child = [] {
  if (const char* role = ::getenv("QV_UI_CHILD")) std::exit(PlayChild(role));
  return false;
}();

// ---- the tests ----

class CrossProcess : public qv::test::UiTest {
 protected:
  pid_t Start(const std::string& role) {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, kReady);
    const pid_t child = qv::test::SpawnSelf({"QV_UI_CHILD=" + role, "QVMAIL_DEVICE_ROOT=" + root_});
    EXPECT_EQ(WaitForSingleObject(ready_, 20000), WAIT_OBJECT_0);
    return child;
  }
  void TearDown() override {
    CloseHandle(ready_);
    UiTest::TearDown();
  }
  HANDLE ready_ = nullptr;
};

TEST_F(CrossProcess, ASecondProcessFindsTheWindowAndPostsIntegersToIt) {
  const pid_t child = Start("wait");
  HWND found = FindWindowW(kHandoverClass, nullptr);
  ASSERT_NE(found, nullptr);
  EXPECT_TRUE(IsWindow(found));
  DWORD pid = 0;
  EXPECT_NE(GetWindowThreadProcessId(found, &pid), 0u);
  EXPECT_EQ(pid, static_cast<DWORD>(child));
  WCHAR text[32] = {};
  EXPECT_EQ(GetWindowTextW(found, text, 32), 4);
  EXPECT_EQ(std::wstring(text), L"先に起動");
  EXPECT_EQ(FindWindowW(nullptr, L"先に起動"), found);
  // Pointers never cross: such messages are refused, and sends too.
  EXPECT_FALSE(PostMessageW(found, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MESSAGE_SYNC_ONLY));
  EXPECT_EQ(SendMessageW(found, kHandover, 42, -7), 0);
  EXPECT_TRUE(SetForegroundWindow(found));
  EXPECT_TRUE(PostMessageW(found, kHandover, 42, -7));
  EXPECT_EQ(qv::test::WaitExit(child), 0);
  EXPECT_EQ(FindWindowW(kHandoverClass, nullptr), nullptr);
  EXPECT_FALSE(IsWindow(found));
  EXPECT_FALSE(PostMessageW(found, kHandover, 0, 0));
}

TEST_F(CrossProcess, WindowsOfAnEndedProcessAreNotFound) {
  const pid_t child = Start("vanish");
  EXPECT_EQ(qv::test::WaitExit(child), 0);
  EXPECT_EQ(FindWindowW(kHandoverClass, nullptr), nullptr);
}

TEST_F(CrossProcess, ThisProcessesWindowsAreInTheTableUntilDestroyed) {
  HWND mine = Make(WS_POPUP, nullptr, {0, 0, 10, 10}, 0, L"本体");
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(Host(".qvkernel/windows"))) files += !e.is_directory();
  EXPECT_EQ(files, 1);
  DestroyWindow(mine);
  EXPECT_TRUE(std::filesystem::is_empty(Host(".qvkernel/windows")));
}

// A second start looks at every top-level window on the device and asks
// which program made it: the other process's windows are enumerated with
// this one's, and each answers its own program's path.
TEST_F(CrossProcess, EnumerationListsTheOtherProcesssWindowWithItsProgram) {
  const pid_t child = Start("wait");
  HWND mine = Make(WS_POPUP, nullptr, {0, 0, 10, 10}, 0, L"本体");
  std::vector<HWND> seen;
  EnumWindows(
      [](HWND h, LPARAM p) {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&seen));
  HWND theirs = FindWindowW(kHandoverClass, nullptr);
  ASSERT_NE(theirs, nullptr);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), mine), 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), theirs), 1);

  WCHAR own[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
  struct Case {
    HWND window;
    UINT size;
    std::wstring expected;
  };
  const std::wstring path = own;  // both run this very test program
  const Case cases[] = {
      {mine, MAX_PATH, path},
      {theirs, MAX_PATH, path},
      {theirs, 5, path.substr(0, 4)},  // cut to the buffer, ended with a zero
  };
  for (const Case& c : cases) {
    WCHAR out[MAX_PATH] = {};
    EXPECT_EQ(GetWindowModuleFileNameW(c.window, out, c.size), c.expected.size());
    EXPECT_EQ(std::wstring(out), c.expected);
  }
  EXPECT_TRUE(PostMessageW(theirs, kHandover, 42, -7));
  EXPECT_EQ(qv::test::WaitExit(child), 0);
  WCHAR out[MAX_PATH] = {};
  EXPECT_EQ(GetWindowModuleFileNameW(theirs, out, MAX_PATH), 0u);  // gone with its process
  DestroyWindow(mine);
  EXPECT_EQ(GetWindowModuleFileNameW(mine, out, MAX_PATH), 0u);
}

}  // namespace
