// The file wrapper over the kernel's handles, the usable screen area, and
// the device context's raster wrappers (XOR lines, inverted rectangles).
#include "platform/framework/CFile.h"
#include "platform/ui/metrics/Metrics.h"
#include "tests/platform/framework/FrameworkTest.h"

namespace qv::test {
namespace {

using FileAndRaster = FrameworkTest;

TEST_F(FileAndRaster, FilesReadWriteAndSeekAsTheirModeAllows) {
  CFile out;
  ASSERT_TRUE(out.Open(L"\\a.bin", CFile::modeCreate | CFile::modeWrite));
  EXPECT_TRUE(out.Write("0123456789", 10));
  EXPECT_EQ(out.GetLength(), 10u);
  out.Close();
  struct Case {
    LONGLONG offset;
    UINT from;
    LONGLONG at;
    std::string read;  // of 4 bytes asked
  };
  CFile in;
  ASSERT_TRUE(in.Open(L"\\a.bin", CFile::modeRead | CFile::shareDenyWrite));
  for (const Case& c : {Case{0, CFile::begin, 0, "0123"}, Case{2, CFile::current, 6, "6789"}, Case{-3, CFile::end, 7, "789"},
                        Case{20, CFile::begin, 20, ""}}) {
    EXPECT_EQ(in.Seek(c.offset, c.from), c.at) << c.offset;
    char buffer[4] = {};
    EXPECT_EQ(std::string(buffer, in.Read(buffer, 4)), c.read) << c.offset;
  }
  EXPECT_FALSE(in.Write("x", 1));  // opened for reading
  CFile keep;  // modeNoTruncate keeps what is there
  ASSERT_TRUE(keep.Open(L"\\a.bin", CFile::modeCreate | CFile::modeNoTruncate | CFile::modeRead | CFile::shareDenyNone));
  EXPECT_EQ(keep.GetLength(), 10u);
  EXPECT_FALSE(CFile().Open(L"\\none\\b.bin", CFile::modeRead));
}

TEST_F(FileAndRaster, TheWorkAreaIsTheScreenAsItStands) {
  for (bool landscape : {false, true}) {
    qv::seams::SetLandscape(landscape);
    RECT work{-1, -1, -1, -1};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.right * 10000 + work.bottom, landscape ? 8000480 : 4800800);
    EXPECT_EQ(work.left + work.top, 0);
  }
  qv::seams::SetLandscape(false);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
}

TEST_F(FileAndRaster, XorLinesUndoThemselvesAndInvertedRectanglesFlip) {
  CDC dc;
  ASSERT_TRUE(dc.CreateCompatibleDC(nullptr));
  CBitmap bitmap;
  HDC desktop = GetDC(nullptr);
  bitmap.Attach(CreateCompatibleBitmap(desktop, 20, 20));
  ReleaseDC(nullptr, desktop);
  CBitmap* old = dc.SelectObject(&bitmap);
  const RECT all{0, 0, 20, 20};
  dc.FillSolidRect(&all, 0x00FF8040);
  CPen pen(PS_SOLID, 1, 0x00FFFFFF);
  CPen* oldPen = dc.SelectObject(&pen);
  EXPECT_EQ(dc.SetROP2(R2_XORPEN), R2_COPYPEN);
  EXPECT_EQ(dc.GetROP2(), R2_XORPEN);
  const POINT line[3] = {{2, 2}, {12, 2}, {12, 12}};
  EXPECT_TRUE(dc.Polyline(line, 3));
  EXPECT_EQ(std::vector<COLORREF>({dc.GetPixel(5, 2), dc.GetPixel(12, 8), dc.GetPixel(5, 5)}),
            std::vector<COLORREF>({0x00007FBF, 0x00007FBF, 0x00FF8040}));
  dc.Polyline(line, 3);
  EXPECT_EQ(dc.GetPixel(5, 2), 0x00FF8040u);
  const RECT box{0, 10, 4, 14};
  dc.InvertRect(&box);
  EXPECT_EQ(std::vector<COLORREF>({dc.GetPixel(1, 11), dc.GetPixel(4, 11)}), std::vector<COLORREF>({0x00007FBF, 0x00FF8040}));
  dc.SelectObject(oldPen);
  dc.SelectObject(old);
}

}  // namespace
}  // namespace qv::test
