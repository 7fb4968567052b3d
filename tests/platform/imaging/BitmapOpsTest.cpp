// Quarter turns, exact-size resizing and JPEG writing on bitmaps in memory.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/imaging/Imaging.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

// A  B  C
// D  E  F
Pixels SixCells() {
  return Pixels{3, 2, {0xFF000001u, 0xFF000002u, 0xFF000003u, 0xFF000004u, 0xFF000005u, 0xFF000006u}};
}

std::vector<DWORD> All(const Bitmap& b) {
  std::vector<DWORD> v;
  for (UINT y = 0; y < b.Height(); ++y)
    for (UINT x = 0; x < b.Width(); ++x) v.push_back(b.Pixel(x, y));
  return v;
}

TEST(BitmapRotate, QuarterTurnsAreCounterclockwise) {
  Bitmap source = ToBitmap(SixCells());
  Bitmap out;
  ASSERT_TRUE(RotateBitmap(source.Data(), 90, &out));
  ASSERT_EQ(out.Width(), 2u);
  ASSERT_EQ(out.Height(), 3u);
  // C F / B E / A D
  EXPECT_EQ(All(out), (std::vector<DWORD>{0xFF000003u, 0xFF000006u, 0xFF000002u, 0xFF000005u, 0xFF000001u,
                                          0xFF000004u}));
  ASSERT_TRUE(RotateBitmap(source.Data(), 180, &out));
  ASSERT_EQ(out.Width(), 3u);
  // F E D / C B A
  EXPECT_EQ(All(out), (std::vector<DWORD>{0xFF000006u, 0xFF000005u, 0xFF000004u, 0xFF000003u, 0xFF000002u,
                                          0xFF000001u}));
  ASSERT_TRUE(RotateBitmap(source.Data(), 270, &out));
  ASSERT_EQ(out.Width(), 2u);
  // D A / E B / F C
  EXPECT_EQ(All(out), (std::vector<DWORD>{0xFF000004u, 0xFF000001u, 0xFF000005u, 0xFF000002u, 0xFF000006u,
                                          0xFF000003u}));
  for (int same : {0, 360}) {
    ASSERT_TRUE(RotateBitmap(source.Data(), same, &out));
    EXPECT_EQ(All(out), All(source));
  }
  EXPECT_FALSE(RotateBitmap(source.Data(), 45, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(out.Empty());
}

TEST(BitmapRotate, ReadsBottomUpMemoryAndOpaqueFormat) {
  // Rows stored bottom-up (a DIB section) with junk in the fourth byte.
  BYTE memory[2][3 * 4];
  Pixels cells = SixCells();
  for (UINT y = 0; y < 2; ++y)
    for (UINT x = 0; x < 3; ++x) {
      DWORD c = cells.At(x, y);
      BYTE* p = memory[1 - y] + x * 4;
      p[0] = static_cast<BYTE>(c), p[1] = static_cast<BYTE>(c >> 8), p[2] = static_cast<BYTE>(c >> 16), p[3] = 7;
    }
  BitmapData view{3, 2, -12, PixelFormat32bppRGB, memory[1], 0};
  Bitmap out;
  ASSERT_TRUE(RotateBitmap(view, 180, &out));
  EXPECT_EQ(All(out), (std::vector<DWORD>{0xFF000006u, 0xFF000005u, 0xFF000004u, 0xFF000003u, 0xFF000002u,
                                          0xFF000001u}));
  BitmapData narrow{3, 2, 8, PixelFormat32bppRGB, memory[0], 0};  // rows shorter than the width
  EXPECT_FALSE(RotateBitmap(narrow, 90, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(BitmapResize, ExactSizesKeepSolidAreasAndTransparency) {
  Bitmap source = ToBitmap(Quarters(640, 480));
  Bitmap out;
  ASSERT_TRUE(ResizeBitmap(source.Data(), 48, 36, &out));
  EXPECT_EQ(out.Width(), 48u);
  EXPECT_EQ(out.Height(), 36u);
  EXPECT_EQ(out.Pixel(5, 5), kRed);
  EXPECT_EQ(out.Pixel(40, 5), kGreen);
  EXPECT_EQ(out.Pixel(5, 30), kBlue);
  EXPECT_EQ(out.Pixel(47, 35), kWhite);
  // Across the middle the colours mix.
  auto red = [&](UINT x) { return (out.Pixel(x, 9) >> 16) & 0xFF; };
  auto green = [&](UINT x) { return (out.Pixel(x, 9) >> 8) & 0xFF; };
  EXPECT_GT(red(23), green(23));
  EXPECT_GT(green(23), 0u);
  EXPECT_GT(green(24), red(24));
  EXPECT_GT(red(24), 0u);

  // Enlarging, to a different aspect ratio.
  Bitmap small = ToBitmap(Quarters(4, 4));
  ASSERT_TRUE(ResizeBitmap(small.Data(), 104, 78, &out));
  EXPECT_EQ(out.Pixel(0, 0), kRed);
  EXPECT_EQ(out.Pixel(103, 77), kWhite);

  // A transparent neighbour lends no colour: red next to transparent black
  // stays red, half covered.
  Bitmap pair = ToBitmap(Pixels{2, 1, {kRed, 0x00000000u}});
  ASSERT_TRUE(ResizeBitmap(pair.Data(), 1, 1, &out));
  EXPECT_EQ(out.Pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_NEAR(static_cast<int>(out.Pixel(0, 0) >> 24), 128, 2);

  // A shrink by a whole factor averages evenly spaced stripes to grey.
  Pixels stripes{64, 2, std::vector<DWORD>(128, kBlack)};
  for (UINT x = 0; x < 64; x += 2) stripes.At(x, 0) = stripes.At(x, 1) = kWhite;
  Bitmap striped = ToBitmap(stripes);
  ASSERT_TRUE(ResizeBitmap(striped.Data(), 8, 1, &out));
  for (UINT x = 1; x < 7; ++x) EXPECT_NEAR(static_cast<int>(out.Pixel(x, 0) & 0xFF), 128, 8) << x;

  EXPECT_FALSE(ResizeBitmap(source.Data(), 0, 10, &out));
  EXPECT_FALSE(ResizeBitmap(source.Data(), kMaxImageSide + 1, 10, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

// A picture whose blue rises down the rows and green across the columns,
// resized: every output row must come from the source rows under it, in
// order, whether the picture shrinks or grows and whatever its alpha.
TEST(BitmapResize, RampsStayRampsAtTheirCentres) {
  struct Case {
    UINT fromW, fromH, toW, toH;
    bool opaque;  // read as PixelFormat32bppRGB, the fourth byte ignored
    BYTE alpha;
  };
  const Case cases[] = {
      {500, 375, 454, 340, true, 0},    // a photo fitted to the canvas
      {40, 300, 30, 41, true, 0},       // rows shrunk by more than 7
      {300, 40, 41, 30, false, 255},    // columns shrunk, opaque by alpha
      {20, 60, 33, 170, true, 0},       // enlarged
      {64, 257, 64, 256, false, 128},   // half covered, one row fewer
      {90, 300, 12, 1, true, 0},        // a single row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.fromW << "x" << c.fromH << " -> " << c.toW << "x" << c.toH);
    Pixels ramps{c.fromW, c.fromH, std::vector<DWORD>(static_cast<size_t>(c.fromW) * c.fromH)};
    auto blueAt = [&](double y) { return y * 255.0 / (c.fromH - 1); };
    auto greenAt = [&](double x) { return x * 255.0 / (c.fromW - 1); };
    for (UINT y = 0; y < c.fromH; ++y)
      for (UINT x = 0; x < c.fromW; ++x)
        ramps.At(x, y) = static_cast<DWORD>(c.alpha) << 24 | 77u << 16 |
                         static_cast<DWORD>(greenAt(x) + 0.5) << 8 | static_cast<DWORD>(blueAt(y) + 0.5);
    Bitmap source = ToBitmap(ramps);
    BitmapData data = source.Data();
    if (c.opaque) data.PixelFormat = PixelFormat32bppRGB;
    Bitmap out;
    ASSERT_TRUE(ResizeBitmap(data, c.toW, c.toH, &out));
    ASSERT_EQ(out.Width(), c.toW);
    ASSERT_EQ(out.Height(), c.toH);
    const int alpha = c.opaque ? 255 : c.alpha;
    const double sy = static_cast<double>(c.fromH) / c.toH, ry = std::max(1.0, sy);
    const double sx = static_cast<double>(c.fromW) / c.toW, rx = std::max(1.0, sx);
    int lastBlue = -1;
    for (UINT y = 0; y < c.toH; ++y) {
      const int blue = static_cast<int>(out.Pixel(0, y) & 0xFF);
      EXPECT_GE(blue, lastBlue) << "row " << y;
      lastBlue = blue;
      const double cy = (y + 0.5) * sy;
      if (cy - ry >= 0 && cy + ry <= c.fromH) {
        EXPECT_NEAR(blue, blueAt(cy - 0.5), 1.5) << "row " << y;
      }
      int lastGreen = -1;
      for (UINT x = 0; x < c.toW; ++x) {
        const DWORD p = out.Pixel(x, y);
        EXPECT_EQ(static_cast<int>(p >> 24), alpha) << x << "," << y;
        EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 77, 1) << x << "," << y;
        EXPECT_NEAR(static_cast<int>(p & 0xFF), blue, 1) << x << "," << y;
        const int green = static_cast<int>((p >> 8) & 0xFF);
        EXPECT_GE(green, lastGreen) << x << "," << y;
        lastGreen = green;
        const double cx = (x + 0.5) * sx;
        if (cx - rx >= 0 && cx + rx <= c.fromW) {
          EXPECT_NEAR(green, greenAt(cx - 0.5), 1.5) << x << "," << y;
        }
      }
    }
  }
}

TEST(JpegEncode, RoundTripKeepsColoursAndQualityMatters) {
  Pixels q = Quarters(64, 48);
  Bitmap source = ToBitmap(q);
  Bytes fine, rough;
  ASSERT_TRUE(EncodeJpeg(source.Data(), 95, &fine));
  ASSERT_TRUE(EncodeJpeg(source.Data(), 5, &rough));
  EXPECT_LT(rough.size(), fine.size());
  ASSERT_GE(fine.size(), 4u);
  EXPECT_EQ(fine[0], 0xFF);
  EXPECT_EQ(fine[1], 0xD8);
  EXPECT_EQ(fine[fine.size() - 2], 0xFF);
  EXPECT_EQ(fine[fine.size() - 1], 0xD9);

  Image image;
  ASSERT_TRUE(image.LoadMemory(fine.data(), fine.size()));
  EXPECT_EQ(image.Info().format, ImageFormat::Jpeg);
  EXPECT_EQ(image.Info().width, 64u);
  EXPECT_EQ(image.Info().height, 48u);
  Bitmap back;
  ASSERT_TRUE(image.Decode(&back));
  for (UINT y = 0; y < 48; y += 3)
    for (UINT x = 0; x < 64; x += 3) {
      if ((x > 26 && x < 38) || (y > 18 && y < 30)) continue;  // edges blur
      EXPECT_LE(ColorDistance(back.Pixel(x, y), q.At(x, y)), 12) << x << "," << y;
    }

  // Transparent pixels come out as if over white.
  Bitmap clear = ToBitmap(Pixels{16, 16, std::vector<DWORD>(256, 0x00000000u)});
  Bytes white;
  ASSERT_TRUE(EncodeJpeg(clear.Data(), 90, &white));
  ASSERT_TRUE(image.LoadMemory(white.data(), white.size()));
  ASSERT_TRUE(image.Decode(&back));
  EXPECT_LE(ColorDistance(back.Pixel(8, 8), kWhite), 2);

  EXPECT_FALSE(EncodeJpeg(source.Data(), 0, &fine));
  EXPECT_FALSE(EncodeJpeg(source.Data(), 101, &fine));
  EXPECT_TRUE(fine.empty());
  BitmapData none{0, 0, 0, PixelFormat32bppRGB, nullptr, 0};
  EXPECT_FALSE(EncodeJpeg(none, 75, &fine));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
}  // namespace qv::test
