// The PNG writer behind the screen's pictures: every pixel survives a round
// trip through the decoder, in both pixel formats and both row orders.
#include <gtest/gtest.h>

#include <vector>

#include "platform/imaging/Imaging.h"

namespace {

struct PngCase {
  const char* name;
  UINT format;
  bool bottomUp;  // rows last-first in memory, negative stride
};

TEST(PngEncoder, PixelsSurviveTheRoundTrip) {
  constexpr UINT kWidth = 7;
  constexpr UINT kHeight = 5;
  const PngCase cases[] = {{"rgb", PixelFormat32bppRGB, false},
                           {"argb", PixelFormat32bppARGB, false},
                           {"rgb bottom-up", PixelFormat32bppRGB, true},
                           {"argb bottom-up", PixelFormat32bppARGB, true}};
  for (const PngCase& c : cases) {
    // B, G, R, A of each pixel tell its place; a row of padding after each.
    const UINT stride = kWidth * 4 + 8;
    std::vector<BYTE> memory(stride * kHeight, 0xEE);
    auto pixelAt = [](UINT x, UINT y) {
      return static_cast<DWORD>(0x40u + x * 30u) << 24 | (y * 50u) << 16 | (x * 36u) << 8 | (255u - y * 40u);
    };
    for (UINT y = 0; y < kHeight; ++y) {
      const UINT row = c.bottomUp ? kHeight - 1 - y : y;
      for (UINT x = 0; x < kWidth; ++x) {
        const DWORD p = pixelAt(x, y);
        BYTE* at = memory.data() + row * stride + x * 4;
        at[0] = static_cast<BYTE>(p);
        at[1] = static_cast<BYTE>(p >> 8);
        at[2] = static_cast<BYTE>(p >> 16);
        at[3] = static_cast<BYTE>(p >> 24);
      }
    }
    BitmapData data{kWidth, kHeight, static_cast<LONG>(stride), c.format, memory.data(), 0};
    if (c.bottomUp) {
      data.Scan0 = memory.data() + (kHeight - 1) * stride;
      data.Stride = -static_cast<LONG>(stride);
    }
    std::vector<BYTE> png;
    ASSERT_TRUE(qv::EncodePng(data, &png)) << c.name;
    qv::Image image;
    ASSERT_TRUE(image.LoadMemory(png.data(), png.size())) << c.name;
    EXPECT_EQ(image.Info().format, qv::ImageFormat::Png) << c.name;
    qv::Bitmap decoded;
    ASSERT_TRUE(image.Decode(&decoded)) << c.name;
    ASSERT_EQ(decoded.Width(), kWidth);
    ASSERT_EQ(decoded.Height(), kHeight);
    const bool alpha = c.format == PixelFormat32bppARGB;
    for (UINT y = 0; y < kHeight; ++y) {
      for (UINT x = 0; x < kWidth; ++x) {
        const DWORD want = alpha ? pixelAt(x, y) : 0xFF000000u | (pixelAt(x, y) & 0xFFFFFFu);
        EXPECT_EQ(decoded.Pixel(x, y), want) << c.name << " " << x << "," << y;
      }
    }
  }
}

}  // namespace
