// A second process finds this one's top-level window in the device's table
// and posts it integer messages, as a second start of the program hands
// over to the first. The test program runs itself again with QV_UI_CHILD
// naming the part the child plays; the child exits with its failed checks.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>

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

}  // namespace
