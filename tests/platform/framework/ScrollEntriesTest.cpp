// The scroll map entries (a window's own bars and a bar control's, reflected
// to the control's object first), the scroll wrappers' clamping, and the
// bitmap button's choice of look.
#include "platform/framework/CBitmapButton.h"
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using ScrollEntries = FrameworkTest;

constexpr UINT kBarId = 41;

class ScrolledParent : public CWnd {
 public:
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
    Called("V " + std::to_string(code) + " " + std::to_string(pos) + (bar ? " bar" : " own"));
  }
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
    Called("H " + std::to_string(code) + " " + std::to_string(pos) + (bar ? " bar" : " own"));
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ScrolledParent, CWnd)
  ON_WM_VSCROLL()
  ON_WM_HSCROLL()
END_MESSAGE_MAP()

// A bar that takes its vertical messages itself, never its horizontal ones.
class OwnBar : public CScrollBar {
 public:
  afx_msg void VScroll(UINT code, UINT pos) { Called("bar V " + std::to_string(code) + " " + std::to_string(pos)); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(OwnBar, CScrollBar)
  ON_WM_VSCROLL_REFLECT()
END_MESSAGE_MAP()

TEST_F(ScrollEntries, MessagesReachTheBarFirstThenTheParentWithTheirValues) {
  ScrolledParent parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, L"p", WS_POPUP | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 480, 800), nullptr, 0));
  OwnBar bar;
  ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(440, 0, 480, 400), &parent, kBarId));
  const LPARAM barHandle = reinterpret_cast<LPARAM>(bar.m_hWnd);
  struct Case {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    const char* expected;
  } cases[] = {
      {WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0, "V 1 0 own"},
      {WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 1234), 0, "V 5 1234 own"},
      {WM_HSCROLL, MAKEWPARAM(SB_PAGELEFT, 0), 0, "H 2 0 own"},
      {WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 77), barHandle, "bar V 4 77"},
      {WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), barHandle, "H 7 0 bar"},
  };
  for (const Case& c : cases) {
    Calls().clear();
    parent.SendMessage(c.message, c.wParam, c.lParam);
    EXPECT_EQ(Calls(), std::vector<std::string>{c.expected}) << c.expected;
  }
  bar.DestroyWindow();
  parent.DestroyWindow();
}

TEST_F(ScrollEntries, WrappersKeepThePositionWithinRangeLessPage) {
  CWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"w", WS_POPUP | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 480, 800), nullptr, 0));
  SCROLLINFO info{};
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = 999;
  info.nPage = 100;
  info.nPos = 0;
  ASSERT_TRUE(wnd.SetScrollInfo(SB_VERT, &info));
  EXPECT_EQ(wnd.GetScrollLimit(SB_VERT), 900);
  struct Case {
    int asked;
    int kept;
  } cases[] = {{50, 50}, {900, 900}, {950, 900}, {-5, 0}};
  for (const Case& c : cases) {
    wnd.SetScrollPos(SB_VERT, c.asked);
    EXPECT_EQ(wnd.GetScrollPos(SB_VERT), c.kept) << c.asked;
    SCROLLINFO out{};
    ASSERT_TRUE(wnd.GetScrollInfo(SB_VERT, &out, SIF_POS));
    EXPECT_EQ(out.nPos, c.kept);
  }
  int low = -1;
  int high = -1;
  wnd.GetScrollRange(SB_VERT, &low, &high);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 999);
  wnd.DestroyWindow();
}

// Each state picks its look; a look that was not loaded falls back to the normal one.
TEST_F(ScrollEntries, BitmapButtonPicksItsLookByStateAndDrawsIt) {
  const COLORREF colours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(128, 128, 128)};
  auto solid = [](CBitmap& b, COLORREF c) {
    std::vector<uint32_t> bits(8 * 8, (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
    ASSERT_TRUE(b.CreateBitmap(8, 8, 1, 32, bits.data()));
  };
  CBitmapButton full;
  CBitmap* looks[4] = {&full.m_bitmap, &full.m_bitmapSel, &full.m_bitmapFocus, &full.m_bitmapDisabled};
  for (int i = 0; i < 4; ++i) solid(*looks[i], colours[i]);
  CBitmapButton bare;
  solid(bare.m_bitmap, colours[0]);
  struct Case {
    UINT state;
    int look;
  } cases[] = {{0, 0}, {ODS_SELECTED, 1}, {ODS_FOCUS, 2}, {ODS_DISABLED, 3},
               {ODS_SELECTED | ODS_FOCUS, 1}, {ODS_DISABLED | ODS_FOCUS, 3}};
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP target = ::CreateCompatibleBitmap(screen, 8, 8);
  HGDIOBJ old = ::SelectObject(dc, target);
  for (const Case& c : cases) {
    EXPECT_EQ(full.LookFor(c.state), c.look) << c.state;
    EXPECT_EQ(bare.LookFor(c.state), 0) << c.state;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.itemState = c.state;
    dis.hDC = dc;
    dis.rcItem = {0, 0, 8, 8};
    full.DrawItem(&dis);
    EXPECT_EQ(::GetPixel(dc, 4, 4), colours[c.look]) << c.state;
  }
  ::SelectObject(dc, old);
  ::DeleteObject(target);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  EXPECT_FALSE(bare.LoadBitmaps(0u));
}

}  // namespace
}  // namespace qv::test
