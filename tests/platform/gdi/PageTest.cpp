// A whole screen drawn the way the program will: Japanese text in the
// device's sizes, regular and bold, lines, ellipses and transparent blits.
// The picture is kept as gdi-page.png in the build folder for people to look
// at; the test checks what survives into the file.
#include <png.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/platform/gdi/GdiTestSupport.h"

namespace qv::test {
namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);

std::string OutputPath() {
  const char* dir = std::getenv("QV_BINARY_DIR");
  return std::string(dir && *dir ? dir : ".") + "/gdi-page.png";
}

bool SavePng(const gdi::Surface& surface, const std::string& path) {
  Bitmap pixels = surface.Snapshot();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = pixels.Width();
  image.height = pixels.Height();
  image.format = PNG_FORMAT_BGRA;
  return png_image_write_to_file(&image, path.c_str(), 0, pixels.Row(0), static_cast<png_int_32>(pixels.Stride()),
                                 nullptr) != 0;
}

// A 40x32 envelope on magenta, the key colour of the program's bitmaps.
HBITMAP Envelope() {
  Canvas c(40, 32, kMagenta);
  HBRUSH paper = CreateSolidBrush(RGB(250, 240, 200));
  HPEN ink = CreatePen(PS_SOLID, 2, RGB(120, 80, 20));
  SelectObject(c.dc(), paper);
  SelectObject(c.dc(), ink);
  Rectangle(c.dc(), 2, 4, 38, 30);
  MoveToEx(c.dc(), 3, 5, nullptr);
  LineTo(c.dc(), 20, 18);
  LineTo(c.dc(), 37, 5);
  SelectObject(c.dc(), GetStockObject(BLACK_PEN));
  SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
  DeleteObject(ink);
  DeleteObject(paper);
  HBITMAP copy = CreateCompatibleBitmap(nullptr, 40, 32);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, copy);
  BitBlt(dc, 0, 0, 40, 32, c.dc(), 0, 0, SRCCOPY);
  SelectObject(dc, old);
  DeleteDC(dc);
  return copy;
}

TEST(GdiPage, DrawsAScreenOfJapaneseTextShapesAndBlits) {
  Canvas page(480, 800);
  HDC dc = page.dc();
  SetBkMode(dc, TRANSPARENT);

  // Title bar in the highlight colour.
  RECT title{0, 0, 480, 56};
  FillRect(dc, &title, GetSysColorBrush(COLOR_HIGHLIGHT));
  {
    Font bold(kPGothic, -27, FW_BOLD);
    Selected s(dc, bold.get());
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    DrawTextW(dc, L"受信トレイ (3)", -1, &title, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  }

  // The device's sizes, regular and bold.
  SetTextColor(dc, RGB(0, 0, 0));
  int y = 64;
  for (LONG em : {13, 16, 24, 27, 32}) {
    for (LONG weight : {FW_NORMAL, FW_BOLD}) {
      Font font(kPGothic, -em, weight);
      Selected s(dc, font.get());
      std::wstring line = std::to_wstring(em) + (weight == FW_BOLD ? L"px 太字 " : L"px 標準 ") +
                          L"新着メール「お知らせ」を受信しました。ABCabc123";
      TEXTMETRICW tm{};
      GetTextMetricsW(dc, &tm);
      RECT r{8, y, 472, y + tm.tmHeight};
      RECT calc = r;
      DrawTextW(dc, line.c_str(), -1, &calc, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
      EXPECT_EQ(calc.bottom - calc.top, tm.tmHeight);
      EXPECT_LE(calc.right, 472);
      DrawTextW(dc, line.c_str(), -1, &r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
      y += tm.tmHeight + 4;
    }
  }

  // A wrapped paragraph in a frame, with an underlined prefix and an opaque label.
  {
    Font font(kPGothic, -24);
    Selected s(dc, font.get());
    RECT box{8, y + 4, 472, y + 4 + 3 * 30};
    FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&box, -6, -4);
    DrawTextW(dc,
              L"&本文：明日の会議は午後三時からです。資料（第２版）を添付しましたので、ご確認ください。"
              L"よろしくお願いいたします。",
              -1, &box, DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS);
    y = box.bottom + 12;
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 180));
    TextOutW(dc, 8, y, L"未読 12件", 6);
    SetBkMode(dc, TRANSPARENT);
    y += 36;
  }

  // Lines of every pen width, a dashed one, ellipses and the round dot of a wide pen.
  for (int width : {1, 2, 5, 10}) {
    HPEN pen = CreatePen(PS_SOLID, width, RGB(0, 0, 160));
    Selected s(dc, pen);
    MoveToEx(dc, 16, y, nullptr);
    LineTo(dc, 200, y);
    y += 16;
    DeleteObject(pen);
  }
  {
    HPEN dash = CreatePen(PS_DASH, 1, RGB(200, 0, 0));
    Selected s(dc, dash);
    MoveToEx(dc, 16, y, nullptr);
    LineTo(dc, 200, y);
    DeleteObject(dash);
  }
  HBRUSH fill = CreateSolidBrush(RGB(150, 220, 150));
  HPEN outline = CreatePen(PS_SOLID, 2, RGB(0, 100, 0));
  {
    Selected b(dc, fill), p(dc, outline);
    Ellipse(dc, 230, y - 70, 330, y);
    Rectangle(dc, 345, y - 70, 465, y - 20);
  }
  {
    HPEN wide = CreatePen(PS_SOLID, 12, RGB(200, 0, 120));
    Selected p(dc, wide);
    Ellipse(dc, 400, y, 400, y);
    DeleteObject(wide);
  }
  DeleteObject(outline);
  DeleteObject(fill);
  y += 24;

  // The envelope bitmap copied by its magenta key, plain and twice as large.
  HBITMAP envelope = Envelope();
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, envelope);
  RECT band{0, y, 480, y + 72};
  HBRUSH stripe = CreateSolidBrush(RGB(220, 230, 255));
  FillRect(dc, &band, stripe);
  DeleteObject(stripe);
  ASSERT_TRUE(TransparentBlt(dc, 16, y + 20, 40, 32, source, 0, 0, 40, 32, kMagenta));
  ASSERT_TRUE(TransparentBlt(dc, 80, y + 4, 80, 64, source, 0, 0, 40, 32, kMagenta));
  BitBlt(dc, 180, y + 20, 40, 32, source, 0, 0, SRCCOPY);  // beside it, the key colour kept
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(envelope);
  EXPECT_LE(y + 72, 800);

  // The key colour shows only where the plain copy put it.
  std::shared_ptr<gdi::Surface> surface = gdi::SurfaceOf(page.bitmap());
  for (int row = 0; row < 800; ++row)
    for (int x = 0; x < 480; ++x)
      if (gdi::ColorOf(surface->Row(row)[x]) == kMagenta) {
        ASSERT_TRUE(x >= 180 && x < 220 && row >= y + 20 && row < y + 52) << x << "," << row;
      }

  // The file holds exactly these pixels.
  const std::string path = OutputPath();
  ASSERT_TRUE(SavePng(*surface, path)) << path;
  std::ifstream file(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Image saved;
  ASSERT_TRUE(saved.LoadMemory(bytes.data(), bytes.size())) << path;
  Bitmap decoded;
  ASSERT_TRUE(saved.Decode(&decoded));
  ASSERT_EQ(decoded.Width(), 480u);
  ASSERT_EQ(decoded.Height(), 800u);
  Bitmap expected = surface->Snapshot();
  int different = 0;
  for (UINT row = 0; row < 800; ++row)
    for (UINT x = 0; x < 480; ++x) different += decoded.Pixel(x, row) != expected.Pixel(x, row);
  EXPECT_EQ(different, 0);
}

}  // namespace
}  // namespace qv::test
