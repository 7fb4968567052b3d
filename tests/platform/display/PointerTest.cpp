// The mouse as the stylus: what a window under it receives for taps, drags
// and presses held on the UI clock, and the right button as tap-and-hold.
#include "tests/platform/display/DisplayTest.h"

namespace {

using qv::test::DisplayTest;
namespace seq = qv::test::seq;
using Pointer = DisplayTest;
using qv::display::kHoldMilliseconds;

// One thing the desktop does: a button, a move, or time passing.
struct Act {
  enum Kind { LeftDown, LeftUp, RightDown, RightUp, MiddleDown, MiddleUp, Move, Wait } kind;
  int x = 0;  // screen point, or milliseconds for Wait
  int y = 0;
};

struct PointerCase {
  const char* name;
  std::vector<Act> acts;
  std::vector<qv::seams::MsgEntry> expected;  // at the child, which lies at (100, 100)
};

constexpr unsigned kAll = seq::posted | seq::wparam | seq::lparam;

TEST_F(Pointer, TapsDragsAndHoldsReachTheWindowUnderTheStylus) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {100, 100, 300, 300}, 1);
  const WPARAM c = W(child);
  const PointerCase cases[] = {
      {"tap",
       {{Act::LeftDown, 150, 160}, {Act::LeftUp, 150, 160}},
       {{WM_LBUTTONDOWN, kAll, MK_LBUTTON, MAKELPARAM(50, 60)}, {WM_LBUTTONUP, kAll, 0, MAKELPARAM(50, 60)}}},
      {"held still",
       {{Act::LeftDown, 150, 160}, {Act::Wait, kHoldMilliseconds}, {Act::LeftUp, 150, 160}},
       {{WM_LBUTTONDOWN, kAll, MK_LBUTTON, MAKELPARAM(50, 60)},
        {WM_CONTEXTMENU, kAll, c, MAKELPARAM(150, 160)},
        {WM_LBUTTONUP, kAll, 0, MAKELPARAM(50, 60)}}},
      {"held with a tremor",
       {{Act::LeftDown, 150, 160}, {Act::Move, 153, 157}, {Act::Wait, kHoldMilliseconds}, {Act::LeftUp, 153, 157}},
       {{WM_LBUTTONDOWN, kAll, MK_LBUTTON, MAKELPARAM(50, 60)},
        {WM_MOUSEMOVE, kAll, MK_LBUTTON, MAKELPARAM(53, 57)},
        {WM_CONTEXTMENU, kAll, c, MAKELPARAM(150, 160)},
        {WM_LBUTTONUP, kAll, 0, MAKELPARAM(53, 57)}}},
      {"dragged, then held",
       {{Act::LeftDown, 150, 160}, {Act::Move, 150, 180}, {Act::Move, 150, 160}, {Act::Wait, kHoldMilliseconds},
        {Act::LeftUp, 150, 160}},
       {{WM_LBUTTONDOWN, kAll, MK_LBUTTON, MAKELPARAM(50, 60)},
        {WM_MOUSEMOVE, kAll, MK_LBUTTON, MAKELPARAM(50, 80)},
        {WM_MOUSEMOVE, kAll, MK_LBUTTON, MAKELPARAM(50, 60)},
        {WM_LBUTTONUP, kAll, 0, MAKELPARAM(50, 60)}}},
      {"let go just before the hold",
       {{Act::LeftDown, 150, 160}, {Act::Wait, kHoldMilliseconds - 1}, {Act::LeftUp, 150, 160},
        {Act::Wait, kHoldMilliseconds}},
       {{WM_LBUTTONDOWN, kAll, MK_LBUTTON, MAKELPARAM(50, 60)}, {WM_LBUTTONUP, kAll, 0, MAKELPARAM(50, 60)}}},
      {"right button",
       {{Act::RightDown, 120, 110}, {Act::RightUp, 120, 110}},
       {{WM_LBUTTONDOWN, kAll, MK_LBUTTON, MAKELPARAM(20, 10)},
        {WM_CONTEXTMENU, kAll, c, MAKELPARAM(120, 110)},
        {WM_LBUTTONUP, kAll, 0, MAKELPARAM(20, 10)}}},
      // The right button while the left holds the stylus down changes nothing.
      {"right during a tap",
       {{Act::LeftDown, 150, 160}, {Act::RightDown, 150, 160}, {Act::RightUp, 150, 160}, {Act::LeftUp, 150, 160}},
       {{WM_LBUTTONDOWN, kAll, MK_LBUTTON, MAKELPARAM(50, 60)}, {WM_LBUTTONUP, kAll, 0, MAKELPARAM(50, 60)}}},
      // The stylus never hovers, and the middle button is none of its.
      {"hover and middle",
       {{Act::Move, 150, 160}, {Act::MiddleDown, 150, 160}, {Act::MiddleUp, 150, 160}},
       {}},
  };
  Pump();
  for (const PointerCase& pc : cases) {
    log_.Clear();
    for (const Act& a : pc.acts) {
      switch (a.kind) {
        case Act::LeftDown: Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, a.x, a.y); break;
        case Act::LeftUp: Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, a.x, a.y); break;
        case Act::RightDown: Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, a.x, a.y); break;
        case Act::RightUp: Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, a.x, a.y); break;
        case Act::MiddleDown: Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, a.x, a.y); break;
        case Act::MiddleUp: Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE, a.x, a.y); break;
        case Act::Move: Motion(a.x, a.y); break;
        case Act::Wait: qv::seams::AdvanceUiClock(static_cast<DWORD>(a.x)); break;
      }
      Pump();
    }
    EXPECT_EQ(log_.Compare(child, pc.expected), "") << pc.name;
    EXPECT_EQ(log_.MessagesOf(top), std::vector<UINT>{}) << pc.name;
  }
}

// The hold is due on the UI clock alone: one millisecond short, nothing.
TEST_F(Pointer, TheHoldFallsDueOnTheUiClock) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  log_.Clear();
  Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
  Pump();
  qv::seams::AdvanceUiClock(kHoldMilliseconds - 1);
  Pump();
  EXPECT_EQ(log_.MessagesOf(top), std::vector<UINT>{WM_LBUTTONDOWN});
  qv::seams::AdvanceUiClock(1);
  Pump();
  EXPECT_EQ(log_.MessagesOf(top), (std::vector<UINT>{WM_LBUTTONDOWN, WM_CONTEXTMENU}));
  qv::seams::AdvanceUiClock(kHoldMilliseconds);
  Pump();  // once per press
  EXPECT_EQ(log_.MessagesOf(top), (std::vector<UINT>{WM_LBUTTONDOWN, WM_CONTEXTMENU}));
  Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 10, 20);
  Pump();
}

}  // namespace
