// DrawText: line breaks, measuring, alignment, ellipsis and prefixes. With
// the text and its background of one colour in OPAQUE mode every line paints
// exactly its cell, so the lines can be read back from the pixels.
#include <string>
#include <vector>

#include "tests/platform/gdi/GdiTestSupport.h"

namespace qv::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kGray = RGB(128, 128, 128);

class DrawTextTest : public testing::Test {
 protected:
  DrawTextTest() : canvas_(480, 400), font_(kGothic, -24), selected_(canvas_.dc(), font_.get()) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc(), &tm);
    lineHeight_ = tm.tmHeight;
  }
  HDC dc() const { return canvas_.dc(); }

  int Width(const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
  }

  // Draws solid cells and reads back each line's width.
  std::vector<int> DrawnLines(const std::wstring& text, RECT rect, UINT format) {
    canvas_.Clear(kWhite);
    SetBkMode(dc(), OPAQUE);
    SetBkColor(dc(), kBlack);
    SetTextColor(dc(), kBlack);
    DrawTextW(dc(), text.c_str(), static_cast<int>(text.size()), &rect, format);
    std::vector<int> widths;
    for (int y = lineHeight_ / 2; y < canvas_.height(); y += lineHeight_) {
      int w = 0;
      for (int x = 0; x < canvas_.width(); ++x) w += canvas_.At(x, y) == kBlack;
      if (w == 0) break;
      widths.push_back(w);
    }
    return widths;
  }

  std::vector<int> WidthsOf(const std::vector<std::wstring>& lines) {
    std::vector<int> widths;
    for (const std::wstring& l : lines) widths.push_back(Width(l));
    return widths;
  }

  Canvas canvas_;
  Font font_;
  Selected selected_;
  int lineHeight_ = 0;
};

TEST_F(DrawTextTest, WordBreaksLatinAtBlanksAndJapaneseAnywhereButBeforeClosers) {
  struct Case {
    std::wstring text;
    std::wstring fits;  // what sets the width
    UINT format;
    std::vector<std::wstring> lines;
  } cases[] = {
      {L"abc def ghi", L"abc def", 0, {L"abc def", L"ghi"}},
      {L"abc def ghi", L"abc de", 0, {L"abc", L"def", L"ghi"}},
      {L"ab   cd", L"ab ", 0, {L"ab", L"cd"}},
      {L"あいうえおかき", L"あいう", 0, {L"あいう", L"えおか", L"き"}},
      {L"「あいう」です", L"「あいう", 0, {L"「あい", L"う」です"}},
      {L"あいうっとり", L"あいう", 0, {L"あい", L"うっと", L"り"}},
      {L"メールが届きました。", L"メールが届きました", 0, {L"メールが届きまし", L"た。"}},
      {L"Mail受信テスト", L"Mail受信", 0, {L"Mail受信", L"テスト"}},
      {L"abcdefghij klm", L"abc", 0, {L"abcdefghij", L"klm"}},
      {L"abcdefghij klm", L"abc", DT_EDITCONTROL, {L"abc", L"def", L"ghi", L"j", L"klm"}},
      {L"ab\r\ncd\nef", L"abcdef", 0, {L"ab", L"cd", L"ef"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&k - cases));
    int width = Width(k.fits);
    RECT rect{0, 0, width, 400};
    std::vector<int> want = WidthsOf(k.lines);
    EXPECT_EQ(DrawnLines(k.text, rect, DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP | k.format), want);
    // DT_CALCRECT measures the same lines.
    RECT calc = rect;
    int height = DrawTextW(dc(), k.text.c_str(), static_cast<int>(k.text.size()), &calc,
                           DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | k.format);
    int widest = *std::max_element(want.begin(), want.end());
    EXPECT_EQ(RectText(calc), RectText(RECT{0, 0, widest, static_cast<LONG>(k.lines.size()) * lineHeight_}));
    EXPECT_EQ(height, static_cast<int>(k.lines.size()) * lineHeight_);
  }
  // Without DT_WORDBREAK only hard breaks count.
  EXPECT_EQ(DrawnLines(L"あいうえおかき", RECT{0, 0, 30, 400}, DT_NOCLIP), WidthsOf({L"あいうえおかき"}));
}

TEST_F(DrawTextTest, CalcRectEqualsWhatItDraws) {
  struct Case {
    std::wstring text;
    int width;
    UINT format;
  } cases[] = {
      {L"受信トレイ", 400, DT_SINGLELINE},
      {L"件名のない長いメールの本文がここに続きます。 Latin words mixed in too.", 200, DT_WORDBREAK},
      {L"一行目\r\n二行目は少し長い\r\n三", 400, 0},
      {L"&File and &&more", 400, DT_SINGLELINE},
      {L"とても長い件名が一行に収まらない場合", 180, DT_SINGLELINE | DT_END_ELLIPSIS},
      {L"", 100, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(&k - cases);
    RECT calc{20, 30, 20 + k.width, 30};
    int height = DrawTextW(dc(), k.text.c_str(), static_cast<int>(k.text.size()), &calc, DT_CALCRECT | k.format);
    EXPECT_EQ(height, calc.bottom - calc.top);
    canvas_.Clear(kWhite);
    SetBkMode(dc(), OPAQUE);
    SetBkColor(dc(), kBlack);
    RECT draw{20, 30, 20 + k.width, 400};
    DrawTextW(dc(), k.text.c_str(), static_cast<int>(k.text.size()), &draw, k.format);
    RECT ink = canvas_.Ink(kWhite);
    if (k.text.empty()) {
      EXPECT_TRUE(IsRectEmpty(&ink));
      EXPECT_EQ(height, 0);
      continue;
    }
    EXPECT_EQ(RectText(ink), RectText(calc));
  }
}

TEST_F(DrawTextTest, AlignsInTheRectangle) {
  const std::wstring text = L"送信済み";
  const int w = Width(text), h = lineHeight_;
  const RECT box{10, 10, 210, 110};
  struct Case {
    UINT format;
    RECT cell;
    int returned;
  } cases[] = {
      {DT_SINGLELINE, {10, 10, 10 + w, 10 + h}, h},
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, {10 + (200 - w) / 2, 10 + (100 - h) / 2, 10 + (200 - w) / 2 + w,
                                                 10 + (100 - h) / 2 + h}, (100 - h) / 2 + h},
      {DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, {210 - w, 110 - h, 210, 110}, 100},
      {DT_RIGHT, {210 - w, 10, 210, 10 + h}, h},
  };
  for (const Case& k : cases) {
    canvas_.Clear(kWhite);
    SetBkMode(dc(), OPAQUE);
    SetBkColor(dc(), kBlack);
    RECT r = box;
    EXPECT_EQ(DrawTextW(dc(), text.c_str(), -1, &r, k.format), k.returned) << k.format;
    EXPECT_EQ(RectText(canvas_.Ink(kWhite)), RectText(k.cell)) << k.format;
  }
  // TRANSPARENT leaves the background alone; the text still clips to the rectangle.
  canvas_.Clear(kWhite);
  SetBkMode(dc(), TRANSPARENT);
  SetBkColor(dc(), kGray);
  RECT narrow{10, 10, 40, 110};
  DrawTextW(dc(), text.c_str(), -1, &narrow, DT_SINGLELINE);
  RECT ink = canvas_.Ink(kWhite);
  EXPECT_LE(ink.right, 40);
  EXPECT_FALSE(IsRectEmpty(&ink));
  for (int x = 0; x < 60; ++x)
    for (int y = 0; y < 60; ++y) ASSERT_NE(canvas_.At(x, y), kGray);
}

TEST_F(DrawTextTest, EndEllipsisFitsWithThreeDots) {
  Font proportional(kPGothic, -24);
  Selected selected(dc(), proportional.get());
  const std::wstring text = L"とても長い件名のメールが届きました（添付あり）";
  const int dots = Width(L"...");
  for (int width : {400, 250, 131, 60}) {
    RECT calc{0, 0, width, 0};
    DrawTextW(dc(), text.c_str(), -1, &calc, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
    // The longest beginning that fits together with "...".
    size_t k = 0;
    while (k < text.size() && Width(text.substr(0, k + 1)) + dots <= width) ++k;
    EXPECT_EQ(calc.right, Width(text.substr(0, k)) + dots) << width;
    EXPECT_LE(calc.right, width);
    EXPECT_EQ(DrawnLines(text, RECT{0, 0, width, 100}, DT_SINGLELINE | DT_END_ELLIPSIS),
              std::vector<int>{calc.right});
  }
  // Text that fits keeps all its characters and no dots.
  RECT calc{0, 0, 480, 0};
  DrawTextW(dc(), L"短い件名", -1, &calc, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_EQ(calc.right, Width(L"短い件名"));
  // Cut short in height, the last line that fits ends in "...".
  RECT two{0, 0, 200, 2 * lineHeight_};
  std::vector<int> lines =
      DrawnLines(L"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十", two,
                 DT_WORDBREAK | DT_END_ELLIPSIS);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_LE(lines[1], 200);
  EXPECT_GT(lines[1], Width(L"一二三四五六七"));
}

TEST_F(DrawTextTest, AmpersandUnderlinesTheNextCharacterUnlessNoPrefix) {
  struct Case {
    std::wstring text;
    UINT format;
    std::wstring shown;
  } cases[] = {
      {L"&File", 0, L"File"},
      {L"&File", DT_NOPREFIX, L"&File"},
      {L"A&&B", 0, L"A&B"},
      {L"&File", DT_HIDEPREFIX, L"File"},
  };
  for (const Case& k : cases) {
    RECT calc{0, 0, 480, 0};
    DrawTextW(dc(), k.text.c_str(), -1, &calc, DT_CALCRECT | DT_SINGLELINE | k.format);
    EXPECT_EQ(calc.right, Width(k.shown));
  }
  // The marked character gains a bar below the baseline, as wide as its advance.
  SetBkMode(dc(), TRANSPARENT);
  SetTextColor(dc(), kBlack);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc(), &tm);
  auto draw = [&](const wchar_t* text, UINT format) {
    canvas_.Clear(kWhite);
    RECT r{10, 10, 400, 100};
    DrawTextW(dc(), text, -1, &r, format | DT_SINGLELINE);
    return canvas_.Pixels();
  };
  for (const wchar_t* text : {L"&File", L"Fi&le"}) {
    std::vector<DWORD> marked = draw(text, 0), plain = draw(L"File", 0);
    int x0 = 10 + (text[0] == L'&' ? 0 : Width(L"Fi")), x1 = x0 + Width(text[0] == L'&' ? L"F" : L"l");
    RECT diff{480, 400, 0, 0};
    for (int i = 0; i < static_cast<int>(marked.size()); ++i)
      if (marked[i] != plain[i]) {
        int x = i % 480, y = i / 480;
        diff = RECT{std::min<LONG>(diff.left, x), std::min<LONG>(diff.top, y), std::max<LONG>(diff.right, x + 1),
                    std::max<LONG>(diff.bottom, y + 1)};
      }
    EXPECT_EQ(diff.left, x0) << text;
    EXPECT_EQ(diff.right, x1) << text;
    EXPECT_GE(diff.top, 10 + tm.tmAscent);
    EXPECT_LE(diff.bottom, 10 + tm.tmHeight);
  }
  EXPECT_EQ(draw(L"&File", DT_HIDEPREFIX), draw(L"File", 0));
  EXPECT_NE(draw(L"&File", DT_NOPREFIX), draw(L"File", 0));
}

TEST_F(DrawTextTest, EditControlHidesAPartlyVisibleLastLine) {
  const std::wstring text = L"一行目\n二行目\n三行目";
  RECT rect{0, 0, 300, lineHeight_ * 5 / 2};
  EXPECT_EQ(DrawnLines(text, rect, DT_EDITCONTROL).size(), 2u);
  canvas_.Clear(kWhite);
  SetBkMode(dc(), OPAQUE);
  SetBkColor(dc(), kBlack);
  RECT clipped = rect;
  DrawTextW(dc(), text.c_str(), -1, &clipped, 0);
  EXPECT_EQ(canvas_.Ink(kWhite).bottom, rect.bottom);  // the third line shows, cut by the rectangle
}

}  // namespace
}  // namespace qv::test
