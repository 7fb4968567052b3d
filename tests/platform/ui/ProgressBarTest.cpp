// The progress bar: its range, position and step as the messages leave them,
// and the fill it draws (blocks or smooth, across or from the bottom), redrawn
// only when what it shows changes.
#include <cstdlib>
#include <string>

#include "platform/gdi/Surface.h"
#include "platform/ui/CommCtrl.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::UiTest;
using ProgressBar = UiTest;

COLORREF ScreenAt(int x, int y) { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(y)[x]); }

HWND MakeBar(HWND parent, DWORD style, RECT r) {
  return CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, parent, nullptr, nullptr, nullptr);
}

TEST_F(ProgressBar, MessagesMoveThePositionWithinTheRange) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND bar = MakeBar(parent, 0, {10, 10, 210, 40});
  struct Step {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT answer;  // what the message returns
    int pos;         // the position after it
  };
  const Step steps[] = {
      {PBM_GETPOS, 0, 0, 0, 0},
      {PBM_STEPIT, 0, 0, 0, 10},                                  // the step is 10 at first
      {PBM_SETPOS, 250, 0, 10, 100},                              // clamped to the top
      {PBM_STEPIT, 0, 0, 100, 10},                                // past the top starts again
      {PBM_DELTAPOS, static_cast<WPARAM>(-40), 0, 10, 0},         // clamped to the bottom
      {PBM_SETRANGE, 0, MAKELPARAM(20, 60), MAKELONG(0, 100), 20},  // the old range back, position clamped
      {PBM_SETSTEP, 15, 0, 10, 20},
      {PBM_STEPIT, 0, 0, 20, 35},
      {PBM_STEPIT, 0, 0, 35, 50},
      {PBM_STEPIT, 0, 0, 50, 25},                                 // 65 is 5 past 60: 20 + 5
      {PBM_SETRANGE32, 0, 100000, MAKELONG(20, 60), 25},
      {PBM_SETPOS, 75000, 0, 25, 75000},
      {PBM_GETRANGE, TRUE, 0, 0, 75000},
      {PBM_GETRANGE, FALSE, 0, 100000, 75000},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(SendMessageW(bar, s.message, s.wParam, s.lParam), s.answer) << "message " << s.message - WM_USER;
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), s.pos) << "message " << s.message - WM_USER;
  }
  PBRANGE range{};
  SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100000);
}

TEST_F(ProgressBar, TheFillFollowsThePositionAndRepaintsOnlyWhenItChanges) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND across = MakeBar(parent, PBS_SMOOTH, {10, 10, 214, 40});  // 200 pixels inside the frame
  HWND blocks = MakeBar(parent, 0, {10, 60, 214, 90});
  HWND upward = MakeBar(parent, PBS_VERTICAL | PBS_SMOOTH, {300, 10, 330, 214});
  for (HWND bar : {across, blocks, upward}) SendMessageW(bar, PBM_SETPOS, 50, 0);
  SendMessageW(across, PBM_SETBARCOLOR, 0, RGB(0, 128, 0));
  Pump();

  const COLORREF fill = GetSysColor(COLOR_HIGHLIGHT), face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(ScreenAt(12 + 50, 25), RGB(0, 128, 0)) << "a quarter of the way: filled in the bar colour";
  EXPECT_EQ(ScreenAt(12 + 150, 25), face) << "three quarters: empty";
  EXPECT_EQ(ScreenAt(12 + 96, 25), RGB(0, 128, 0));
  EXPECT_EQ(ScreenAt(12 + 104, 25), face);
  EXPECT_EQ(ScreenAt(315, 212 - 50), fill) << "vertical bars fill from the bottom";
  EXPECT_EQ(ScreenAt(315, 12 + 50), face);
  const char* dir = getenv("QV_BINARY_DIR");
  EXPECT_TRUE(qv::seams::SaveScreenPng(std::string(dir ? dir : ".") + "/ui-progress.png"));
  // Blocks are two thirds of the bar's 26-pixel thickness long, 2 apart.
  int gaps = 0;
  for (int x = 12; x < 112; ++x) gaps += ScreenAt(x, 75) == face ? 1 : 0;
  EXPECT_GE(gaps, 8) << "separate blocks, not one fill";
  EXPECT_LE(gaps, 16);

  // 200 pixels for 100 steps: each step shows. Blocks of 19 pixels do not
  // change for one step, so the blocky bar is left alone.
  ValidateRect(across, nullptr);
  ValidateRect(blocks, nullptr);
  SendMessageW(across, PBM_SETPOS, 51, 0);
  SendMessageW(blocks, PBM_SETPOS, 51, 0);
  EXPECT_TRUE(GetUpdateRect(across, nullptr, FALSE));
  EXPECT_FALSE(GetUpdateRect(blocks, nullptr, FALSE));
}

}  // namespace
