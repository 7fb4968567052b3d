// Reading each format: header information, pixel values, and the feed
// thumbnail sizes (48 x 36 and 104 x 78) from every format.
#include <gtest/gtest.h>

#include <string>

#include "platform/imaging/Imaging.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

struct Sample {
  std::string name;
  Bytes bytes;
  ImageFormat format;
  int tolerance;  // per channel: 0 for lossless formats
};

std::vector<Sample> QuarterSamples(UINT w, UINT h) {
  Pixels q = Quarters(w, h);
  return {
      {"bmp24", MakeBmp(q, BmpKind::Rgb24), ImageFormat::Bmp, 0},
      {"bmp24topdown", MakeBmp(q, BmpKind::Rgb24TopDown), ImageFormat::Bmp, 0},
      {"bmpcore", MakeBmp(q, BmpKind::Core24), ImageFormat::Bmp, 0},
      {"bmp16", MakeBmp(q, BmpKind::Rgb16), ImageFormat::Bmp, 0},
      {"bmp32", MakeBmp(q, BmpKind::Bitfields32Alpha), ImageFormat::Bmp, 0},
      {"bmp8", MakeBmp(q, BmpKind::Palette8), ImageFormat::Bmp, 0},
      {"bmp4", MakeBmp(q, BmpKind::Palette4), ImageFormat::Bmp, 0},
      {"bmprle8", MakeBmp(q, BmpKind::Rle8), ImageFormat::Bmp, 0},
      {"bmprle4", MakeBmp(q, BmpKind::Rle4), ImageFormat::Bmp, 0},
      {"png", MakePng(q, PngKind::Rgb), ImageFormat::Png, 0},
      {"pngrgba", MakePng(q, PngKind::Rgba), ImageFormat::Png, 0},
      {"pngpalette", MakePng(q, PngKind::Palette), ImageFormat::Png, 0},
      {"png16", MakePng(q, PngKind::Rgb16), ImageFormat::Png, 0},
      {"pnginterlaced", MakePng(q, PngKind::RgbInterlaced), ImageFormat::Png, 0},
      {"gif", MakeGif(q), ImageFormat::Gif, 0},
      {"gifinterlaced", MakeGif(q, true), ImageFormat::Gif, 0},
      {"jpeg", MakeJpeg(q), ImageFormat::Jpeg, 12},
  };
}

void ExpectSame(const Pixels& want, const Bitmap& got, int tolerance, const std::string& what) {
  ASSERT_EQ(got.Width(), want.width) << what;
  ASSERT_EQ(got.Height(), want.height) << what;
  for (UINT y = 0; y < want.height; ++y)
    for (UINT x = 0; x < want.width; ++x) {
      // JPEG blurs the edges between the quarters; compare away from them.
      auto near = [](UINT v, UINT edge) { return v + 5 > edge && v < edge + 5; };
      if (tolerance > 0 && (near(x, want.width / 2) || near(y, want.height / 2))) continue;
      ASSERT_LE(ColorDistance(got.Pixel(x, y), want.At(x, y)), tolerance) << what << " at " << x << "," << y;
      ASSERT_EQ(got.Pixel(x, y) >> 24, want.At(x, y) >> 24) << what << " alpha at " << x << "," << y;
    }
}

TEST(ImageDecode, EveryFormatGivesItsPixelsAndInfo) {
  Pixels want = Quarters(32, 24);
  for (const Sample& s : QuarterSamples(32, 24)) {
    ImageInfo info;
    ASSERT_TRUE(GetImageInfo(s.bytes.data(), s.bytes.size(), &info)) << s.name;
    EXPECT_EQ(info.format, s.format) << s.name;
    EXPECT_EQ(info.width, 32u) << s.name;
    EXPECT_EQ(info.height, 24u) << s.name;

    Image image;
    ASSERT_TRUE(image.LoadMemory(s.bytes.data(), s.bytes.size())) << s.name;
    EXPECT_EQ(image.Info().format, s.format);
    Bitmap bitmap;
    ASSERT_TRUE(image.Decode(&bitmap)) << s.name << " error " << GetLastError();
    ExpectSame(want, bitmap, s.tolerance, s.name);
  }
}

TEST(ImageDecode, TransparencyAndGreyAndTwoColours) {
  Pixels p = Quarters(16, 8);
  p.At(0, 0) = 0x00000000u;  // one transparent pixel
  p.At(15, 7) = 0x80102030u;  // one half-transparent pixel
  Bitmap b;
  Image image;
  Bytes rgba = MakePng(p, PngKind::Rgba);
  ASSERT_TRUE(image.LoadMemory(rgba.data(), rgba.size()));
  ASSERT_TRUE(image.Decode(&b));
  EXPECT_EQ(b.Pixel(0, 0), 0x00000000u);
  EXPECT_EQ(b.Pixel(15, 7), 0x80102030u);
  EXPECT_EQ(b.Pixel(1, 0), kRed);

  Bytes trns = MakePng(p, PngKind::PaletteTransparent);
  ASSERT_TRUE(image.LoadMemory(trns.data(), trns.size()));
  ASSERT_TRUE(image.Decode(&b));
  EXPECT_EQ(b.Pixel(15, 7), 0x80102030u);
  EXPECT_EQ(b.Pixel(0, 0) >> 24, 0u);

  p.At(15, 7) = kWhite;
  Bytes gif = MakeGif(p, false, true);
  ASSERT_TRUE(image.LoadMemory(gif.data(), gif.size()));
  ASSERT_TRUE(image.Decode(&b));
  EXPECT_EQ(b.Pixel(0, 0) >> 24, 0u);
  EXPECT_EQ(b.Pixel(1, 0), kRed);

  Pixels grey{4, 1, {0xFF000000u, 0xFF404040u, 0xFF808080u, 0xFFFFFFFFu}};
  Bytes g = MakePng(grey, PngKind::Gray);
  ASSERT_TRUE(image.LoadMemory(g.data(), g.size()));
  ASSERT_TRUE(image.Decode(&b));
  for (UINT x = 0; x < 4; ++x) EXPECT_EQ(b.Pixel(x, 0), grey.At(x, 0));
  grey.At(1, 0) = 0x20404040u;
  Bytes ga = MakePng(grey, PngKind::GrayAlpha);
  ASSERT_TRUE(image.LoadMemory(ga.data(), ga.size()));
  ASSERT_TRUE(image.Decode(&b));
  for (UINT x = 0; x < 4; ++x) EXPECT_EQ(b.Pixel(x, 0), grey.At(x, 0));

  Pixels two{9, 2, std::vector<DWORD>(18, kBlack)};
  two.At(8, 0) = kWhite;
  two.At(3, 1) = kWhite;
  Bytes mono = MakeBmp(two, BmpKind::Palette1);
  ASSERT_TRUE(image.LoadMemory(mono.data(), mono.size()));
  ASSERT_TRUE(image.Decode(&b));
  for (UINT y = 0; y < 2; ++y)
    for (UINT x = 0; x < 9; ++x) EXPECT_EQ(b.Pixel(x, y), two.At(x, y)) << x << "," << y;
}

TEST(ImageDecode, FeedThumbnailSizesFromEveryFormat) {
  struct Size {
    UINT w, h;
  };
  for (const Sample& s : QuarterSamples(64, 48)) {
    Image image;
    ASSERT_TRUE(image.LoadMemory(s.bytes.data(), s.bytes.size())) << s.name;
    for (Size size : {Size{48, 36}, Size{104, 78}}) {
      Bitmap b;
      ASSERT_TRUE(image.Decode(size.w, size.h, &b)) << s.name;
      ASSERT_EQ(b.Width(), size.w);
      ASSERT_EQ(b.Height(), size.h);
      // Each quarter keeps its colour in its middle.
      int tol = s.tolerance + 2;
      EXPECT_LE(ColorDistance(b.Pixel(size.w / 4, size.h / 4), kRed), tol) << s.name;
      EXPECT_LE(ColorDistance(b.Pixel(size.w * 3 / 4, size.h / 4), kGreen), tol) << s.name;
      EXPECT_LE(ColorDistance(b.Pixel(size.w / 4, size.h * 3 / 4), kBlue), tol) << s.name;
      EXPECT_LE(ColorDistance(b.Pixel(size.w * 3 / 4, size.h * 3 / 4), kWhite), tol) << s.name;
      EXPECT_EQ(b.Pixel(0, 0) >> 24, 255u) << s.name;
    }
  }
}

TEST(ImageDecode, PortraitIsStretchedToTheExactSize) {
  Bytes png = MakePng(Quarters(30, 90), PngKind::Rgb);
  Image image;
  ASSERT_TRUE(image.LoadMemory(png.data(), png.size()));
  Bitmap b;
  ASSERT_TRUE(image.Decode(104, 78, &b));
  EXPECT_EQ(b.Width(), 104u);
  EXPECT_EQ(b.Height(), 78u);
  EXPECT_EQ(b.Pixel(10, 10), kRed);
  EXPECT_EQ(b.Pixel(100, 70), kWhite);
}

TEST(ImageDecode, LargeJpegIsDecodedScaledWhenASmallSizeIsAsked) {
  // Wider than kMaxImageSide: refused at full size, read at 1/4 for a thumbnail.
  const UINT w = 8400, h = 400;
  std::vector<BYTE> pixels(static_cast<size_t>(w) * h * 4);
  for (UINT y = 0; y < h; ++y)
    for (UINT x = 0; x < w; ++x) {
      BYTE* p = &pixels[(static_cast<size_t>(y) * w + x) * 4];
      bool left = x < w / 2;
      p[0] = left ? 0 : 255, p[1] = 0, p[2] = left ? 255 : 0, p[3] = 255;
    }
  BitmapData data{w, h, static_cast<LONG>(w * 4), PixelFormat32bppRGB, pixels.data(), 0};
  Bytes jpeg;
  ASSERT_TRUE(EncodeJpeg(data, 80, &jpeg));
  Image image;
  ASSERT_TRUE(image.LoadMemory(jpeg.data(), jpeg.size()));
  EXPECT_EQ(image.Info().width, w);
  Bitmap b;
  EXPECT_FALSE(image.Decode(&b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(b.Empty());
  ASSERT_TRUE(image.Decode(104, 78, &b));
  EXPECT_LE(ColorDistance(b.Pixel(20, 40), kRed), 12);
  EXPECT_LE(ColorDistance(b.Pixel(80, 40), kBlue), 12);
}

// An 8 x 8 four-component (CMYK) JPEG whose every sample is 128, with or
// without the Adobe marker that says the values are inverted.
Bytes CmykJpeg(bool adobe) {
  Bytes b = {0xFF, 0xD8};
  if (adobe) b.insert(b.end(), {0xFF, 0xEE, 0, 14, 'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0});
  b.insert(b.end(), {0xFF, 0xDB, 0, 67, 0});
  b.insert(b.end(), 64, 1);
  b.insert(b.end(), {0xFF, 0xC0, 0, 20, 8, 0, 8, 0, 8, 4, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0, 4, 0x11, 0});
  for (uint8_t table : {0x00, 0x10}) {  // DC and AC: one 1-bit code for symbol 0
    b.insert(b.end(), {0xFF, 0xC4, 0, 20, table, 1});
    b.insert(b.end(), 15, 0);
    b.push_back(0);
  }
  b.insert(b.end(), {0xFF, 0xDA, 0, 14, 4, 1, 0, 2, 0, 3, 0, 4, 0, 0, 63, 0, 0x00, 0xFF, 0xD9});
  return b;
}

TEST(ImageDecode, CmykJpegBecomesRgb) {
  for (bool adobe : {false, true}) {
    Bytes jpeg = CmykJpeg(adobe);
    Image image;
    ASSERT_TRUE(image.LoadMemory(jpeg.data(), jpeg.size()));
    Bitmap b;
    ASSERT_TRUE(image.Decode(&b)) << GetLastError();
    // Half cyan, magenta, yellow and black: a dark grey either way.
    EXPECT_LE(ColorDistance(b.Pixel(4, 4), 0xFF404040u), 2) << adobe;
    EXPECT_EQ(b.Pixel(4, 4) >> 24, 255u);
  }
}

TEST(ImageDecode, UnknownAndEmptyDataAreRefused) {
  Image image;
  const char text[] = "hello, not a picture";
  EXPECT_FALSE(image.LoadMemory(text, sizeof text));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(image.LoadMemory(text, 0));
  Bitmap b;
  EXPECT_FALSE(image.Decode(&b));  // nothing loaded
  ImageInfo info;
  EXPECT_FALSE(GetImageInfo(text, sizeof text, &info));
  EXPECT_EQ(info.format, ImageFormat::Unknown);
}

}  // namespace
}  // namespace qv::test
