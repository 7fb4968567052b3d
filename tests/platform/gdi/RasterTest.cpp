// Lines, rectangles, ellipses and fills against GDI's documented pixel rules.
#include <functional>

#include "tests/platform/gdi/GdiTestSupport.h"

namespace qv::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGray = RGB(128, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);

int CountOf(const Canvas& c, COLORREF color) {
  int n = 0;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) n += c.At(x, y) == color;
  return n;
}

TEST(GdiRaster, FillRectCoversLeftAndTopButNotRightAndBottom) {
  struct Case {
    RECT rect;
    RECT ink;
  } cases[] = {
      {{2, 3, 7, 5}, {2, 3, 7, 5}},      {{0, 0, 1, 1}, {0, 0, 1, 1}},
      {{5, 5, 5, 9}, {0, 0, 0, 0}},      {{7, 5, 3, 9}, {0, 0, 0, 0}},
      {{-3, -2, 4, 3}, {0, 0, 4, 3}},    {{15, 18, 40, 40}, {15, 18, 20, 20}},
  };
  Canvas c(20, 20);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  for (const Case& k : cases) {
    c.Clear(kWhite);
    EXPECT_EQ(FillRect(c.dc(), &k.rect, black), 1);
    EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(k.ink)) << RectText(k.rect);
  }
  // FrameRect: the same box, one pixel wide.
  c.Clear(kWhite);
  RECT box{2, 2, 8, 6};
  FrameRect(c.dc(), &box, black);
  EXPECT_EQ(c.Picture(kBlack, RECT{1, 1, 9, 7}),
            "........\n"
            ".######.\n"
            ".#....#.\n"
            ".#....#.\n"
            ".######.\n"
            "........\n");
}

TEST(GdiRaster, LineToLeavesOutTheEndPoint) {
  struct Case {
    POINT from, to;
  } cases[] = {
      {{2, 2}, {10, 2}}, {{10, 2}, {2, 2}}, {{3, 1}, {3, 9}}, {{1, 1}, {7, 7}},
      {{2, 1}, {4, 9}},  {{9, 8}, {1, 5}},  {{5, 5}, {5, 5}},
  };
  Canvas c(12, 12);
  for (const Case& k : cases) {
    c.Clear(kWhite);
    MoveToEx(c.dc(), k.from.x, k.from.y, nullptr);
    LineTo(c.dc(), k.to.x, k.to.y);
    int steps = std::max(std::abs(k.to.x - k.from.x), std::abs(k.to.y - k.from.y));
    SCOPED_TRACE(RectText(RECT{k.from.x, k.from.y, k.to.x, k.to.y}));
    EXPECT_EQ(CountOf(c, kBlack), steps);
    EXPECT_EQ(c.At(k.to.x, k.to.y), kWhite);
    if (steps > 0) {
      EXPECT_EQ(c.At(k.from.x, k.from.y), kBlack);
    }
    POINT now{};
    MoveToEx(c.dc(), 0, 0, &now);
    EXPECT_EQ(now.x, k.to.x);
    EXPECT_EQ(now.y, k.to.y);
  }
}

TEST(GdiRaster, ShapesStayInsideTheBoxWithoutItsRightAndBottomEdge) {
  using Shape = BOOL (*)(HDC, int, int, int, int);
  Canvas c(40, 40);
  HBRUSH gray = CreateSolidBrush(kGray);
  Selected brush(c.dc(), gray);
  const RECT boxes[] = {{2, 3, 12, 9}, {4, 4, 30, 37}, {10, 10, 13, 12}, {30, 20, 5, 2}};
  for (Shape shape : {static_cast<Shape>(Rectangle), static_cast<Shape>(Ellipse)}) {
    for (const RECT& b : boxes) {
      RECT box{std::min(b.left, b.right), std::min(b.top, b.bottom), std::max(b.left, b.right),
               std::max(b.top, b.bottom)};
      SCOPED_TRACE(RectText(b));
      c.Clear(kWhite);
      shape(c.dc(), b.left, b.top, b.right, b.bottom);
      EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(box));
      int cx = (box.left + box.right - 1) / 2, cy = (box.top + box.bottom - 1) / 2;
      if (box.right - box.left > 2 && box.bottom - box.top > 2) {
        EXPECT_EQ(c.At(cx, cy), kGray);
      }
      // A null pen: only the brush, one pixel smaller each way.
      c.Clear(kWhite);
      {
        Selected pen(c.dc(), GetStockObject(NULL_PEN));
        shape(c.dc(), b.left, b.top, b.right, b.bottom);
      }
      EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(RECT{box.left, box.top, box.right - 1, box.bottom - 1}));
      EXPECT_EQ(CountOf(c, kBlack), 0);
    }
  }
  c.Clear(kWhite);
  Rectangle(c.dc(), 2, 3, 12, 9);
  EXPECT_EQ(c.At(2, 3), kBlack);
  EXPECT_EQ(c.At(11, 8), kBlack);
  EXPECT_EQ(c.At(3, 4), kGray);
  EXPECT_EQ(c.At(10, 7), kGray);
  DeleteObject(gray);
}

TEST(GdiRaster, PenWidthsAndTheRoundDotOfAWidePen) {
  Canvas c(60, 60);
  for (int width : {1, 2, 5, 10}) {
    SCOPED_TRACE(width);
    HPEN pen = CreatePen(PS_SOLID, width, kBlack);
    Selected selected(c.dc(), pen);
    c.Clear(kWhite);
    MoveToEx(c.dc(), 10, 30, nullptr);
    LineTo(c.dc(), 50, 30);
    int thick = 0;
    for (int y = 0; y < 60; ++y) thick += c.At(30, y) == kBlack;
    EXPECT_EQ(thick, width);
    // A figure of no extent still leaves the pen's mark: a round dot as wide as the pen.
    c.Clear(kWhite);
    Ellipse(c.dc(), 30, 30, 30, 30);
    RECT ink = c.Ink(kWhite);
    if (width == 1) {
      EXPECT_EQ(RectText(ink), RectText(RECT{0, 0, 0, 0}));
    } else {
      EXPECT_EQ(ink.right - ink.left, width);
      EXPECT_EQ(ink.bottom - ink.top, width);
      EXPECT_EQ(c.At(30, 30), kBlack);
      if (width >= 5) {
        EXPECT_EQ(c.At(ink.left, ink.top), kWhite);  // round, not square
        EXPECT_EQ(c.At(ink.right - 1, ink.bottom - 1), kWhite);
      }
    }
    SelectObject(c.dc(), GetStockObject(BLACK_PEN));
    DeleteObject(pen);
  }
}

TEST(GdiRaster, DashedPenRepeatsEighteenOnSixOff) {
  Canvas c(64, 4);
  HPEN dash = CreatePen(PS_DASH, 1, kBlack);
  Selected pen(c.dc(), dash);
  auto row = [&] {
    std::string s;
    for (int x = 0; x < 60; ++x) s += c.At(x, 1) == kBlack ? '#' : c.At(x, 1) == kRed ? 'r' : '.';
    return s;
  };
  SetBkMode(c.dc(), TRANSPARENT);
  MoveToEx(c.dc(), 0, 1, nullptr);
  LineTo(c.dc(), 61, 1);
  EXPECT_EQ(row(), std::string(18, '#') + std::string(6, '.') + std::string(18, '#') + std::string(6, '.') +
                       std::string(12, '#'));
  // OPAQUE fills the gaps with the background colour.
  c.Clear(kWhite);
  SetBkMode(c.dc(), OPAQUE);
  SetBkColor(c.dc(), kRed);
  MoveToEx(c.dc(), 0, 1, nullptr);
  LineTo(c.dc(), 61, 1);
  EXPECT_EQ(row(), std::string(18, '#') + std::string(6, 'r') + std::string(18, '#') + std::string(6, 'r') +
                       std::string(12, '#'));
  // Styled pens wider than one pixel are solid.
  HPEN wide = CreatePen(PS_DASH, 2, kBlack);
  LOGPEN lp{};
  ASSERT_EQ(GetObjectW(wide, sizeof lp, &lp), static_cast<int>(sizeof lp));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_SOLID));
  EXPECT_EQ(lp.lopnWidth.x, 2);
  SelectObject(c.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(wide);
  DeleteObject(dash);
}

TEST(GdiRaster, XorPenTwiceRestoresThePixels) {
  Canvas c(48, 48);
  auto* surface = gdi::SurfaceOf(c.bitmap()).get();
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) surface->Row(y)[x] = 0xFF000000u | static_cast<DWORD>(x * 5) << 16 | y * 5u;
  const std::vector<DWORD> before = c.Pixels();
  HPEN thin = CreatePen(PS_SOLID, 1, RGB(0x5A, 0xA5, 0x3C));
  HPEN wide = CreatePen(PS_SOLID, 7, RGB(0x5A, 0xA5, 0x3C));
  HPEN dashed = CreatePen(PS_DASH, 1, RGB(0x5A, 0xA5, 0x3C));
  HBRUSH brush = CreateSolidBrush(RGB(0x11, 0x22, 0x33));
  Selected selectedBrush(c.dc(), brush);
  const std::pair<const char*, std::function<void()>> figures[] = {
      {"line", [&] { MoveToEx(c.dc(), 3, 40, nullptr), LineTo(c.dc(), 44, 2); }},
      {"polyline", [&] {
         POINT p[] = {{5, 5}, {40, 5}, {40, 40}, {5, 40}, {5, 5}};
         Polyline(c.dc(), p, 5);
       }},
      {"rectangle", [&] { Rectangle(c.dc(), 4, 6, 30, 41); }},
      {"ellipse", [&] { Ellipse(c.dc(), 2, 3, 45, 30); }},
      {"dot", [&] { Ellipse(c.dc(), 20, 20, 21, 21); }},
  };
  for (int rop : {R2_XORPEN, R2_NOT}) {
    SetROP2(c.dc(), rop);
    for (HPEN pen : {thin, wide, dashed}) {
      Selected selectedPen(c.dc(), pen);
      for (const auto& [name, draw] : figures) {
        SCOPED_TRACE(name);
        draw();
        EXPECT_NE(c.Pixels(), before);
        draw();
        EXPECT_EQ(c.Pixels(), before);
      }
    }
  }
  EXPECT_EQ(GetROP2(c.dc()), R2_NOT);
  SetROP2(c.dc(), R2_COPYPEN);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(thin), static_cast<HGDIOBJ>(wide), static_cast<HGDIOBJ>(dashed)})
    DeleteObject(o);
  SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
  DeleteObject(brush);
}

TEST(GdiRaster, SystemColourIndexesResolveWhenPainting) {
  Canvas c(8, 8);
  RECT all{0, 0, 8, 8};
  const int index = COLOR_HIGHLIGHT;
  const COLORREF saved = GetSysColor(index);
  EXPECT_EQ(GetSysColor(index | SYS_COLOR_INDEX_FLAG), saved);
  HBRUSH flagged = CreateSolidBrush(SYS_COLOR_INDEX_FLAG | index);
  FillRect(c.dc(), &all, flagged);
  EXPECT_EQ(c.At(3, 3), saved);
  const COLORREF themed = RGB(10, 200, 30);
  ASSERT_TRUE(SetSysColors(1, &index, &themed));
  for (HBRUSH brush : {flagged, GetSysColorBrush(index), reinterpret_cast<HBRUSH>(static_cast<intptr_t>(index + 1))}) {
    c.Clear(kWhite);
    FillRect(c.dc(), &all, brush);
    EXPECT_EQ(c.At(3, 3), themed);
  }
  HPEN pen = CreatePen(PS_SOLID, 1, SYS_COLOR_INDEX_FLAG | index);
  {
    Selected selected(c.dc(), pen);
    c.Clear(kWhite);
    MoveToEx(c.dc(), 0, 2, nullptr);
    LineTo(c.dc(), 8, 2);
    EXPECT_EQ(c.At(5, 2), themed);
  }
  ASSERT_TRUE(SetSysColors(1, &index, &saved));
  c.Clear(kWhite);
  FillRect(c.dc(), &all, flagged);
  EXPECT_EQ(c.At(3, 3), saved);
  DeleteObject(pen);
  DeleteObject(flagged);
}

}  // namespace
}  // namespace qv::test
