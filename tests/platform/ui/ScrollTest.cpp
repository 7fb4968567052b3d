// Scroll bars and scrolling: the values SetScrollInfo keeps, a window's bar
// coming and going with its range, the codes taps, drags and the wheel
// report, and ScrollWindowEx moving pixels and children.
#include "platform/gdi/Surface.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/DialogTestSupport.h"

namespace qv::test {
namespace {

using Scrolling = UiTest;

constexpr int kBar = 26;  // SM_CXVSCROLL

TEST_F(Scrolling, SetScrollInfoKeepsPageAndPositionInRange) {
  HWND w = Make(WS_POPUP | WS_VISIBLE | WS_VSCROLL, nullptr, {0, 0, 200, 300});
  struct Case {
    int min, max;
    UINT page;
    int pos;
    UINT wantPage;
    int wantPos;
  };
  const Case cases[] = {
      {0, 100, 10, 95, 10, 91},    // the last page shows max
      {0, 100, 0, 150, 0, 100},    // no page: up to max
      {0, 100, 10, -5, 10, 0},
      {0, 100, 200, 50, 101, 0},   // a page no larger than the range
      {10, 20, 5, 0, 5, 10},
      {-10, 10, 5, 10, 5, 6},
      {0, 0, 0, 5, 0, 0},
  };
  for (const Case& c : cases) {
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, c.min, c.max, c.page, c.pos, 0};
    EXPECT_EQ(SetScrollInfo(w, SB_VERT, &si, TRUE), c.wantPos);
    SCROLLINFO got{sizeof got, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(w, SB_VERT, &got));
    EXPECT_EQ(got.nMin, c.min);
    EXPECT_EQ(got.nMax, c.max);
    EXPECT_EQ(got.nPage, c.wantPage);
    EXPECT_EQ(got.nPos, c.wantPos);
    EXPECT_EQ(got.nTrackPos, c.wantPos);
  }
  EXPECT_TRUE(SetScrollRange(w, SB_VERT, 0, 10, TRUE));
  EXPECT_EQ(SetScrollPos(w, SB_VERT, 3, TRUE), 0);
  EXPECT_EQ(SetScrollPos(w, SB_VERT, 30, TRUE), 3);
  EXPECT_EQ(GetScrollPos(w, SB_VERT), 10);
  SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
  EXPECT_EQ(SetScrollInfo(w, SB_CTL, &si, TRUE), 0);  // a window is no scroll bar control
  EXPECT_FALSE(GetScrollInfo(w, SB_CTL, &si));
}

TEST_F(Scrolling, AWindowsBarGoesWhenItsRangeFitsAPageUnlessKeptDisabled) {
  HWND w = Make(WS_POPUP | WS_VISIBLE | WS_VSCROLL, nullptr, {0, 0, 200, 300});
  struct Case {
    int max;
    UINT flags;
    bool shown;
  };
  const Case cases[] = {{9, 0, false}, {99, 0, true}, {9, SIF_DISABLENOSCROLL, true}, {9, 0, false}, {10, 0, true}};
  for (const Case& c : cases) {
    log_.Clear();
    const bool before = (GetWindowLongW(w, GWL_STYLE) & WS_VSCROLL) != 0;
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | c.flags, 0, c.max, 10, 0, 0};
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    EXPECT_EQ((GetWindowLongW(w, GWL_STYLE) & WS_VSCROLL) != 0, c.shown) << c.max;
    RECT client{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, c.shown ? 200 - kBar : 200) << c.max;
    if (before != c.shown) {
      EXPECT_EQ(log_.Compare(w, {{WM_SIZE, seq::sent | seq::lparam, 0, MAKELPARAM(client.right, 300)}}), "") << c.max;
    }
  }
}

TEST_F(Scrolling, TapsAndDragsOnABarReportScrollCodes) {
  HWND w = Make(WS_POPUP | WS_VISIBLE | WS_VSCROLL, nullptr, {0, 0, 200, 326});
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 0, 0};
  SetScrollInfo(w, SB_VERT, &si, TRUE);
  Pump();
  // The bar: x 174..200; arrows 0..26 and 300..326, the track between, the
  // thumb (a tenth of it, at least 16) at its top.
  const int x = 187;
  struct Case {
    const char* name;
    std::vector<std::pair<UINT, POINT>> stylus;
    std::vector<MsgEntry> want;
  };
  auto code = [](int c, int pos = 0) {
    return MsgEntry{WM_VSCROLL, seq::sent | seq::defwinproc | seq::wparam, MAKEWPARAM(c, pos)};
  };
  const Case cases[] = {
      {"down arrow", {{WM_LBUTTONDOWN, {x, 310}}, {WM_LBUTTONUP, {x, 310}}}, {code(SB_LINEDOWN), code(SB_ENDSCROLL)}},
      {"up arrow", {{WM_LBUTTONDOWN, {x, 10}}, {WM_LBUTTONUP, {x, 10}}}, {code(SB_LINEUP), code(SB_ENDSCROLL)}},
      {"below the thumb", {{WM_LBUTTONDOWN, {x, 200}}, {WM_LBUTTONUP, {x, 200}}}, {code(SB_PAGEDOWN), code(SB_ENDSCROLL)}},
      {"thumb dragged half the track",
       {{WM_LBUTTONDOWN, {x, 30}}, {WM_MOUSEMOVE, {x, 30 + 137}}, {WM_LBUTTONUP, {x, 30 + 137}}},
       {code(SB_THUMBTRACK, 50), code(SB_THUMBPOSITION, 50), code(SB_ENDSCROLL)}},
  };
  for (const Case& c : cases) {
    log_.Ignore({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_CAPTURECHANGED, WM_PAINT, WM_ERASEBKGND});
    log_.Clear();
    for (auto [message, at] : c.stylus) qv::seams::InjectPointer(message, at);
    Pump();
    EXPECT_EQ(log_.Compare(w, c.want), "") << c.name;
    EXPECT_EQ(GetCapture(), nullptr) << c.name;
  }
  // The window did not take the dragged position: the thumb goes back.
  SCROLLINFO got{sizeof got, SIF_POS | SIF_TRACKPOS, 0, 0, 0, 0, 0};
  GetScrollInfo(w, SB_VERT, &got);
  EXPECT_EQ(got.nPos, 0);
  EXPECT_EQ(got.nTrackPos, 0);
}

TEST_F(Scrolling, AScrollBarControlKeepsItsOwnValuesAndTellsItsParent) {
  HWND parent = Make(WS_POPUP | WS_VISIBLE);
  HWND bar = CreateWindowExW(0, WC_SCROLLBAR, L"", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, 100, 300, 26, parent,
                             reinterpret_cast<HMENU>(4), nullptr, nullptr);
  ASSERT_NE(bar, nullptr);
  SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 9, 3, 8, 0};
  EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &si, TRUE), 7);
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 7);
  EXPECT_TRUE(IsWindowVisible(bar)) << "a control stays, whatever its range";
  Pump();
  log_.Ignore({WM_PAINT, WM_ERASEBKGND, WM_CTLCOLORSCROLLBAR});
  log_.Clear();
  qv::seams::InjectTap({10, 113});  // its left arrow
  Pump();
  EXPECT_EQ(log_.Compare(bar, {{WM_LBUTTONDOWN, seq::posted},
                               {WM_HSCROLL, seq::sent | seq::parent | seq::wparam | seq::lparam, SB_LINELEFT,
                                reinterpret_cast<LPARAM>(bar)},
                               {WM_LBUTTONUP, seq::posted},
                               {WM_HSCROLL, seq::sent | seq::parent | seq::wparam | seq::lparam, SB_ENDSCROLL,
                                reinterpret_cast<LPARAM>(bar)},
                               {WM_CAPTURECHANGED, seq::sent}}),
            "");
}

TEST_F(Scrolling, TheWheelScrollsLinesOrGoesToTheParent) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND list = Make(WS_CHILD | WS_VISIBLE | WS_VSCROLL, top, {0, 0, 200, 200}, 1);
  HWND plain = Make(WS_CHILD | WS_VISIBLE, top, {0, 300, 200, 500}, 2);
  Pump();
  log_.Ignore({WM_PAINT, WM_ERASEBKGND});
  log_.Clear();
  qv::seams::InjectWheel({100, 100}, -WHEEL_DELTA);
  Pump();
  const MsgEntry down{WM_VSCROLL, seq::sent | seq::defwinproc | seq::wparam, SB_LINEDOWN};
  EXPECT_EQ(log_.Compare(list, {{WM_MOUSEWHEEL, seq::posted | seq::wparam | seq::lparam,
                                 MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(100, 100)},
                                down, down, down,
                                {WM_VSCROLL, seq::sent | seq::defwinproc | seq::wparam, SB_ENDSCROLL}}),
            "");
  log_.Clear();
  qv::seams::InjectWheel({100, 400}, WHEEL_DELTA);
  Pump();
  EXPECT_EQ(log_.Compare(plain, {{WM_MOUSEWHEEL, seq::posted},
                                 {WM_MOUSEWHEEL, seq::sent | seq::parent | seq::defwinproc | seq::lparam, 0,
                                  MAKELPARAM(100, 400)}}),
            "");
}

TEST_F(Scrolling, ScrollWindowExMovesPixelsAndChildrenAndInvalidatesTheBand) {
  struct Case {
    int dx, dy;
    RECT band;
  };
  const Case cases[] = {{0, -50, {0, 250, 200, 300}}, {0, 40, {0, 0, 200, 40}}, {-30, 0, {170, 0, 200, 300}}};
  for (const Case& c : cases) {
    HWND w = Make(WS_POPUP | WS_VISIBLE, nullptr, {100, 100, 300, 400});
    HWND child = Make(WS_CHILD | WS_VISIBLE, w, {60, 100, 100, 140}, 1);
    Pump();
    // A mark on the parent's own pixels, where no child lies.
    HDC dc = GetDC(w);
    RECT mark{100, 150, 110, 160};
    FillRect(dc, &mark, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(w, dc);
    auto screen = qv::ui::ScreenSurface();
    ASSERT_EQ(qv::gdi::ColorOf(screen->Row(100 + 155)[100 + 105]), RGB(0, 0, 0));
    log_.Ignore({WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED});
    log_.Clear();
    RECT update{};
    EXPECT_EQ(ScrollWindowEx(w, c.dx, c.dy, nullptr, nullptr, nullptr, &update, SW_SCROLLCHILDREN | SW_INVALIDATE),
              SIMPLEREGION);
    EXPECT_TRUE(EqualRect(&update, &c.band));
    RECT pending{};
    GetUpdateRect(w, &pending, FALSE);
    EXPECT_TRUE(EqualRect(&pending, &c.band)) << c.dx << "," << c.dy;
    RECT moved{};
    GetWindowRect(child, &moved);
    EXPECT_EQ(moved.left, 100 + 60 + c.dx);
    EXPECT_EQ(moved.top, 100 + 100 + c.dy);
    EXPECT_EQ(log_.Compare(child, {{WM_MOVE, seq::sent | seq::defwinproc | seq::lparam, 0,
                                    MAKELPARAM(60 + c.dx, 100 + c.dy)}}),
              "");
    EXPECT_EQ(qv::gdi::ColorOf(screen->Row(100 + 155 + c.dy)[100 + 105 + c.dx]), RGB(0, 0, 0)) << "the mark moved";
    DestroyWindow(w);
  }
}

TEST_F(Scrolling, WhatWaitedToBePaintedMovesWithTheScroll) {
  // Rows invalidated but not painted yet are copied as they stand: they must
  // be painted again where the scroll put them, or they stay stale (a list's
  // old selection left drawn on row after row).
  struct Case {
    int dx, dy;
    RECT waiting;  // invalidated before the scroll
    RECT after;    // what must be pending after it (besides the band)
  };
  const Case cases[] = {{0, -50, {0, 100, 200, 120}, {0, 50, 200, 70}},
                        {0, 40, {0, 100, 200, 120}, {0, 140, 200, 160}},
                        {-30, 0, {100, 0, 120, 300}, {70, 0, 90, 300}}};
  for (const Case& c : cases) {
    HWND w = Make(WS_POPUP | WS_VISIBLE, nullptr, {100, 100, 300, 400});
    Pump();
    InvalidateRect(w, &c.waiting, FALSE);
    ScrollWindowEx(w, c.dx, c.dy, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
    RECT pending{};
    GetUpdateRect(w, &pending, FALSE);
    RECT covered{};
    UnionRect(&covered, &pending, &c.after);
    EXPECT_TRUE(EqualRect(&covered, &pending)) << c.dx << "," << c.dy << ": pending " << pending.left << ","
                                               << pending.top << "," << pending.right << "," << pending.bottom;
    DestroyWindow(w);
  }
}

TEST_F(Scrolling, ScrollingUnderAnotherWindowRepaintsEverything) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 200, 300});
  Make(WS_POPUP | WS_VISIBLE, nullptr, {150, 0, 250, 50});  // over w's corner
  Pump();
  RECT update{};
  ScrollWindowEx(w, 0, -10, nullptr, nullptr, nullptr, &update, SW_INVALIDATE);
  const RECT all{0, 0, 200, 300};
  EXPECT_TRUE(EqualRect(&update, &all));
  const RECT inside{20, 20, 120, 120};
  EXPECT_EQ(ScrollWindowEx(w, 0, 0, &inside, nullptr, nullptr, &update, 0), NULLREGION);
}

}  // namespace
}  // namespace qv::test
