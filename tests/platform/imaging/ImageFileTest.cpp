// Pictures on the device's file system: a feed thumbnail made from a file of
// each format and written as JPEG; missing files, missing folders and a full
// disk.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/imaging/Imaging.h"
#include "platform/kernel/DeviceFs.h"
#include "platform/kernel/Files.h"
#include "platform/testing/Seams.h"
#include "tests/support/TestImages.h"
#include "tests/support/DeviceRootFixture.h"

namespace qv::test {
namespace {

// Each test has its own device root, with the two folders pictures use.
class ImageFile : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    ASSERT_TRUE(CreateDirectoryW(L"\\My Documents", nullptr));
    ASSERT_TRUE(CreateDirectoryW(L"\\Tmp", nullptr));
  }
  void Write(const std::string& rel, const Bytes& bytes) {
    std::ofstream(Host(rel), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
  }
};

TEST_F(ImageFile, ThumbnailOfEveryFormatIsWrittenAsJpeg) {
  Pixels q = Quarters(64, 48);
  struct Case {
    const wchar_t* path;
    std::string host;
    Bytes bytes;
  };
  Case cases[] = {{L"\\My Documents\\a.bmp", "My Documents/a.bmp", MakeBmp(q, BmpKind::Rgb24)},
                  {L"\\My Documents\\a.png", "My Documents/a.png", MakePng(q, PngKind::Rgb)},
                  {L"\\My Documents\\a.gif", "My Documents/a.gif", MakeGif(q)},
                  {L"\\My Documents\\a.jpg", "My Documents/a.jpg", MakeJpeg(q)}};
  for (const Case& c : cases) {
    Write(c.host, c.bytes);
    ImageInfo info;
    ASSERT_TRUE(GetImageInfo(c.path, &info));
    EXPECT_EQ(info.width, 64u);
    Image image;
    ASSERT_TRUE(image.LoadFile(c.path)) << c.host;
    Bitmap thumb;
    ASSERT_TRUE(image.Decode(104, 78, &thumb)) << c.host;
    ASSERT_TRUE(SaveJpegFile(thumb.Data(), L"\\Tmp\\thumb.jpg"));
    ASSERT_TRUE(GetImageInfo(L"\\Tmp\\thumb.jpg", &info));
    EXPECT_EQ(info.format, ImageFormat::Jpeg);
    EXPECT_EQ(info.width, 104u);
    EXPECT_EQ(info.height, 78u);
    Image back;
    ASSERT_TRUE(back.LoadFile(L"\\Tmp\\thumb.jpg"));
    Bitmap b;
    ASSERT_TRUE(back.Decode(&b));
    EXPECT_LE(ColorDistance(b.Pixel(20, 15), kRed), 16) << c.host;
    EXPECT_LE(ColorDistance(b.Pixel(84, 63), kWhite), 16) << c.host;
  }
}

TEST_F(ImageFile, InfoIsFoundBehindLargeMetadata) {
  Pixels q = Quarters(40, 30);
  // 300 KB of text ahead of the PNG image data.
  Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0};
  text.resize(300 * 1024, 'x');
  Bytes ihdr = {0, 0, 0, 40, 0, 0, 0, 30, 8, 2, 0, 0, 0};
  Bytes raw;
  for (UINT y = 0; y < 30; ++y) {
    raw.push_back(0);
    for (UINT x = 0; x < 40; ++x) {
      DWORD c = q.At(x, y);
      raw.insert(raw.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
    }
  }
  Write("My Documents/meta.png", MakePngFromParts(ihdr, raw, PngChunk("tEXt", text)));
  // Five 60 KB application segments ahead of the JPEG frame header.
  Bytes jpeg = MakeJpeg(q);
  Bytes app = {0xFF, 0xE2, 0xEA, 0x62};
  app.resize(2 + 60000, 0x20);
  for (int i = 0; i < 5; ++i) jpeg.insert(jpeg.begin() + 2, app.begin(), app.end());
  Write("My Documents/meta.jpg", jpeg);
  for (const wchar_t* path : {L"\\My Documents\\meta.png", L"\\My Documents\\meta.jpg"}) {
    ImageInfo info;
    ASSERT_TRUE(GetImageInfo(path, &info)) << GetLastError();
    EXPECT_EQ(info.width, 40u);
    EXPECT_EQ(info.height, 30u);
    Image image;
    ASSERT_TRUE(image.LoadFile(path));
    Bitmap b;
    ASSERT_TRUE(image.Decode(&b));
    EXPECT_LE(ColorDistance(b.Pixel(5, 5), kRed), 12);
  }
}

TEST_F(ImageFile, MissingFilesAndFoldersFailWithTheirErrors) {
  Image image;
  EXPECT_FALSE(image.LoadFile(L"\\My Documents\\none.jpg"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ImageInfo info;
  EXPECT_FALSE(GetImageInfo(L"\\My Documents\\none.jpg", &info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  Bitmap b = ToBitmap(Quarters(8, 8));
  EXPECT_FALSE(SaveJpegFile(b.Data(), L"\\No Such Folder\\t.jpg"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(HostExists("No Such Folder"));

  // A picture that cannot be encoded writes no file at all.
  BitmapData empty{0, 0, 0, PixelFormat32bppRGB, nullptr, 0};
  EXPECT_FALSE(SaveJpegFile(empty, L"\\Tmp\\t.jpg"));
  EXPECT_FALSE(HostExists("Tmp/t.jpg"));
}

TEST_F(ImageFile, FullDiskLeavesTheOldPictureAndNoCopyBehind) {
  Bitmap small = ToBitmap(Quarters(16, 16));
  ASSERT_TRUE(SaveJpegFile(small.Data(), L"\\Tmp\\t.jpg", 50));
  ImageInfo before;
  ASSERT_TRUE(GetImageInfo(L"\\Tmp\\t.jpg", &before));

  // The picture is written beside its target first; that copy's disk fills up.
  Bitmap b = ToBitmap(Quarters(64, 64));
  qv::seams::InjectFileFault(L"\\Tmp\\t.jpg.jpgtmp", ERROR_DISK_FULL);
  EXPECT_FALSE(SaveJpegFile(b.Data(), L"\\Tmp\\t.jpg"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  qv::seams::ClearFileFaults();
  EXPECT_FALSE(HostExists("Tmp/t.jpg.jpgtmp"));
  ImageInfo kept;
  ASSERT_TRUE(GetImageInfo(L"\\Tmp\\t.jpg", &kept));
  EXPECT_EQ(kept.width, before.width);

  ASSERT_TRUE(SaveJpegFile(b.Data(), L"\\Tmp\\t.jpg", 50));
  ImageInfo after;
  ASSERT_TRUE(GetImageInfo(L"\\Tmp\\t.jpg", &after));
  EXPECT_EQ(after.width, 64u);
  EXPECT_FALSE(HostExists("Tmp/t.jpg.jpgtmp"));
}

TEST_F(ImageFile, TruncatedFileFailsToDecode) {
  Bytes jpeg = MakeJpeg(Quarters(64, 48));
  jpeg.resize(jpeg.size() - 40);  // the end of the scan data is gone
  Write("My Documents/cut.jpg", jpeg);
  Image image;
  ASSERT_TRUE(image.LoadFile(L"\\my documents\\CUT.JPG"));  // the header is all there
  Bitmap b;
  EXPECT_FALSE(image.Decode(48, 36, &b));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_TRUE(b.Empty());
}

}  // namespace
}  // namespace qv::test
