// Damaged, truncated and oversized pictures: each fails cleanly (ASan and
// UBSan watch the decoders), never succeeds with a partial picture, and huge
// sizes are refused from the header before pixel memory is taken.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/imaging/Imaging.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

struct Sample {
  std::string name;
  Bytes bytes;
};

std::vector<Sample> Samples() {
  Pixels q = Quarters(16, 12);
  return {{"bmp24", MakeBmp(q, BmpKind::Rgb24)},      {"bmp8", MakeBmp(q, BmpKind::Palette8)},
          {"bmprle8", MakeBmp(q, BmpKind::Rle8)},     {"bmprle4", MakeBmp(q, BmpKind::Rle4)},
          {"png", MakePng(q, PngKind::Rgb)},          {"pngpalette", MakePng(q, PngKind::PaletteTransparent)},
          {"gif", MakeGif(q)},                        {"gifinterlaced", MakeGif(q, true)},
          {"jpeg", MakeJpeg(q)}};
}

// Loads and decodes; true only with a bitmap of the announced size.
bool DecodeAll(const Bytes& bytes, Bitmap* out) {
  Image image;
  if (!image.LoadMemory(bytes.data(), bytes.size())) {
    EXPECT_NE(GetLastError(), static_cast<DWORD>(NO_ERROR));
    return false;
  }
  if (!image.Decode(out)) {
    EXPECT_TRUE(out->Empty());
    EXPECT_NE(GetLastError(), static_cast<DWORD>(NO_ERROR));
    return false;
  }
  EXPECT_EQ(out->Width(), image.Info().width);
  EXPECT_EQ(out->Height(), image.Info().height);
  return true;
}

TEST(HostileImage, EveryTruncationFailsOrGivesTheWholePicture) {
  for (const Sample& s : Samples()) {
    Bitmap whole;
    ASSERT_TRUE(DecodeAll(s.bytes, &whole)) << s.name;
    for (size_t cut = 0; cut < s.bytes.size(); ++cut) {
      Bytes part(s.bytes.begin(), s.bytes.begin() + static_cast<ptrdiff_t>(cut));
      SetLastError(NO_ERROR);
      Bitmap b;
      bool ok = DecodeAll(part, &b);
      // Only the closing marks (end chunk, trailer, end code) may be missing.
      if (cut + 16 <= s.bytes.size()) {
        EXPECT_FALSE(ok) << s.name << " cut at " << cut << " of " << s.bytes.size();
      } else if (ok) {
        ASSERT_EQ(b.Width(), whole.Width());
        for (UINT y = 0; y < b.Height(); ++y)
          for (UINT x = 0; x < b.Width(); ++x)
            ASSERT_EQ(b.Pixel(x, y), whole.Pixel(x, y)) << s.name << " cut at " << cut;
      }
    }
  }
}

TEST(HostileImage, RandomDamageNeverCrashesOrHangs) {
  std::mt19937 random(20261208);
  for (const Sample& s : Samples()) {
    for (int round = 0; round < 150; ++round) {
      Bytes damaged = s.bytes;
      int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i)
        damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
      Bitmap b;
      DecodeAll(damaged, &b);
      Image image;
      if (image.LoadMemory(damaged.data(), damaged.size()) && image.Decode(48, 36, &b)) {
        EXPECT_EQ(b.Width(), 48u);
        EXPECT_EQ(b.Height(), 36u);
      }
    }
  }
}

TEST(HostileImage, DamagedStructuresAreRefused) {
  Pixels q = Quarters(16, 12);
  Bitmap b;

  Bytes png = MakePng(q, PngKind::Rgb);
  size_t idat = std::string(png.begin(), png.end()).find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  Bytes badCrc = png;
  badCrc[idat + 4 + 20] ^= 0x01;  // image data no longer matches its CRC
  EXPECT_FALSE(DecodeAll(badCrc, &b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  // Too little image data for the rows announced, with valid checksums.
  Bytes ihdr = {0, 0, 0, 16, 0, 0, 0, 12, 8, 2, 0, 0, 0};
  EXPECT_FALSE(DecodeAll(MakePngFromParts(ihdr, Bytes(49 * 5, 0)), &b));

  // GIF: an impossible code size; image data that stops before the last row.
  Bytes gif = MakeGif(q);
  size_t codeSize = 13 + 256 * 3 + 10;  // header, table, image descriptor
  ASSERT_EQ(gif[codeSize], 8);
  Bytes wideCodes = gif;
  wideCodes[codeSize] = 12;
  EXPECT_FALSE(DecodeAll(wideCodes, &b));
  Bytes shortData(gif.begin(), gif.begin() + static_cast<ptrdiff_t>(codeSize) + 1);
  shortData.insert(shortData.end(), {2, 0x00, 0x01, 0, 0x3B});  // a clear code, then the end of the blocks
  EXPECT_FALSE(DecodeAll(shortData, &b));

  // BMP: pixel data announced past the end; a palette index beyond the palette.
  Bytes bmp = MakeBmp(q, BmpKind::Rgb24);
  Bytes far = bmp;
  far[10] = 0xFF, far[11] = 0xFF, far[12] = 0x00;
  EXPECT_FALSE(DecodeAll(far, &b));
  Bytes indexed = MakeBmp(q, BmpKind::Palette8);
  indexed[indexed.size() - 1] = 200;  // last pixel of the top row
  ASSERT_TRUE(DecodeAll(indexed, &b));
  EXPECT_EQ(b.Pixel(15, 0), kBlack);
  // RLE moves far beyond the picture: nothing is written out of bounds.
  Bytes rle = MakeBmp(q, BmpKind::Rle8);
  size_t start = rle[10] | rle[11] << 8;
  Bytes jump(rle.begin(), rle.begin() + static_cast<ptrdiff_t>(start));
  for (int i = 0; i < 40; ++i) jump.insert(jump.end(), {0, 2, 255, 0});
  jump.insert(jump.end(), {5, 0, 0, 2, 0, 255, 0, 1});
  ASSERT_TRUE(DecodeAll(jump, &b));
  EXPECT_EQ(b.Pixel(0, 11) >> 24, 0u);
}

// A progressive 8 x 8 grey JPEG: a first DC scan, then `refinements` DC
// refinement scans of one bit each.
Bytes ProgressiveJpeg(int refinements) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0};
  b.insert(b.end(), 64, 1);  // quantisation table of ones
  b.insert(b.end(), {0xFF, 0xC2, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0});
  b.insert(b.end(), {0xFF, 0xC4, 0, 20, 0x00, 1});  // DC table: one 1-bit code
  b.insert(b.end(), 15, 0);
  b.push_back(0);  // ... for difference category 0
  b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 0, 0x01, 0x7F});
  for (int i = 0; i < refinements; ++i) b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 0, 0x10, 0x7F});
  b.insert(b.end(), {0xFF, 0xD9});
  return b;
}

TEST(HostileImage, EndlessProgressiveScansAreCut) {
  Bitmap b;
  ASSERT_TRUE(DecodeAll(ProgressiveJpeg(10), &b));
  EXPECT_LE(ColorDistance(b.Pixel(3, 3), 0xFF808080u), 2);
  // Each scan is a pass over the whole picture; hundreds are an attack.
  EXPECT_FALSE(DecodeAll(ProgressiveJpeg(600), &b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

void SetJpegSize(Bytes* jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < jpeg->size(); ++i)
    if ((*jpeg)[i] == 0xFF && ((*jpeg)[i + 1] == 0xC0 || (*jpeg)[i + 1] == 0xC2)) {
      (*jpeg)[i + 5] = static_cast<uint8_t>(height >> 8), (*jpeg)[i + 6] = static_cast<uint8_t>(height);
      (*jpeg)[i + 7] = static_cast<uint8_t>(width >> 8), (*jpeg)[i + 8] = static_cast<uint8_t>(width);
      return;
    }
  ADD_FAILURE() << "no frame header";
}

void ExpectRefusedBySize(const Bytes& bytes, UINT width, UINT height, const std::string& what) {
  ImageInfo info;
  ASSERT_TRUE(GetImageInfo(bytes.data(), bytes.size(), &info)) << what;
  EXPECT_EQ(info.width, width) << what;
  EXPECT_EQ(info.height, height) << what;
  Image image;
  ASSERT_TRUE(image.LoadMemory(bytes.data(), bytes.size())) << what;
  Bitmap b;
  // Allocating these would be gigabytes: ASan would stop the test.
  EXPECT_FALSE(image.Decode(&b)) << what;
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY)) << what;
  EXPECT_FALSE(image.Decode(48, 36, &b)) << what;
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY)) << what;
  EXPECT_TRUE(b.Empty());
}

TEST(HostileImage, OversizeDimensionsAreRefusedFromTheHeader) {
  Pixels q = Quarters(16, 12);
  Bytes bmp = MakeBmp(q, BmpKind::Rgb24);
  bmp[18] = 0x60, bmp[19] = 0xEA, bmp[20] = 0, bmp[21] = 0;  // 60000 wide
  bmp[22] = 0x60, bmp[23] = 0xEA, bmp[24] = 0, bmp[25] = 0;  // 60000 high
  ExpectRefusedBySize(bmp, 60000, 60000, "bmp");

  Bytes big = {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60, 8, 2, 0, 0, 0};
  ExpectRefusedBySize(MakePngFromParts(big, Bytes(100, 0)), 60000, 60000, "png");
  // Within the side limit but too many pixels in all.
  Bytes square = {0, 0, 0x1F, 0x40, 0, 0, 0x1F, 0x40, 8, 6, 0, 0, 0};
  ExpectRefusedBySize(MakePngFromParts(square, Bytes(100, 0)), 8000, 8000, "png 8000");

  Bytes gif = MakeGif(q);
  gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;
  ExpectRefusedBySize(gif, 65535, 65535, "gif");
  // A frame far larger than its small screen.
  Bytes frame = MakeGif(q);
  size_t desc = 13 + 256 * 3;
  ASSERT_EQ(frame[desc], 0x2C);
  frame[desc + 5] = frame[desc + 6] = frame[desc + 7] = frame[desc + 8] = 0xFF;
  Bitmap b;
  EXPECT_FALSE(DecodeAll(frame, &b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

  Bytes jpeg = MakeJpeg(q);
  SetJpegSize(&jpeg, 60000, 60000);
  ExpectRefusedBySize(jpeg, 60000, 60000, "jpeg");
  // Small enough at 1/8 to be read scaled: the size passes, the missing data fails.
  Bytes wide = MakeJpeg(q);
  SetJpegSize(&wide, 30000, 20000);
  Image image;
  ASSERT_TRUE(image.LoadMemory(wide.data(), wide.size()));
  EXPECT_FALSE(image.Decode(&b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_FALSE(image.Decode(48, 36, &b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_TRUE(b.Empty());
  // Progressive: every coefficient of the full size is kept (1.2 GB here),
  // whatever the output scale; the decoder's memory limit refuses it.
  Bytes progressive = ProgressiveJpeg(1);
  SetJpegSize(&progressive, 30000, 20000);
  ASSERT_TRUE(image.LoadMemory(progressive.data(), progressive.size()));
  EXPECT_FALSE(image.Decode(48, 36, &b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

}  // namespace
}  // namespace qv::test
