// The Imaging component's bitmap surface: bitmaps made from pictures, locked,
// resized and turned, and the JPEG encoder reached through the codec list.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/ImagingFactory.h"
#include "tests/support/DeviceRootFixture.h"
#include "tests/support/TestImages.h"

namespace qv::test {
namespace {

class ImagingSurface : public DeviceRootTest {
 protected:
  void SetUp() override {
    DeviceRootTest::SetUp();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                               reinterpret_cast<void**>(&factory_)), S_OK);
  }
  void TearDown() override {
    factory_->Release();
    CoUninitialize();
    DeviceRootTest::TearDown();
  }
  // The colour at (x, y) of a bitmap, read through a lock, as 0xAARRGGBB.
  static DWORD At(IBitmapImage* bitmap, LONG x, LONG y) {
    BitmapData data{};
    RECT one{x, y, x + 1, y + 1};
    EXPECT_EQ(bitmap->LockBits(&one, ImageLockModeRead, PixelFormat32bppARGB, &data), S_OK);
    const DWORD value = *static_cast<const DWORD*>(data.Scan0) | 0xFF000000u;
    EXPECT_EQ(bitmap->UnlockBits(&data), S_OK);
    return value;
  }
  IImagingFactory* factory_ = nullptr;
};

TEST_F(ImagingSurface, BitmapsFromPicturesResizeAndTurn) {
  const Bytes png = MakePng(Quarters(40, 20), PngKind::Rgb);
  com::ComRef<IImage> image;
  ASSERT_EQ(factory_->CreateImageFromBuffer(png.data(), static_cast<UINT>(png.size()), BufferDisposalFlagNone,
                                            &image), S_OK);
  com::ComRef<IBitmapImage> bitmap;
  ASSERT_EQ(factory_->CreateBitmapFromImage(image.get(), 0, 0, PixelFormat32bppRGB, InterpolationHintDefault, &bitmap),
            S_OK);
  com::ComRef<IBasicBitmapOps> ops;
  ASSERT_EQ(bitmap->QueryInterface(IID_IBasicBitmapOps, reinterpret_cast<void**>(&ops)), S_OK);
  com::ComRef<IBitmapImage> half, turned, upside;
  ASSERT_EQ(ops->Resize(20, 10, PixelFormat32bppRGB, InterpolationHintDefault, &half), S_OK);
  ASSERT_EQ(ops->Rotate(90.0f, InterpolationHintDefault, &turned), S_OK);
  ASSERT_EQ(ops->Rotate(-180.0f, InterpolationHintDefault, &upside), S_OK);
  // (bitmap, size, four corners: top left, top right, bottom left, bottom right)
  struct Case {
    IBitmapImage* bitmap;
    LONG w, h;
    DWORD corners[4];
  } cases[] = {
      {bitmap.get(), 40, 20, {kRed, kGreen, kBlue, kWhite}},
      {half.get(), 20, 10, {kRed, kGreen, kBlue, kWhite}},
      {turned.get(), 20, 40, {kGreen, kWhite, kRed, kBlue}},  // counterclockwise
      {upside.get(), 40, 20, {kWhite, kBlue, kGreen, kRed}},
  };
  for (const Case& c : cases) {
    SIZE size{};
    ASSERT_EQ(c.bitmap->GetSize(&size), S_OK);
    ASSERT_EQ(size.cx, c.w);
    ASSERT_EQ(size.cy, c.h);
    const DWORD seen[4] = {At(c.bitmap, 1, 1), At(c.bitmap, c.w - 2, 1), At(c.bitmap, 1, c.h - 2),
                           At(c.bitmap, c.w - 2, c.h - 2)};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(seen[i], c.corners[i]) << c.w << "x" << c.h << " corner " << i;
  }
  com::ComRef<IBitmapImage> none;
  EXPECT_EQ(ops->Rotate(45.0f, InterpolationHintDefault, &none), E_NOTIMPL);
  EXPECT_EQ(none.get(), nullptr);
  // One lock at a time; a written lock changes the bitmap.
  BitmapData data{};
  ASSERT_EQ(bitmap->LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppRGB, &data), S_OK);
  BitmapData second{};
  EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppRGB, &second), E_FAIL);
  EXPECT_EQ(data.Stride, 160);
  static_cast<DWORD*>(data.Scan0)[0] = 0xFF123456u;
  ASSERT_EQ(bitmap->UnlockBits(&data), S_OK);
  EXPECT_EQ(At(bitmap.get(), 0, 0), 0xFF123456u);
  RECT outside{30, 10, 41, 20};
  EXPECT_EQ(bitmap->LockBits(&outside, ImageLockModeRead, PixelFormat32bppRGB, &data), E_INVALIDARG);
}

// Encodes a width x height bitmap whose rows lie bottom-up (a DIB section) to
// `path` through the installed JPEG encoder; the steps to leave out make the
// failures of the table below.
struct Steps {
  bool endSink = true;
  bool lastPass = true;
  GUID raw = ImageFormatMemoryBMP;
  UINT width = 48, height = 32;
};

TEST_F(ImagingSurface, JpegEncoderWritesOnlyAFinishedPicture) {
  UINT count = 0;
  ImageCodecInfo* codecs = nullptr;
  ASSERT_EQ(factory_->GetInstalledEncoders(&count, &codecs), S_OK);
  const CLSID* jpeg = nullptr;
  for (UINT i = 0; i < count; ++i) {
    if (IsEqualGUID(codecs[i].FormatID, ImageFormatJPEG)) jpeg = &codecs[i].Clsid;
  }
  ASSERT_NE(jpeg, nullptr);
  EXPECT_STREQ(codecs[0].MimeType, L"image/jpeg");
  const CLSID clsid = *jpeg;
  CoTaskMemFree(codecs);
  jpeg = &clsid;

  const Bitmap quarters = ToBitmap(Quarters(48, 32));
  std::vector<BYTE> bottomUp(48 * 32 * 4);
  for (UINT y = 0; y < 32; ++y) std::memcpy(&bottomUp[(31 - y) * 48 * 4], quarters.Row(y), 48 * 4);
  struct Case {
    const char* name;
    Steps steps;
    HRESULT begin, terminate;
  } cases[] = {
      {"sink not ended", {.endSink = false}, S_OK, E_FAIL},
      {"no last pass", {.lastPass = false}, S_OK, E_FAIL},
      {"not a memory bitmap", {.raw = ImageFormatJPEG}, E_INVALIDARG, E_FAIL},
      {"50 megapixels", {.width = 10000, .height = 5000}, E_OUTOFMEMORY, E_FAIL},
      {"whole", {}, S_OK, S_OK},  // its pixels are read back through the canvas's JPEG
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(L"\\pic.jpg");
    com::ComRef<IImageEncoder> encoder;
    ASSERT_EQ(factory_->CreateImageEncoderToFile(jpeg, L"\\pic.jpg", &encoder), S_OK);
    com::ComRef<IImageSink> sink;
    ASSERT_EQ(encoder->GetEncodeSink(&sink), S_OK);
    ::ImageInfo info{};
    info.RawDataFormat = c.steps.raw;
    info.PixelFormat = PixelFormat32bppRGB;
    info.Width = c.steps.width;
    info.Height = c.steps.height;
    ASSERT_EQ(sink->BeginSink(&info, nullptr), c.begin);
    if (c.begin == S_OK) {
      EXPECT_EQ(sink->SetPalette(nullptr), S_OK);
      BitmapData data{48, 32, -48 * 4, PixelFormat32bppRGB, &bottomUp[31 * 48 * 4], 0};
      RECT all{0, 0, 48, 32};
      ASSERT_EQ(sink->PushPixelData(&all, &data, c.steps.lastPass), S_OK);
      if (c.steps.endSink) {
        EXPECT_EQ(sink->EndSink(S_OK), S_OK);
      }
    }
    EXPECT_EQ(encoder->TerminateEncoder(), c.terminate);
    EXPECT_EQ(HostExists("pic.jpg"), c.terminate == S_OK);
  }

  CLSID unknown = clsid;
  unknown.Data1 ^= 1;
  com::ComRef<IImageEncoder> none;
  EXPECT_EQ(factory_->CreateImageEncoderToFile(&unknown, L"\\x.jpg", &none), REGDB_E_CLASSNOTREG);
}

}  // namespace
}  // namespace qv::test
