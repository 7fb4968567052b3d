// BitBlt, StretchBlt and transparent copies; surfaces, DIB sections,
// origins and clips.
#include "tests/platform/gdi/GdiTestSupport.h"

namespace qv::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGray = RGB(128, 128, 128);

// A different colour in every pixel.
COLORREF PatternAt(int x, int y) { return RGB(x * 7 + 1, y * 11 + 2, 0x5A); }

void Paint(Canvas& c) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) SetPixel(c.dc(), x, y, PatternAt(x, y));
}

TEST(GdiBlit, BitBltCopiesExactlyAndClipsAtEveryEdge) {
  Canvas source(16, 12);
  Paint(source);
  Canvas dest(32, 24);
  struct Case {
    int x, y, width, height, sx, sy;
  } cases[] = {
      {5, 7, 10, 6, 3, 2},   // inside both
      {-3, 4, 8, 5, 0, 0},   // off the destination's left
      {4, -2, 6, 6, 1, 1},   // top
      {28, 3, 10, 4, 0, 0},  // right
      {2, 20, 5, 9, 0, 0},   // bottom
      {3, 3, 8, 8, -4, 2},   // off the source's left
      {3, 3, 10, 4, 10, 0},  // source's right
      {3, 3, 4, 8, 0, -3},   // source's top
      {3, 3, 4, 8, 2, 8},    // source's bottom
      {0, 0, 0, 5, 0, 0},    // nothing
  };
  for (DWORD rop : {SRCCOPY, NOTSRCCOPY}) {
    for (const Case& k : cases) {
      SCOPED_TRACE(testing::Message() << k.x << "," << k.y << " " << k.width << "x" << k.height << " from "
                                      << k.sx << "," << k.sy << " rop " << std::hex << rop);
      dest.Clear(kWhite);
      ASSERT_TRUE(BitBlt(dest.dc(), k.x, k.y, k.width, k.height, source.dc(), k.sx, k.sy, rop));
      int wrong = 0;
      for (int y = 0; y < dest.height(); ++y)
        for (int x = 0; x < dest.width(); ++x) {
          int sx = k.sx + x - k.x, sy = k.sy + y - k.y;
          bool copied = x >= k.x && x < k.x + k.width && y >= k.y && y < k.y + k.height && sx >= 0 && sx < 16 &&
                        sy >= 0 && sy < 12;
          COLORREF want = copied ? PatternAt(sx, sy) : kWhite;
          if (copied && rop == NOTSRCCOPY) want = ~want & 0xFFFFFFu;
          wrong += dest.At(x, y) != want;
        }
      EXPECT_EQ(wrong, 0);
    }
  }
}

TEST(GdiBlit, RasterOperationsFollowTheirFormulas) {
  const COLORREF s = RGB(0x0F, 0x33, 0x55), d = RGB(0x3C, 0x5A, 0x99), p = RGB(0x66, 0x0F, 0xF0);
  struct Case {
    DWORD rop;
    COLORREF want;
  } cases[] = {
      {SRCCOPY, s},          {SRCPAINT, s | d},        {SRCAND, s & d},      {SRCINVERT, s ^ d},
      {SRCERASE, s & ~d},    {NOTSRCCOPY, ~s},         {NOTSRCERASE, ~(s | d)}, {MERGECOPY, p & s},
      {MERGEPAINT, ~s | d},  {PATCOPY, p},             {PATPAINT, p | ~s | d}, {PATINVERT, p ^ d},
      {DSTINVERT, ~d},       {BLACKNESS, 0},           {WHITENESS, 0xFFFFFF},
  };
  Canvas source(1, 1, s), dest(1, 1);
  HBRUSH pattern = CreateSolidBrush(p);
  Selected brush(dest.dc(), pattern);
  for (const Case& k : cases) {
    dest.Clear(d);
    ASSERT_TRUE(BitBlt(dest.dc(), 0, 0, 1, 1, source.dc(), 0, 0, k.rop));
    EXPECT_EQ(dest.At(0, 0), k.want & 0xFFFFFFu) << std::hex << k.rop;
  }
  // PatBlt takes the operations without a source only.
  dest.Clear(d);
  EXPECT_TRUE(PatBlt(dest.dc(), 0, 0, 1, 1, PATINVERT));
  EXPECT_EQ(dest.At(0, 0), (p ^ d) & 0xFFFFFFu);
  EXPECT_FALSE(PatBlt(dest.dc(), 0, 0, 1, 1, SRCCOPY));
  SelectObject(dest.dc(), GetStockObject(WHITE_BRUSH));
  DeleteObject(pattern);
}

TEST(GdiBlit, StretchBltTakesTheNearestSourcePixel) {
  Canvas source(8, 6);
  Paint(source);
  struct Case {
    int width, height, sourceWidth, sourceHeight;
  } cases[] = {{16, 12, 8, 6}, {4, 3, 8, 6}, {7, 5, 3, 4}, {8, 6, 8, 6}, {-8, 6, 8, 6}, {5, -9, 8, 6}};
  Canvas dest(20, 20);
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.sourceWidth << "x" << k.sourceHeight << " to " << k.width << "x"
                                    << k.height);
    dest.Clear(kWhite);
    int x = k.width < 0 ? 10 : 1, y = k.height < 0 ? 12 : 1;
    ASSERT_TRUE(StretchBlt(dest.dc(), x, y, k.width, k.height, source.dc(), 0, 0, k.sourceWidth, k.sourceHeight,
                           SRCCOPY));
    int w = std::abs(k.width), h = std::abs(k.height);
    int left = k.width < 0 ? x - w : x, top = k.height < 0 ? y - h : y;
    int wrong = 0;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) {
        // A negative extent mirrors the picture.
        int di = k.width < 0 ? w - 1 - i : i, dj = k.height < 0 ? h - 1 - j : j;
        int sx = (2 * di + 1) * k.sourceWidth / (2 * w), sy = (2 * dj + 1) * k.sourceHeight / (2 * h);
        wrong += dest.At(left + i, top + j) != PatternAt(sx, sy);
      }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(RectText(dest.Ink(kWhite)), RectText(RECT{left, top, left + w, top + h}));
  }
}

TEST(GdiBlit, TransparentCopyLeavesKeyColouredPixelsAlone) {
  for (COLORREF key : {RGB(255, 0, 255), RGB(255, 255, 255)}) {
    SCOPED_TRACE(key);
    Canvas source(6, 6);
    Paint(source);
    for (int i = 0; i < 6; ++i) SetPixel(source.dc(), i, i, key);  // a diagonal of the key
    Canvas dest(10, 10, kGray);
    ASSERT_TRUE(TransparentBlt(dest.dc(), 2, 2, 6, 6, source.dc(), 0, 0, 6, 6, key));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) EXPECT_EQ(dest.At(2 + x, 2 + y), x == y ? kGray : PatternAt(x, y));
    EXPECT_EQ(RectText(dest.Ink(kGray)), RectText(RECT{2, 2, 8, 8}));
    // The same from the bitmap itself, stretched twice as large.
    dest.Clear(kGray);
    ASSERT_TRUE(TransparentImage(dest.dc(), 0, 0, 10, 10, source.bitmap(), 0, 0, 5, 5, key));
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) EXPECT_EQ(dest.At(x, y), x / 2 == y / 2 ? kGray : PatternAt(x / 2, y / 2));
  }
}

TEST(GdiBlit, OverlappingCopiesWithinOneBitmapScroll) {
  struct Case {
    int dx, dy;
  } cases[] = {{0, 3}, {0, -3}, {2, 0}, {-2, 0}, {1, 1}, {-1, -2}};
  Canvas c(12, 10);
  for (const Case& k : cases) {
    Paint(c);
    ASSERT_TRUE(BitBlt(c.dc(), k.dx, k.dy, 12, 10, c.dc(), 0, 0, SRCCOPY));
    for (int y = std::max(0, k.dy); y < std::min(10, 10 + k.dy); ++y)
      for (int x = std::max(0, k.dx); x < std::min(12, 12 + k.dx); ++x)
        ASSERT_EQ(c.At(x, y), PatternAt(x - k.dx, y - k.dy)) << k.dx << "," << k.dy << " at " << x << "," << y;
    // The same move through the general path of the raster operations.
    Paint(c);
    ASSERT_TRUE(StretchBlt(c.dc(), k.dx, k.dy, 12, 10, c.dc(), 0, 0, 12, 10, SRCPAINT));
    for (int y = std::max(0, k.dy); y < std::min(10, 10 + k.dy); ++y)
      for (int x = std::max(0, k.dx); x < std::min(12, 12 + k.dx); ++x)
        ASSERT_EQ(c.At(x, y), PatternAt(x - k.dx, y - k.dy) | PatternAt(x, y));
  }
}

TEST(GdiBlit, DibSectionsLayTheirRowsBothWays) {
  for (LONG height : {-4L, 4L}) {
    SCOPED_TRACE(height);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 3, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(dib, nullptr);
    ASSERT_NE(bits, nullptr);
    // The first row in memory is the top of a top-down section, the bottom of a bottom-up one.
    static_cast<DWORD*>(bits)[1] = 0x00112233u;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, dib);
    EXPECT_EQ(GetPixel(dc, 1, height < 0 ? 0 : 3), RGB(0x11, 0x22, 0x33));
    SetPixel(dc, 2, 0, RGB(0xAA, 0xBB, 0xCC));
    EXPECT_EQ(static_cast<DWORD*>(bits)[height < 0 ? 2 : 3 * 3 + 2] & 0xFFFFFFu, 0xAABBCCu);
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(dib, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBm.bmHeight, 4);
    EXPECT_EQ(ds.dsBmih.biHeight, height);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(dib));
  }
  BITMAPINFO eight{};
  eight.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 3, 3, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  EXPECT_EQ(CreateDIBSection(nullptr, &eight, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST(GdiBlit, OriginsClipsAndSavedStates) {
  Canvas c(30, 30);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RECT small{0, 0, 2, 2}, huge{-100, -100, 100, 100};
  SetViewportOrgEx(c.dc(), 5, 6, nullptr);
  FillRect(c.dc(), &small, black);
  EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(RECT{5, 6, 7, 8}));
  ASSERT_EQ(SaveDC(c.dc()), 1);
  EXPECT_EQ(IntersectClipRect(c.dc(), 1, 1, 4, 10), SIMPLEREGION);
  SetTextColor(c.dc(), kGray);
  RECT box{};
  EXPECT_EQ(GetClipBox(c.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(RectText(box), RectText(RECT{1, 1, 4, 10}));
  c.Clear(kWhite);
  FillRect(c.dc(), &huge, black);
  EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(RECT{6, 7, 9, 16}));
  ASSERT_TRUE(RestoreDC(c.dc(), -1));
  EXPECT_EQ(GetTextColor(c.dc()), RGB(0, 0, 0));
  c.Clear(kWhite);
  FillRect(c.dc(), &huge, black);
  EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(RECT{0, 0, 30, 30}));
  EXPECT_FALSE(RestoreDC(c.dc(), -1));

  // A DC a window would get: its own origin and the visible part of the window as clip.
  std::shared_ptr<gdi::Surface> screen = gdi::Surface::Create(60, 60);
  HDC window = gdi::CreateSurfaceDC(screen, POINT{10, 20}, RECT{10, 20, 50, 40});
  ASSERT_NE(window, nullptr);
  FillRect(window, &small, black);
  EXPECT_EQ(screen->Row(20)[10], 0xFF000000u);
  EXPECT_EQ(screen->Row(22)[10], 0u);
  FillRect(window, &huge, black);
  int painted = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) painted += screen->Row(y)[x] == 0xFF000000u;
  EXPECT_EQ(painted, 40 * 20);
  // Moved, a kept DC drops its own clip and keeps the rest of its state.
  IntersectClipRect(window, 0, 0, 1, 1);
  SetTextColor(window, kGray);
  ASSERT_TRUE(gdi::PlaceSurfaceDC(window, POINT{0, 0}, RECT{0, 0, 5, 5}));
  EXPECT_EQ(GetClipBox(window, &box), SIMPLEREGION);
  EXPECT_EQ(RectText(box), RectText(RECT{0, 0, 5, 5}));
  EXPECT_EQ(GetTextColor(window), kGray);
  EXPECT_EQ(gdi::SurfaceOf(window), screen);
  EXPECT_TRUE(DeleteDC(window));
}

}  // namespace
}  // namespace qv::test
