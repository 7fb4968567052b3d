// The pictograph sets: the libraries' glyph sheets, the program-wide sheets
// by font height, a glyph's drawing, and text with pictographs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/foundation/PictureChars.h"
#include "app/foundation/PictureText.h"
#include "app/foundation/QvPictureCharBitmap.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Surface.h"
#include "platform/imaging/Imaging.h"
#include "platform/kernel/Library.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// A memory DC on a bitmap, its pixels read straight.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill = kWhite) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateCompatibleBitmap(dc_, width, height);
    old_ = SelectObject(dc_, bitmap_);
    const RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
    SetBkMode(dc_, TRANSPARENT);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  bool SameArea(const Canvas& other, const RECT& r) const {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (At(x, y) != other.At(x, y)) return false;
    return true;
  }
  // Into the build folder, to be looked at.
  void SavePng(const std::string& name) const {
    const qv::Bitmap snapshot = qv::gdi::SurfaceOf(bitmap_)->Snapshot();
    std::vector<BYTE> png;
    ASSERT_TRUE(qv::EncodePng(snapshot.Data(), &png));
    const char* dir = std::getenv("QV_BINARY_DIR");
    std::ofstream(std::string(dir && *dir ? dir : ".") + "/" + name + ".png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

// The UI font at a cell height, selected into a DC for the scope.
class Font {
 public:
  Font(HDC dc, int height, int weight = 400) : dc_(dc) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    std::wcsncpy(lf.lfFaceName, L"ＭＳ Ｐゴシック", LF_FACESIZE - 1);
    font_ = CreateFontIndirectW(&lf);
    old_ = SelectObject(dc_, font_);
  }
  ~Font() {
    SelectObject(dc_, old_);
    DeleteObject(font_);
  }

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
};

int TextWidth(HDC dc, const std::wstring& text) {
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// How many colours other than white a glyph has: a generated tile has two
// (tile and digits), a pictograph drawn from the font, scaled, has many.
size_t Colours(const QvPictureCharBitmap& sheet, int index) {
  Canvas cell(sheet.GlyphWidth(), sheet.GlyphHeight());
  sheet.DrawChar(cell.dc(), RECT{0, 0, sheet.GlyphWidth(), sheet.GlyphHeight()}, sheet.CharTable()[index], FALSE,
                 FALSE);
  std::set<COLORREF> colours;
  for (int y = 0; y < sheet.GlyphHeight(); ++y)
    for (int x = 0; x < sheet.GlyphWidth(); ++x)
      if (cell.At(x, y) != kWhite) colours.insert(cell.At(x, y));
  return colours.size();
}

// Mean colour of a glyph's own pixels (white when it has none).
COLORREF MeanColour(const QvPictureCharBitmap& sheet, wchar_t c) {
  const int g = sheet.GlyphWidth();
  Canvas cell(g, g);
  sheet.DrawChar(cell.dc(), RECT{0, 0, g, g}, c, FALSE, FALSE);
  long r = 0, gr = 0, b = 0, n = 0;
  for (int y = 0; y < g; ++y)
    for (int x = 0; x < g; ++x) {
      if (cell.At(x, y) == kWhite) continue;
      r += GetRValue(cell.At(x, y));
      gr += GetGValue(cell.At(x, y));
      b += GetBValue(cell.At(x, y));
      ++n;
    }
  return n ? RGB(r / n, gr / n, b / n) : kWhite;
}

TEST(PictographSheets, FontHeightsPickTheSheetsOfTheirGlyphSize) {
  struct Case {
    int fontHeight, glyph;  // 0: no sheet
  };
  const Case cases[] = {{0, 0},   {12, 0},  {13, 13}, {14, 24}, {20, 24}, {24, 24},
                        {25, 32}, {30, 32}, {32, 32}, {33, 0},  {-13, 0}, {48, 0}};
  for (const Case& c : cases) {
    for (PictureSet set : {PictureSet::kPicture, PictureSet::kWebPicture}) {
      const bool web = set == PictureSet::kWebPicture;
      QvPictureCharBitmap* sheet = web ? GetWebPictureCharBitmap(c.fontHeight) : GetPictureCharBitmap(c.fontHeight);
      SCOPED_TRACE("font height " + std::to_string(c.fontHeight) + (web ? " web" : " picture"));
      if (c.glyph == 0) {
        EXPECT_EQ(sheet, nullptr);
        continue;
      }
      ASSERT_NE(sheet, nullptr);
      EXPECT_EQ(sheet->GlyphWidth(), c.glyph);
      EXPECT_EQ(sheet->Columns(), web ? 12 : 7);
      EXPECT_EQ(sheet->Columns() * sheet->Rows(), web ? 252 : 168) << "whole rows, in table order";
      EXPECT_EQ(sheet, web ? GetWebPictureCharBitmap(c.glyph) : GetPictureCharBitmap(c.glyph)) << "one per size";
    }
  }
}

// Every character has a glyph: from the font where the carriers' table maps
// it (the web set by DoCoMo's codes, U+E001..U+E05A by SoftBank's first
// page), a generated tile where nothing does; cells past the last are empty.
TEST(PictographSheets, EveryCharacterHasItsGlyphFromTheFontOrGenerated) {
  const wchar_t unmappedWeb[] = {0xE6D1, 0xE6D2, 0xE6D4, 0xE6D5, 0xE6DF, 0xE6E1, 0xE70C, 0xE70D};
  for (int size : {13, 24, 32}) {
    for (PictureSet set : {PictureSet::kPicture, PictureSet::kWebPicture}) {
      QvPictureCharBitmap sheet(set);
      ASSERT_TRUE(sheet.Load(size));
      for (int i = 0; i < sheet.CharCount(); ++i) {
        const wchar_t c = sheet.CharTable()[i];
        const bool generated = set == PictureSet::kWebPicture
                                   ? std::count(std::begin(unmappedWeb), std::end(unmappedWeb), c) > 0
                                   : c < 0xE001 || c > 0xE05A;
        const size_t colours = Colours(sheet, i);
        EXPECT_EQ(colours == 2, generated) << std::hex << int(c) << " at " << std::dec << size << ": " << colours;
        EXPECT_NE(MeanColour(sheet, c), kWhite) << std::hex << int(c) << " has no glyph";
      }
      // The library's own bitmap (the holder keeps its copy selected).
      const bool web = set == PictureSet::kWebPicture;
      const int id = size == 13 ? (web ? 21020 : 21016) : size == 24 ? (web ? 21021 : 21012) : (web ? 21022 : 21013);
      HBITMAP bitmap = LoadBitmapW(PictureCharLibrary(set), MAKEINTRESOURCEW(id));
      ASSERT_NE(bitmap, nullptr) << id;
      HDC sheetDc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(sheetDc, bitmap);
      for (int i = sheet.CharCount(); i < sheet.Columns() * sheet.Rows(); ++i)
        for (int y = 0; y < size; ++y)
          for (int x = 0; x < size; ++x)
            ASSERT_EQ(GetPixel(sheetDc, i % sheet.Columns() * size + x, i / sheet.Columns() * size + y), kWhite)
                << "cell " << i << " is empty";
      SelectObject(sheetDc, old);
      DeleteDC(sheetDc);
      DeleteObject(bitmap);
    }
  }
}

// The glyphs stand in the table's order: known pictures at their places.
TEST(PictographSheets, GlyphsStandInTheTablesOrder) {
  struct Case {
    PictureSet set;
    wchar_t c;
    bool (*looks)(COLORREF);
    const char* what;
  };
  auto sunny = [](COLORREF m) { return GetRValue(m) > 200 && GetGValue(m) > 150 && GetBValue(m) < 150; };
  auto red = [](COLORREF m) { return GetRValue(m) > 200 && GetGValue(m) < 170 && GetBValue(m) < 170; };
  const Case cases[] = {
      {PictureSet::kWebPicture, 0xE63E, sunny, "sun"},   {PictureSet::kWebPicture, 0xE6EC, red, "heart"},
      {PictureSet::kPicture, 0xE04A, sunny, "sun"},      {PictureSet::kPicture, 0xE022, red, "heart"},
      {PictureSet::kWebPicture, 0xE6F0, sunny, "smile"},
  };
  for (const Case& c : cases) {
    QvPictureCharBitmap sheet(c.set);
    ASSERT_TRUE(sheet.Load(32));
    const COLORREF mean = MeanColour(sheet, c.c);
    EXPECT_TRUE(c.looks(mean)) << c.what << " " << std::hex << int(c.c) << " mean " << mean;
  }
}

TEST(PictographSheets, DrawCharCopiesTheGlyphAndFramesItInXor) {
  QvPictureCharBitmap sheet(PictureSet::kWebPicture);
  ASSERT_TRUE(sheet.Load(24));
  const RECT rect{3, 5, 3 + 24, 5 + 24};
  Canvas plain(40, 40);
  ASSERT_TRUE(sheet.DrawChar(plain.dc(), rect, 0xE63E, FALSE, TRUE));
  struct Case {
    BOOL highlighted;
    int colour;
  };
  for (const Case& c : {Case{TRUE, COLOR_HIGHLIGHT}, Case{FALSE, COLOR_BTNFACE}}) {
    Canvas framed(40, 40);
    ASSERT_TRUE(sheet.DrawChar(framed.dc(), rect, 0xE63E, TRUE, c.highlighted));
    const COLORREF pen = ~GetSysColor(c.colour) & 0xFFFFFF;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        const bool border = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom &&
                            (x == rect.left || x == rect.right - 1 || y == rect.top || y == rect.bottom - 1);
        ASSERT_EQ(framed.At(x, y), border ? plain.At(x, y) ^ pen : plain.At(x, y)) << x << "," << y;
      }
  }
  Canvas untouched(40, 40);
  EXPECT_FALSE(sheet.DrawChar(untouched.dc(), rect, L'A', TRUE, TRUE));
  EXPECT_FALSE(sheet.DrawChar(untouched.dc(), rect, 0xE001, TRUE, TRUE)) << "a character of the other set";
  EXPECT_TRUE(untouched.SameArea(Canvas(40, 40), RECT{0, 0, 40, 40}));
}

// Text with pictographs, against the same text with U+3013 in their places.
class PictureTextTest : public ::testing::Test {
 protected:
  void TearDown() override { SetPictureCharLibraryNames(nullptr, nullptr); }
};

TEST_F(PictureTextTest, PictographsTakeTheGetaCellAndShowTheirGlyph) {
  struct Case {
    const wchar_t* text;
    const wchar_t* geta;  // the same with U+3013 for every pictograph
    int fontHeight;       // the font's cell height
    const wchar_t* missing;
    bool glyphs;
  };
  const Case cases[] = {
      {L"A\uE63EB", L"A\u3013B", 24, nullptr, true},
      {L"件名\uE001\uE6F0です", L"件名\u3013\u3013です", 32, nullptr, true},
      {L"\uE63E\uE63F", L"\u3013\u3013", 13, nullptr, true},
      {L"x\uE63Ey", L"x\u3013y", 12, nullptr, false},  // no sheet for 12 pixels
      {L"x\uE001y", L"x\u3013y", 24, L"NoSuchPictureChar.dll", false},
  };
  for (const Case& c : cases) {
    SetPictureCharLibraryNames(c.missing, nullptr);
    SCOPED_TRACE(std::to_string(c.fontHeight) + (c.missing ? " without the set" : ""));
    Canvas drawn(400, 40), reference(400, 40);
    Font f1(drawn.dc(), c.fontHeight), f2(reference.dc(), c.fontHeight);
    const int end = DrawPictureText(drawn.dc(), 2, 3, c.text, -1);
    ExtTextOutW(reference.dc(), 2, 3, 0, nullptr, c.geta, static_cast<UINT>(std::wcslen(c.geta)), nullptr);
    const SIZE extent = GetPictureTextExtent(drawn.dc(), c.text, -1);
    EXPECT_EQ(end - 2, extent.cx);
    // The text's own characters stand where they stand beside U+3013.
    int x = 2;
    bool same = true;
    for (const wchar_t* p = c.text; *p; ++p) {
      const int w = TextWidth(drawn.dc(), std::wstring(1, IsPictureChar(*p) || IsWebPictureChar(*p) ? 0x3013 : *p));
      const RECT cell{x, 0, x + w, 40};
      const bool pictograph = IsPictureChar(*p) || IsWebPictureChar(*p);
      if (!pictograph || !c.glyphs) {
        EXPECT_TRUE(drawn.SameArea(reference, cell)) << "character " << (p - c.text);
      } else {
        same = same && drawn.SameArea(reference, cell);
        // The glyph itself, from the sheet picked for the font height.
        QvPictureCharBitmap* sheet = GetPictureCharBitmapFor(*p, c.fontHeight);
        ASSERT_NE(sheet, nullptr);
        EXPECT_NE(drawn.At(x + w / 2, 3 + c.fontHeight / 2), kWhite);
      }
      x += w;
    }
    EXPECT_EQ(x - 2, extent.cx) << "as wide as with U+3013";
    if (c.glyphs) {
      EXPECT_FALSE(same) << "the glyphs were drawn, not U+3013";
    }
  }
}

TEST_F(PictureTextTest, AGlyphLiesOverTheBackgroundOrFillsItsCellWhenOpaque) {
  const COLORREF blue = RGB(0, 0, 160), green = RGB(0, 140, 0);
  struct Case {
    int mode;
    COLORREF canvas, expectedCorner;
  };
  for (const Case& c : {Case{OPAQUE, kWhite, blue}, Case{TRANSPARENT, green, green}}) {
    Canvas canvas(60, 40, c.canvas);
    Font font(canvas.dc(), 24);
    SetBkMode(canvas.dc(), c.mode);
    SetBkColor(canvas.dc(), blue);
    DrawPictureText(canvas.dc(), 0, 0, L"\uE63E", 1);
    EXPECT_EQ(canvas.At(0, 0), c.expectedCorner) << "the sheet's white is left out";
    EXPECT_NE(canvas.At(12, 12), c.expectedCorner) << "the sun is drawn";
  }
}

TEST_F(PictureTextTest, ABoxCutsTheTextWithAnEllipsisUntilItFits) {
  Canvas canvas(300, 40);
  Font font(canvas.dc(), 24);
  const int cell = TextWidth(canvas.dc(), L"\u3013"), dots = TextWidth(canvas.dc(), L"...");
  const wchar_t* text = L"\uE63E\uE63F\uE640\uE641";
  // Cut: the most whole pictographs that leave room for "..." after them.
  auto cut = [&](int room) { return std::max(0, room - dots) / cell * cell + dots; };
  struct Case {
    int room;
    UINT flags;
    int width;  // drawn
  };
  const Case cases[] = {
      {4 * cell, PT_END_ELLIPSIS, 4 * cell},                    // fits exactly
      {4 * cell - 1, PT_END_ELLIPSIS, cut(4 * cell - 1)},       // one pixel short
      {2 * cell + dots, PT_END_ELLIPSIS, 2 * cell + dots},      // two and "..."
      {2 * cell + dots - 1, PT_END_ELLIPSIS, cell + dots},      // one and "..."
      {dots - 1, PT_END_ELLIPSIS, dots},                        // "..." alone
      {2 * cell, PT_LEFT, 4 * cell},                            // cut only by the box
  };
  for (const Case& c : cases)
    EXPECT_EQ(DrawPictureTextInBox(canvas.dc(), RECT{0, 0, c.room, 30}, text, -1, c.flags), c.width) << c.room;
  // Nothing is drawn outside the box but with PT_NOCLIP.
  for (UINT noclip : {0u, PT_NOCLIP}) {
    Canvas box(300, 40);
    Font f(box.dc(), 24);
    DrawPictureTextInBox(box.dc(), RECT{0, 0, cell + cell / 2, 30}, text, -1, PT_LEFT | noclip);
    bool outside = false;
    for (int y = 0; y < 40; ++y)
      for (int x = cell + cell / 2; x < 300; ++x) outside = outside || box.At(x, y) != kWhite;
    EXPECT_EQ(outside, noclip != 0);
  }
  int widths[4] = {};
  EXPECT_EQ(FitPictureText(canvas.dc(), text, 4, 2 * cell + 1, widths), 2);
  EXPECT_EQ(widths[3], 4 * cell);
}

// A look at text with pictographs at the three sizes, plain and highlighted.
TEST_F(PictureTextTest, SampleLinesLookRight) {
  Canvas canvas(480, 240);
  const wchar_t* line = L"お知らせ\uE63E\uE63F晴れ\uE6F0 件名\uE022\uE04A ok\uE6E2\uE6D1\uE0CC";
  int y = 4;
  for (int height : {13, 24, 25, 32}) {
    Font font(canvas.dc(), height, height == 25 ? 700 : 400);  // 25 bold: an unread row of the mail list
    const int width = DrawPictureText(canvas.dc(), 4, y, line, -1) - 4;
    EXPECT_EQ(width, GetPictureTextExtent(canvas.dc(), line, -1).cx);
    y += height + 6;
  }
  Font font(canvas.dc(), 24);
  const RECT row{0, y, 480, y + 36};
  HBRUSH highlight = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
  FillRect(canvas.dc(), &row, highlight);
  DeleteObject(highlight);
  SetTextColor(canvas.dc(), GetSysColor(COLOR_HIGHLIGHTTEXT));
  DrawPictureTextInBox(canvas.dc(), RECT{44, y, 300, y + 36},
                       L"長い件名\uE6F0はここで切れて…続きがあります\uE63E\uE63E", -1, PT_VCENTER | PT_END_ELLIPSIS);
  EXPECT_EQ(canvas.At(301, y + 18), GetSysColor(COLOR_HIGHLIGHT)) << "nothing past the box";
  canvas.SavePng("pictographs-text");
}

}  // namespace
