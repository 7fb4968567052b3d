// Update rectangles and WM_PAINT: invalidations add up, BeginPaint takes
// them, painting waits for an idle queue, WM_SETREDRAW FALSE stops it, and
// paint DCs draw on the window's part of the screen.
#include <algorithm>
#include <functional>
#include <map>

#include "platform/gdi/Gdi.h"
#include "platform/ui/window/Screen.h"
#include "tests/platform/ui/UiTest.h"

namespace {

using qv::test::UiTest;
namespace seq = qv::test::seq;

using Paint = UiTest;

RECT Update(HWND w) {
  RECT r{};
  GetUpdateRect(w, &r, FALSE);
  return r;
}

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

TEST_F(Paint, InvalidationsAddUpAndBeginPaintTakesThem) {
  HWND w = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
  const RECT a{10, 10, 20, 20};
  const RECT b{30, 5, 40, 15};
  InvalidateRect(w, &a, FALSE);
  InvalidateRect(w, &b, FALSE);
  EXPECT_TRUE(Same(Update(w), RECT{10, 5, 40, 20}));
  const RECT outside{1000, 1000, 1010, 1010};
  InvalidateRect(w, &outside, FALSE);  // clipped to the client: nothing added
  EXPECT_TRUE(Same(Update(w), RECT{10, 5, 40, 20}));
  PAINTSTRUCT ps;
  ASSERT_NE(BeginPaint(w, &ps), nullptr);
  EXPECT_TRUE(Same(ps.rcPaint, RECT{10, 5, 40, 20}));
  EXPECT_FALSE(ps.fErase);
  EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
  EndPaint(w, &ps);
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, w, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(Paint, ValidateRectTakesAwayWhatLeavesARectangle) {
  HWND w = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  struct Case {
    RECT invalid, valid, left;
  };
  const Case cases[] = {
      {{0, 0, 100, 100}, {0, 0, 100, 40}, {0, 40, 100, 100}},
      {{0, 0, 100, 100}, {60, 0, 100, 100}, {0, 0, 60, 100}},
      {{0, 0, 100, 100}, {10, 10, 20, 20}, {0, 0, 100, 100}},  // a hole cannot be kept
      {{0, 0, 100, 100}, {0, 0, 200, 200}, {}},
  };
  for (const Case& c : cases) {
    ValidateRect(w, nullptr);
    InvalidateRect(w, &c.invalid, FALSE);
    ValidateRect(w, &c.valid);
    EXPECT_TRUE(Same(Update(w), c.left)) << c.valid.left << "," << c.valid.top;
  }
}

TEST_F(Paint, PaintWaitsForAnIdleQueueAndErasesThroughDefWindowProc) {
  HWND w = Make(WS_POPUP | WS_VISIBLE);
  log_.Clear();
  PostMessageW(w, WM_USER, 0, 0);
  Pump();
  EXPECT_EQ(log_.Compare(w, {{WM_USER, seq::posted},
                             {WM_PAINT, seq::posted},
                             {WM_ERASEBKGND, seq::sent | seq::defwinproc}}),
            "");
  EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
}

TEST_F(Paint, APaintThatDoesNotValidateComesBack) {
  ASSERT_NE(Make(WS_POPUP | WS_VISIBLE), nullptr);
  int paints = 0;
  qv::test::CurrentHandler() = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_PAINT) {
      ++paints;
      return 0;
    }
    return std::nullopt;
  };
  EXPECT_EQ(qv::seams::PumpMessages(5), 5);
  EXPECT_EQ(paints, 5);
}

TEST_F(Paint, SetRedrawFalseStopsPaintingUntilTurnedOnAndInvalidated) {
  HWND w = Make(WS_POPUP | WS_VISIBLE);
  Pump();
  SendMessageW(w, WM_SETREDRAW, FALSE, 0);
  InvalidateRect(w, nullptr, TRUE);
  log_.Clear();
  Pump();
  EXPECT_EQ(log_.MessagesOf(w), std::vector<UINT>{});
  EXPECT_FALSE(qv::seams::ReadWindow(w).redraw);
  SendMessageW(w, WM_SETREDRAW, TRUE, 0);
  Pump();
  EXPECT_EQ(log_.MessagesOf(w), std::vector<UINT>{WM_SETREDRAW});  // nothing was kept meanwhile
  InvalidateRect(w, nullptr, FALSE);
  log_.Clear();
  Pump();
  EXPECT_EQ(log_.Compare(w, {{WM_PAINT, seq::posted}}), "");
}

TEST_F(Paint, UpdateWindowPaintsAtOnceParentsBeforeChildren) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {10, 10, 60, 60}, 1);
  Pump();
  InvalidateRect(top, nullptr, FALSE);  // the child lies inside: it repaints too
  EXPECT_TRUE(Same(Update(child), RECT{0, 0, 50, 50}));
  log_.Clear();
  UpdateWindow(top);
  // The parent drew over the child, so the child erases as well.
  EXPECT_EQ(log_.Compare(top, {{WM_PAINT, seq::sent}, {WM_PAINT, seq::sent | seq::other},
                               {WM_ERASEBKGND, seq::sent | seq::other | seq::defwinproc}}),
            "");
  EXPECT_FALSE(GetUpdateRect(child, nullptr, FALSE));
}

TEST_F(Paint, HidingAndMovingUncoverWhatLiesBelow) {
  HWND top = Make(WS_POPUP | WS_VISIBLE);
  HWND child = Make(WS_CHILD | WS_VISIBLE, top, {10, 10, 60, 60}, 1);
  Pump();
  ShowWindow(child, SW_HIDE);
  EXPECT_TRUE(Same(Update(top), RECT{10, 10, 60, 60}));
  Pump();
  ShowWindow(child, SW_SHOW);
  EXPECT_TRUE(Same(Update(child), RECT{0, 0, 50, 50}));
  Pump();
  MoveWindow(child, 100, 10, 50, 50, TRUE);
  EXPECT_TRUE(Same(Update(top), RECT{10, 10, 60, 60}));
  EXPECT_TRUE(Same(Update(child), RECT{0, 0, 50, 50}));
}

TEST_F(Paint, EraseFillsTheClassBrushOnTheWindowsPartOfTheScreen) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, nullptr, {100, 200, 150, 250});
  HWND over = Make(WS_POPUP | WS_VISIBLE, nullptr, {0, 0, 480, 800});
  ShowWindow(over, SW_HIDE);
  Pump();
  auto screen = qv::ui::ScreenSurface();
  ASSERT_NE(screen, nullptr);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  EXPECT_EQ(qv::gdi::ColorOf(screen->Row(210)[110]), window);
  // A paint DC never reaches past its window.
  HDC dc = GetDC(w);
  ASSERT_NE(dc, nullptr);
  RECT all{-100, -100, 1000, 1000};
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  FillRect(dc, &all, black);
  ReleaseDC(w, dc);
  EXPECT_EQ(qv::gdi::ColorOf(screen->Row(200)[100]), RGB(0, 0, 0));
  EXPECT_EQ(qv::gdi::ColorOf(screen->Row(249)[149]), RGB(0, 0, 0));
  EXPECT_NE(qv::gdi::ColorOf(screen->Row(199)[100]), RGB(0, 0, 0));
  EXPECT_NE(qv::gdi::ColorOf(screen->Row(200)[150]), RGB(0, 0, 0));
}

// A window's paint and GetDC leave out what lies over it, as the clip styles
// ask: the windows above a top-level window always, its children with
// WS_CLIPCHILDREN, its siblings above with WS_CLIPSIBLINGS. What was left
// out keeps its pixels and is not painted again; without the styles a
// parent's invalidation reaches its children, which paint after it.
TEST_F(Paint, PaintAndGetDcLeaveOutWhatLiesOverTheWindow) {
  using qv::test::CurrentHandler;
  std::map<HWND, COLORREF> colourOf;
  std::vector<HWND> painted;
  CurrentHandler() = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_ERASEBKGND) return 1;
    if (m != WM_PAINT || !colourOf.count(h)) return std::nullopt;
    painted.push_back(h);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    HBRUSH b = CreateSolidBrush(colourOf[h]);
    RECT all{-1000, -1000, 1000, 1000};
    FillRect(dc, &all, b);
    DeleteObject(b);
    EndPaint(h, &ps);
    return 0;
  };
  const COLORREF kRed = RGB(200, 0, 0), kBlue = RGB(0, 0, 200), kGreen = RGB(0, 160, 0);
  struct Case {
    const char* name;
    // Makes the windows: the one acted on, and the one over it.
    std::function<std::pair<HWND, HWND>()> make;
    bool byGetDc;         // else an invalidation of the lower one
    bool overPaints;      // the window over it paints again
    COLORREF overAfter;   // the colour the window over it shows then
  };
  const Case cases[] = {
      {"a popup over a top-level window, its paint",
       [&] { HWND below = Make(WS_POPUP | WS_VISIBLE);
             return std::pair{below, Make(WS_POPUP | WS_VISIBLE, nullptr, {100, 100, 200, 200})}; },
       false, false, kBlue},
      {"a popup over a top-level window's child, GetDC",
       [&] { HWND below = Make(WS_POPUP | WS_VISIBLE);
             HWND child = Make(WS_CHILD | WS_VISIBLE, below, {50, 50, 400, 400});
             HWND popup = Make(WS_POPUP | WS_VISIBLE, nullptr, {100, 100, 200, 200});
             return std::pair{child, popup}; },
       true, false, kBlue},
      {"a child of a WS_CLIPCHILDREN parent",
       [&] { HWND parent = Make(WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
             return std::pair{parent, Make(WS_CHILD | WS_VISIBLE, parent, {100, 100, 200, 200})}; },
       false, false, kBlue},
      {"a WS_CLIPSIBLINGS sibling above",
       [&] { HWND parent = Make(WS_POPUP | WS_VISIBLE);
             HWND lower = Make(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, parent, {0, 0, 300, 300});
             HWND upper = Make(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, parent, {100, 100, 200, 200});
             SetWindowPos(upper, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
             return std::pair{lower, upper}; },
       false, false, kBlue},
      {"a child of a parent without WS_CLIPCHILDREN",
       [&] { HWND parent = Make(WS_POPUP | WS_VISIBLE);
             return std::pair{parent, Make(WS_CHILD | WS_VISIBLE, parent, {100, 100, 200, 200})}; },
       false, true, kBlue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    colourOf.clear();
    const auto [below, over] = c.make();
    ASSERT_NE(over, nullptr);
    colourOf[below] = kRed;
    colourOf[over] = kBlue;
    Pump();
    RECT box{};
    GetWindowRect(over, &box);
    const POINT mid{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    auto shown = [&] { return qv::gdi::ColorOf(qv::ui::ScreenSurface()->Row(mid.y)[mid.x]); };
    ASSERT_EQ(shown(), kBlue);
    painted.clear();
    if (c.byGetDc) {
      HDC dc = GetDC(below);
      HBRUSH green = CreateSolidBrush(kGreen);
      RECT all{-1000, -1000, 1000, 1000};
      FillRect(dc, &all, green);
      DeleteObject(green);
      ReleaseDC(below, dc);
    } else {
      InvalidateRect(below, nullptr, TRUE);
    }
    Pump();
    EXPECT_EQ(std::count(painted.begin(), painted.end(), over) > 0, c.overPaints);
    EXPECT_EQ(shown(), c.overAfter);
    if (!c.byGetDc) {
      ASSERT_FALSE(painted.empty());
      EXPECT_EQ(painted.front(), below);
    }
    for (HWND top : {GetAncestor(below, GA_ROOT), GetAncestor(over, GA_ROOT)}) DestroyWindow(top);
    Pump();
  }
  CurrentHandler() = nullptr;
}

}  // namespace
