// Fonts and one-line text: faces, heights, weights, extents, backgrounds,
// clipping, alignment and underline. Geometry only: glyph shapes follow
// FreeType's version.
#include <cwchar>
#include <string>

#include "platform/gdi/Font.h"
#include "tests/platform/gdi/GdiTestSupport.h"

namespace qv::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);  // never a blend of black text on white

TEXTMETRICW MetricsOf(HDC dc) {
  TEXTMETRICW tm{};
  EXPECT_TRUE(GetTextMetricsW(dc, &tm));
  return tm;
}

SIZE ExtentOf(HDC dc, const std::wstring& text) {
  SIZE size{};
  EXPECT_TRUE(GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size));
  return size;
}

TEST(GdiFont, DeviceFacesAreDrawnWithTheIpaFonts) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {kPGothic, L"IPAPGothic"},   {kGothic, L"IPAGothic"}, {L"MS PGothic", L"IPAPGothic"},
      {L"", L"IPAPGothic"},
  };
  Canvas c(4, 4);
  for (const auto& [face, family] : cases) {
    Font font(face, -24);
    ASSERT_NE(font.get(), nullptr);
    Selected selected(c.dc(), font.get());
    wchar_t name[LF_FACESIZE] = {};
    EXPECT_GT(GetTextFaceW(c.dc(), LF_FACESIZE, name), 0);
    EXPECT_STREQ(name, family) << "for " << face;
  }
  // The DC's first font is the same proportional gothic.
  wchar_t name[LF_FACESIZE] = {};
  GetTextFaceW(c.dc(), LF_FACESIZE, name);
  EXPECT_STREQ(name, L"IPAPGothic");
}

TEST(GdiFont, HeightsInPixelsAndPoints) {
  Canvas c(4, 4);
  for (LONG em : {13, 16, 24, 27, 32}) {
    Font font(kGothic, -em);
    Selected selected(c.dc(), font.get());
    TEXTMETRICW tm = MetricsOf(c.dc());
    // A negative height is the em; the fixed-pitch gothic's full-width characters are one em wide.
    EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, em);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_EQ(ExtentOf(c.dc(), L"あ").cx, em) << em;
    EXPECT_EQ(ExtentOf(c.dc(), L"ア漢").cx, 2 * em) << em;
    EXPECT_EQ(ExtentOf(c.dc(), L"a").cy, tm.tmHeight);
  }
  for (LONG cell : {20, 31, 40}) {
    Font font(kPGothic, cell);  // a positive height is the whole cell
    Selected selected(c.dc(), font.get());
    EXPECT_EQ(MetricsOf(c.dc()).tmHeight, cell);
  }
  // Points through the device's 192 pixels an inch: 9 points is a 24-pixel em.
  EXPECT_EQ(GetDeviceCaps(c.dc(), LOGPIXELSY), 192);
  Font nine(kGothic, -(9 * GetDeviceCaps(c.dc(), LOGPIXELSY) / 72));
  Selected selected(c.dc(), nine.get());
  EXPECT_EQ(ExtentOf(c.dc(), L"あ").cx, 24);
}

TEST(GdiFont, FontsNoLongerHeldAreFreedLeastRecentlyUsedFirst) {
  // A list that zooms through 300 sizes must not keep 300 faces with their
  // glyphs; a font still selected keeps drawing, and a recent one is reused.
  Canvas c(200, 40);
  Font held(kPGothic, -20);
  Selected selected(c.dc(), held.get());
  const SIZE before = ExtentOf(c.dc(), L"受信箱");
  for (int size = 8; size < 308; ++size) {
    Font passing(kGothic, -size);
    Selected in(c.dc(), passing.get());
    EXPECT_GT(ExtentOf(c.dc(), L"あ").cx, 0) << size;
  }
  EXPECT_LE(qv::gdi::CachedFontInstances(), 40u);
  EXPECT_EQ(ExtentOf(c.dc(), L"受信箱").cx, before.cx) << "the held font was freed under its owner";
  const size_t cached = qv::gdi::CachedFontInstances();
  { Font again(kGothic, -307); }
  EXPECT_EQ(qv::gdi::CachedFontInstances(), cached) << "the last size used was still there to reuse";
}

TEST(GdiFont, BoldIsWiderThanRegular) {
  Canvas c(4, 4);
  const std::wstring text = L"メール受信 Mail 123";
  for (LONG em : {13, 16, 24, 27, 32}) {
    Font regular(kPGothic, -em), bold(kPGothic, -em, FW_BOLD);
    LONG widths[2];
    LONG weights[2];
    for (int i = 0; i < 2; ++i) {
      Selected selected(c.dc(), i ? bold.get() : regular.get());
      widths[i] = ExtentOf(c.dc(), text).cx;
      weights[i] = MetricsOf(c.dc()).tmWeight;
    }
    EXPECT_GT(widths[1], widths[0]) << em;
    EXPECT_EQ(weights[0], FW_NORMAL);
    EXPECT_EQ(weights[1], FW_BOLD);
  }
}

TEST(GdiFont, ExtentsAddUp) {
  Canvas c(4, 4);
  Font font(kPGothic, -27, FW_BOLD);
  Selected selected(c.dc(), font.get());
  const std::wstring text = L"受信トレイ (12) Inbox、「未読」";
  const int n = static_cast<int>(text.size());
  std::vector<int> extents(text.size());
  int fit = -1;
  SIZE size{};
  ASSERT_TRUE(GetTextExtentExPointW(c.dc(), text.c_str(), n, 0, &fit, extents.data(), &size));
  EXPECT_EQ(fit, 0);
  int sum = 0;
  for (int i = 0; i < n; ++i) {
    int width = 0;
    ASSERT_TRUE(GetCharWidth32W(c.dc(), text[i], text[i], &width));
    sum += width;
    EXPECT_EQ(extents[i], sum) << i;
    EXPECT_EQ(ExtentOf(c.dc(), text.substr(0, i + 1)).cx, sum) << i;
  }
  EXPECT_EQ(size.cx, sum);
  ASSERT_TRUE(GetTextExtentExPointW(c.dc(), text.c_str(), n, extents[4], &fit, nullptr, nullptr));
  EXPECT_EQ(fit, 5);
  ASSERT_TRUE(GetTextExtentExPointW(c.dc(), text.c_str(), n, extents[4] - 1, &fit, nullptr, nullptr));
  EXPECT_EQ(fit, 4);
}

TEST(GdiText, OpaqueFillsTheCellAndTransparentDoesNot) {
  Canvas c(300, 60);
  Font font(kPGothic, -24);
  Selected selected(c.dc(), font.get());
  const std::wstring text = L"新着メール 3件";
  SIZE size = ExtentOf(c.dc(), text);
  SetTextColor(c.dc(), kBlack);
  SetBkColor(c.dc(), kGreen);
  SetBkMode(c.dc(), OPAQUE);
  ASSERT_TRUE(TextOutW(c.dc(), 10, 12, text.c_str(), static_cast<int>(text.size())));
  EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(RECT{10, 12, 10 + size.cx, 12 + size.cy}));
  EXPECT_EQ(c.At(10, 12), kGreen);
  c.Clear(kWhite);
  SetBkMode(c.dc(), TRANSPARENT);
  ASSERT_TRUE(TextOutW(c.dc(), 10, 12, text.c_str(), static_cast<int>(text.size())));
  RECT ink = c.Ink(kWhite);
  EXPECT_GE(ink.left, 10);
  EXPECT_GE(ink.top, 12);
  EXPECT_LE(ink.right, 10 + size.cx);
  EXPECT_LE(ink.bottom, 12 + size.cy);
  EXPECT_FALSE(IsRectEmpty(&ink));
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) ASSERT_NE(c.At(x, y), kGreen);
}

TEST(GdiText, ExtTextOutOptionsAndAlignment) {
  Canvas c(300, 80);
  Font font(kPGothic, -24);
  Selected selected(c.dc(), font.get());
  const TEXTMETRICW tm = MetricsOf(c.dc());
  const std::wstring text = L"件名：テスト";
  const int n = static_cast<int>(text.size());
  const SIZE size = ExtentOf(c.dc(), text);
  // Text and background of one colour: the ink is exactly the text's cell.
  SetTextColor(c.dc(), kBlack);
  SetBkColor(c.dc(), kBlack);
  struct Case {
    UINT align;
    RECT cell;
  } cases[] = {
      {TA_LEFT | TA_TOP, {150, 40, 150 + size.cx, 40 + tm.tmHeight}},
      {TA_RIGHT | TA_TOP, {150 - size.cx, 40, 150, 40 + tm.tmHeight}},
      {TA_CENTER | TA_BASELINE, {150 - size.cx / 2, 40 - tm.tmAscent, 150 - size.cx / 2 + size.cx, 40 + tm.tmDescent}},
      {TA_LEFT | TA_BOTTOM, {150, 40 - tm.tmHeight, 150 + size.cx, 40}},
  };
  for (const Case& k : cases) {
    c.Clear(kWhite);
    SetTextAlign(c.dc(), k.align);
    ExtTextOutW(c.dc(), 150, 40, 0, nullptr, text.c_str(), static_cast<UINT>(n), nullptr);
    EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(k.cell)) << k.align;
  }
  SetTextAlign(c.dc(), TA_LEFT | TA_TOP);
  // ETO_OPAQUE fills the rectangle, ETO_CLIPPED keeps everything inside it.
  SetBkColor(c.dc(), kGreen);
  SetBkMode(c.dc(), TRANSPARENT);
  c.Clear(kWhite);
  RECT box{5, 5, 60, 50};
  ExtTextOutW(c.dc(), 0, 10, ETO_OPAQUE | ETO_CLIPPED, &box, text.c_str(), static_cast<UINT>(n), nullptr);
  EXPECT_EQ(RectText(c.Ink(kWhite)), RectText(box));
  EXPECT_EQ(c.At(5, 5), kGreen);
  EXPECT_EQ(c.At(59, 49), kGreen);
  // Given advances place each character.
  c.Clear(kWhite);
  const int advances[] = {40, 40, 40};
  ExtTextOutW(c.dc(), 10, 10, 0, nullptr, L"III", 3, advances);
  RECT three = c.Ink(kWhite);
  c.Clear(kWhite);
  TextOutW(c.dc(), 10, 10, L"I", 1);
  RECT one = c.Ink(kWhite);
  EXPECT_EQ(RectText(three), RectText(RECT{one.left, one.top, one.right + 80, one.bottom}));
}

TEST(GdiText, UnderlineRunsUnderTheWholeExtent) {
  Canvas c(200, 60);
  Font font(kPGothic, -24, FW_NORMAL, true);
  Selected selected(c.dc(), font.get());
  const TEXTMETRICW tm = MetricsOf(c.dc());
  EXPECT_EQ(tm.tmUnderlined, 1);
  SetBkMode(c.dc(), TRANSPARENT);
  TextOutW(c.dc(), 7, 9, L"    ", 4);  // blanks: only the underline shows
  RECT ink = c.Ink(kWhite);
  EXPECT_EQ(ink.left, 7);
  EXPECT_EQ(ink.right, 7 + ExtentOf(c.dc(), L"    ").cx);
  EXPECT_GT(ink.top, 9 + tm.tmAscent - 1);
  EXPECT_LE(ink.bottom, 9 + tm.tmHeight);
}

}  // namespace
}  // namespace qv::test
