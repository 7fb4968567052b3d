// The device profile and its metrics; turning the screen resizes the
// full-screen windows and tells every top-level window.
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::UiTest;
namespace seq = qv::test::seq;

using Metrics = UiTest;

TEST_F(Metrics, TheScreenIsPortraitUntilTurned) {
  struct Case {
    bool landscape;
    int width, height;
  };
  for (const Case& c : {Case{false, 480, 800}, Case{true, 800, 480}, Case{false, 480, 800}}) {
    qv::seams::SetLandscape(c.landscape);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.width);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), c.height);
    EXPECT_EQ(qv::ui::CurrentProfile().dpi, 192);
    RECT desktop{};
    GetClientRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(desktop.right, c.width);
  }
  EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
  EXPECT_EQ(GetSystemMetrics(SM_CXSMICON) * 2, GetSystemMetrics(SM_CXICON));
}

TEST_F(Metrics, TurningResizesFullScreenWindowsAndTellsEveryTopLevelWindow) {
  HWND full = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 480, 800});
  HWND small = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 100, 100});
  HWND child = Make(WS_CHILD | WS_VISIBLE, full, {0, 0, 10, 10}, 1);
  Pump();
  log_.Clear();
  qv::seams::SetLandscape(true);
  EXPECT_EQ(log_.Compare(full, {{WM_WINDOWPOSCHANGING, seq::sent},
                                {WM_WINDOWPOSCHANGED, seq::sent},
                                {WM_SIZE, seq::sent | seq::defwinproc | seq::lparam, 0, MAKELPARAM(800, 480)},
                                {WM_SETTINGCHANGE, seq::sent | seq::other | seq::wparam, SETTINGCHANGE_RESET},
                                {WM_SETTINGCHANGE, seq::sent | seq::wparam, SETTINGCHANGE_RESET}}),
            "");
  EXPECT_EQ(log_.MessagesOf(child), std::vector<UINT>{});
  RECT r{};
  GetWindowRect(small, &r);
  EXPECT_EQ(r.right, 100);
  log_.Clear();
  Pump();  // the turned screen is drawn anew
  EXPECT_NE(log_.MessagesOf(full), std::vector<UINT>{});
}

}  // namespace
