// The file wrapper over the kernel's handles, the usable screen area, and
// the device context's raster wrappers (XOR lines, inverted rectangles).
#include <fstream>

#include "platform/framework/CFile.h"
#include "platform/ui/metrics/Metrics.h"
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using FileAndRaster = FrameworkTest;

TEST_F(FileAndRaster, FilesOpenReadWriteSeekAndRefuseWhatTheModeForbids) {
  {
    CFile out;
    ASSERT_TRUE(out.Open(L"\\a.bin", CFile::modeCreate | CFile::modeWrite));
    EXPECT_TRUE(out.Write("0123456789", 10));
    EXPECT_EQ(out.GetLength(), 10u);
    // A second open against the first one's exclusive claim is error 32.
    CFile other;
    EXPECT_FALSE(other.Open(L"\\a.bin", CFile::modeRead));
    EXPECT_EQ(GetLastError(), 32u);
  }
  struct Case {
    LONGLONG offset;
    UINT from;
    LONGLONG at;
    std::string read;  // 4 bytes asked
  };
  CFile in;
  ASSERT_TRUE(in.Open(L"\\a.bin", CFile::modeRead | CFile::shareDenyWrite));
  for (const Case& c : {Case{0, CFile::begin, 0, "0123"}, Case{2, CFile::current, 6, "6789"}, Case{-3, CFile::end, 7, "789"},
                        Case{20, CFile::begin, 20, ""}}) {
    EXPECT_EQ(in.Seek(c.offset, c.from), c.at) << c.offset;
    char buffer[4] = {};
    const UINT got = in.Read(buffer, 4);
    EXPECT_EQ(std::string(buffer, got), c.read) << c.offset;
  }
  EXPECT_FALSE(in.Write("x", 1));  // opened for reading
  in.Close();
  EXPECT_FALSE(in.IsOpen());
  EXPECT_EQ(in.Read(nullptr, 0), 0u);
  CFile missing;
  EXPECT_FALSE(missing.Open(L"\\none\\b.bin", CFile::modeRead));
  // modeNoTruncate keeps what is there.
  CFile keep;
  ASSERT_TRUE(keep.Open(L"\\a.bin", CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
  EXPECT_EQ(keep.GetLength(), 10u);
}

TEST_F(FileAndRaster, TheWorkAreaIsTheScreenAsItStands) {
  for (bool landscape : {false, true}) {
    qv::seams::SetLandscape(landscape);
    RECT work{-1, -1, -1, -1};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right, landscape ? 800 : 480);
    EXPECT_EQ(work.bottom, landscape ? 480 : 800);
    EXPECT_EQ(work.left + work.top, 0);
  }
  qv::seams::SetLandscape(false);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
}

TEST_F(FileAndRaster, XorLinesUndoThemselvesAndInvertedRectanglesFlip) {
  CDC screen;
  ASSERT_TRUE(screen.CreateCompatibleDC(nullptr));
  CBitmap bitmap;
  HDC desktop = GetDC(nullptr);
  bitmap.Attach(CreateCompatibleBitmap(desktop, 20, 20));
  ReleaseDC(nullptr, desktop);
  CBitmap* old = screen.SelectObject(&bitmap);
  const RECT all{0, 0, 20, 20};
  screen.FillSolidRect(&all, 0x00FF8040);
  CPen pen(PS_SOLID, 1, 0x00FFFFFF);
  CPen* oldPen = screen.SelectObject(&pen);
  EXPECT_EQ(screen.SetROP2(R2_XORPEN), R2_COPYPEN);
  EXPECT_EQ(screen.GetROP2(), R2_XORPEN);
  const POINT line[3] = {{2, 2}, {12, 2}, {12, 12}};
  EXPECT_TRUE(screen.Polyline(line, 3));
  EXPECT_EQ(screen.GetPixel(5, 2), 0x00007FBFu);
  EXPECT_EQ(screen.GetPixel(12, 8), 0x00007FBFu);
  EXPECT_EQ(screen.GetPixel(5, 5), 0x00FF8040u);
  screen.Polyline(line, 3);
  EXPECT_EQ(screen.GetPixel(5, 2), 0x00FF8040u);
  const RECT box{0, 10, 4, 14};
  screen.InvertRect(&box);
  EXPECT_EQ(screen.GetPixel(1, 11), 0x00007FBFu);
  EXPECT_EQ(screen.GetPixel(4, 11), 0x00FF8040u);
  screen.SelectObject(oldPen);
  screen.SelectObject(old);
}

}  // namespace
}  // namespace qv::test
