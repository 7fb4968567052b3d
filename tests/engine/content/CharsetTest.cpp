// Japanese charsets: detection, kana widening, ISO-2022-JP and EUC-JP over
// the whole code table, the extension kanji, and the wide conversions.
#include <gtest/gtest.h>

#include "engine/public/content/CharsetText.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/Pictograph.h"
#include "platform/codepage/CodePage.h"

using namespace content;

namespace {

std::string Jis(std::string_view sjis) {
  std::string out;
  SjisToJis(sjis, out);
  return out;
}
std::string Back(std::string jis) {
  JisToSjis(jis);
  return jis;
}
std::string Pair(uint16_t code) { return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)}; }
bool AllSevenBit(const std::string& s) {
  for (char c : s)
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}
// Between ESC $ B and the next escape only JIS X 0208 rows and cells may stand.
bool KanjiRunsAreJis(const std::string& jis) {
  bool kanji = false;
  for (size_t i = 0; i < jis.size(); ++i) {
    if (jis[i] == '\x1B' && i + 2 < jis.size()) {
      kanji = jis[i + 1] == '$';
      i += 2;
      continue;
    }
    auto c = static_cast<uint8_t>(jis[i]);
    if (kanji && (c < 0x21 || c > 0x7E)) return false;
  }
  return true;
}

}  // namespace

TEST(Detect, EscapeFirstIsJisAfterAPairItIsSkipped) {
  EXPECT_EQ(DetectCharset("\x1B$B\x30\x21\x1B(B abc"), kCharsetJis);
  // EUC pair first: the escape no longer decides.
  EXPECT_EQ(DetectCharset("\xA4\xA2\x1B$B"), kCharsetEuc);
  // A pass-through pictograph makes it Shift_JIS; the HTML twin ignores it.
  EXPECT_EQ(DetectCharset("\xF8\xA0\x1B$B"), kCharsetSjis);
  EXPECT_EQ(DetectCharsetHtml("\xF8\xA0\x1B$B"), kCharsetJis);
  // HTML made here: a raw user-defined pair before the first escape.
  std::string html = Jis("<p>\xF0\x40\x88\x9F</p>");
  EXPECT_EQ(DetectCharsetHtml(html), kCharsetJis);
  EXPECT_EQ(DetectCharsetHtml("\xF4\x40\x82\xA0"), kCharsetSjis);
  EXPECT_EQ(DetectCharset("plain text ~"), kCharsetAscii);
  EXPECT_EQ(DetectCharset(""), kCharsetAscii);
  EXPECT_EQ(DetectCharset("\x82\xA0"), kCharsetSjis);
  EXPECT_EQ(DetectCharset("\xA4\xA2\xA4\xA4"), kCharsetEuc);
  EXPECT_EQ(DetectCharset("\xB1\xB2"), kCharsetEuc);  // could be either; pairs of A1-FE read as EUC
  EXPECT_EQ(DetectCharset("a\xB1"), kCharsetSjis);     // a lone kana at the end
  EXPECT_EQ(DetectCharset("abc\x82"), kCharsetAscii);  // a final lead reads nothing past the end
}

TEST(Kana, TableMatchesTheCodePage) {
  const std::wstring full = L"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
  ASSERT_EQ(full.size(), 63u);
  for (int b = 0xA1; b <= 0xDF; ++b) {
    uint8_t in[1] = {static_cast<uint8_t>(b)};
    uint16_t pair = 0;
    ASSERT_EQ(HalfKanaToFull(in, 1, &pair), 1);
    wchar_t wc = 0;
    ASSERT_TRUE(qv::Cp932DecodeChar(pair, &wc));
    EXPECT_EQ(wc, full[b - 0xA1]) << std::hex << b;
  }
}

TEST(Kana, SoundMarksCombineOnlyWhereTheyCan) {
  auto widen = [](std::string s) {
    uint16_t pair = 0;
    int used = HalfKanaToFull(reinterpret_cast<const uint8_t*>(s.data()), s.size(), &pair);
    wchar_t wc = 0;
    qv::Cp932DecodeChar(pair, &wc);
    return std::make_pair(used, wc);
  };
  EXPECT_EQ(widen("\xB6\xDE"), std::make_pair(2, L'ガ'));
  EXPECT_EQ(widen("\xB3\xDE"), std::make_pair(2, L'ヴ'));
  EXPECT_EQ(widen("\xCA\xDF"), std::make_pair(2, L'パ'));
  EXPECT_EQ(widen("\xCE\xDE"), std::make_pair(2, L'ボ'));
  EXPECT_EQ(widen("\xB1\xDE"), std::make_pair(1, L'ア'));  // ｱ takes no mark
  EXPECT_EQ(widen("\xB6\xDF"), std::make_pair(1, L'カ'));  // ｶ takes no semi-voiced mark
  EXPECT_EQ(widen("A"), std::make_pair(0, L'\0'));

  EXPECT_EQ(Jis("\xB6\xDE"), "\x1B$B\x25\x2C\x1B(B");                 // ガ, one pair
  EXPECT_EQ(Jis("\xB1\xDE"), "\x1B$B\x25\x22\x21\x2B\x1B(B");         // ア ゛
  EXPECT_EQ(Jis("\xCA\xDF"), "\x1B$B\x25\x51\x1B(B");                 // パ
  EXPECT_EQ(WidenedKanaLength("\xB6\xDE"), 2u);
  EXPECT_EQ(WidenedKanaLength("\xB1\xDE"), 4u);
  EXPECT_EQ(WidenedKanaLength("a\xDE" "b"), 4u);  // a mark that combines with nothing is widened too
  EXPECT_EQ(WidenedKanaLength("\x82\xA0x"), 3u);
}

TEST(Jis, KanaBetweenAsciiOutgrowsTheOldSizeFormula) {
  std::string sjis;
  for (int i = 0; i < 200; ++i) sjis += "a\xB1";
  std::string jis = Jis(sjis);
  EXPECT_GT(jis.size(), 3 * sjis.size() + 5);
  std::string expect;
  for (int i = 0; i < 200; ++i) expect += "a\x83\x41";
  EXPECT_EQ(Back(jis), expect);
}

TEST(Jis, PassThroughPictographLeavesKanjiMode) {
  std::string sjis = "\x88\x9F\xF8\xA0\x88\x9F";  // 亜, pictograph, 亜
  std::string jis = Jis(sjis);
  EXPECT_EQ(jis, "\x1B$B\x30\x21\x1B(B\xF8\xA0\x1B$B\x30\x21\x1B(B");
  EXPECT_EQ(Back(jis), sjis);
  EXPECT_EQ(Jis("a\x88\x9F"), "a\x1B$B\x30\x21\x1B(B");  // ends in kanji mode: closed
}

TEST(Jis, EveryConvertiblePairSurvivesBothCharsets) {
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead == 0xA0) lead = 0xE0;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
      wchar_t wc;
      if (!qv::Cp932DecodeChar(code, &wc)) continue;
      ++checked;
      bool pass = IsPassThroughPictograph(code);
      uint16_t expect = pass ? code : NormalizeExtensionPair(code);
      std::string sjis = "x" + Pair(code) + "y";
      std::string jis = Jis(sjis);
      ASSERT_EQ(Back(jis), "x" + Pair(expect) + "y") << std::hex << code;
      ASSERT_TRUE(KanjiRunsAreJis(jis)) << std::hex << code;
      if (lead < 0xF0 || lead >= 0xFA) {
        ASSERT_TRUE(AllSevenBit(jis)) << std::hex << code;
      }
      std::string euc = sjis;
      SjisToEuc(euc);
      EucToSjis(euc);
      ASSERT_EQ(euc, "x" + Pair(expect) + "y") << std::hex << code;
    }
  }
  EXPECT_GT(checked, 7000);
  for (uint16_t code = 0xF89F; code <= 0xF9FC; ++code) {
    if (!IsPassThroughPictograph(code)) continue;
    std::string sjis = "\x82\xA0" + Pair(code) + "\x82\xA0";
    EXPECT_EQ(Back(Jis(sjis)), sjis);
    std::string euc = sjis;
    SjisToEuc(euc);
    EucToSjis(euc);
    EXPECT_EQ(euc, sjis);
  }
}

TEST(Jis, UserDefinedPairsTravelRawOutsideKanjiRuns) {
  // F040 untokenised (a header word) and F4 40 (a user-defined character)
  // between kanji: their rows would be 7F and 8B, no JIS X 0208 row.
  std::string sjis = "\x88\x9F\xF0\x40\x88\x9F\xF4\x40";
  std::string jis = Jis(sjis);
  EXPECT_EQ(jis, "\x1B$B\x30\x21\x1B(B\xF0\x40\x1B$B\x30\x21\x1B(B\xF4\x40");
  EXPECT_EQ(Back(jis), sjis);
  // An older peer's form, the pair's row read by the same arithmetic, still reads.
  EXPECT_EQ(Back("\x1B$B\x7F\x21\x1B(B"), "\xF0\x40");
}

TEST(Euc, UserPairsOnRawPictographBytesMoveToCodeSetThree) {
  // F19F would sit on EUC F8 A1, the raw bytes of a pass-through pictograph.
  std::string t = "\xF1\x9F" "a\xF8\xA1";
  SjisToEuc(t);
  EXPECT_EQ(t, "\x8F\xEE\xA1" "a\xF8\xA1");
  EucToSjis(t);
  EXPECT_EQ(t, "\xF1\x9F" "a\xF8\xA1");
  t = "\x8F\xEE\xA0\x8F\xEE\xFD";  // outside the moved cells: JIS X 0212's lot
  EucToSjis(t);
  EXPECT_EQ(t, "\x81\xAC\x81\xAC");
}

TEST(Jis, ExtensionKanjiBecomeTheirStandardForm) {
  EXPECT_EQ(NormalizeExtensionPair(0xFA54), 0x81CA);  // ￢
  EXPECT_EQ(NormalizeExtensionPair(0xFA5B), 0x81E6);  // ∵
  EXPECT_EQ(NormalizeExtensionPair(0xFA4A), 0x8754);  // Ⅰ
  EXPECT_EQ(NormalizeExtensionPair(0xFA58), 0x878A);  // ㈱
  EXPECT_EQ(NormalizeExtensionPair(0xED40), 0x81AC);  // 纊: none
  EXPECT_EQ(NormalizeExtensionPair(0xFA5C), 0x81AC);
  EXPECT_EQ(NormalizeExtensionPair(0x889F), 0x889F);
  for (uint16_t code : {0xFA54, 0xFA5B, 0xFA4A, 0xFA58}) {
    wchar_t a, b;
    ASSERT_TRUE(qv::Cp932DecodeChar(code, &a));
    ASSERT_TRUE(qv::Cp932DecodeChar(NormalizeExtensionPair(code), &b));
    EXPECT_EQ(a, b);
  }
}

TEST(Jis, CutAndUnknownEscapesStayText) {
  EXPECT_EQ(Back("abc\x1B"), "abc\x1B");
  EXPECT_EQ(Back("abc\x1B$"), "abc\x1B$");
  EXPECT_EQ(Back("\x1B$Zq"), "\x1B$Zq");
  EXPECT_EQ(Back("\x1B$B\x30"), "");          // a pair cut by the end
  EXPECT_EQ(Back("\x1B$B\x30\x21\x1B"), "\x88\x9F\x1B");
  EXPECT_EQ(Back("\x1B(I\x31\x0F" "1"), "\xB1" "1");  // kana mode, then SI
  EXPECT_EQ(Back("\x0E\x31\x0F\x31"), "\xB1\x31");
  EXPECT_EQ(Back("\x1B$B\xFF\xFF"), "\x81\xAC");  // no such row
}

TEST(Euc, KanaAndCodeSetThree) {
  std::string t = "\x8E\xB1" "a\x8F\xB0\xA1" "b\xA4\xA2";
  EucToSjis(t);
  EXPECT_EQ(t, "\xB1" "a\x81\xAC" "b\x82\xA0");
  t = "\xB1\x82\xA0";
  SjisToEuc(t);
  EXPECT_EQ(t, "\x8E\xB1\xA4\xA2");
  t = "a\xA4";  // final lead
  EucToSjis(t);
  EXPECT_EQ(t, "a");
  t = "a\x8F\xB0";  // cut code set 3
  EucToSjis(t);
  EXPECT_EQ(t, "a");
}

TEST(Unmappable, PairsTheCodePageLacksBecomeGeta) {
  std::string t = "\xF2\x40\xF0\x40\x85\x40\x82\xA0\xF3\xFC";
  ReplaceUnmappableSjis(t);
  EXPECT_EQ(t, "\x81\xAC\xF0\x40\x81\xAC\x82\xA0\x81\xAC");
  std::string lone("ab\x82\0z", 5);
  ReplaceUnmappableSjis(lone);
  EXPECT_EQ(lone, std::string("ab\x82\0z", 5));  // the terminator is not written over
  EXPECT_FALSE(IsUnmappableSjis(0x88, 0x9F));
  EXPECT_TRUE(IsUnmappableSjis(0x88, 0x40));  // before the first kanji of the row
}

TEST(Wide, ConvertWtoSAndBack) {
  std::string out = "keep";
  EXPECT_EQ(ConvertWtoS(L"", out), 0);
  EXPECT_EQ(out, "keep");
  EXPECT_EQ(ConvertWtoS(std::wstring(1, L'\0'), out), 0);
  EXPECT_EQ(out, "keep");
  EXPECT_EQ(ConvertWtoS(L"あa", out), 4);
  EXPECT_EQ(out, "\x82\xA0" "a");
  EXPECT_EQ(ConvertWtoS(L"\x4E02", out), 3);  // not in the code page: the geta mark
  EXPECT_EQ(out, "\x81\xAC");

  std::wstring w = L"keep";
  EXPECT_EQ(MultiByteToWString("\x82\xA0" "b", w), 3);
  EXPECT_EQ(w, L"あb");
  EXPECT_EQ(MultiByteSzToWString(nullptr, w), -1);
}

TEST(Wide, Utf8ToSjisMayGrow) {
  std::string t = "\xE3\x81\x82x";
  Utf8ToSjis(t);
  EXPECT_EQ(t, "\x82\xA0x");
  t = "\x80\x80\x80";
  Utf8ToSjis(t);
  EXPECT_EQ(t, "\x81\xAC\x81\xAC\x81\xAC");
  t = "";
  Utf8ToSjis(t);
  EXPECT_EQ(t, "");
}

TEST(Wide, CaseMappingSparesShiftJisTrails) {
  EXPECT_EQ(ToLower("AbC\x83\x41Z"), "abc\x83\x41z");  // ア keeps its trail 41
  EXPECT_EQ(ToUpper("ab\x83\x61z"), "AB\x83\x61Z");
  EXPECT_TRUE(StartsWithNoCase("Content-Type: x", "content-type:"));
  EXPECT_TRUE(StartsWithNoCase("abc", ""));
  EXPECT_FALSE(StartsWithNoCase("ab", "abc"));
  EXPECT_TRUE(StartsWithNoCase("xxMailTo:", "mailto:", 2));
  EXPECT_FALSE(StartsWithNoCase("x", "a", 5));
  EXPECT_TRUE(IsAscii(""));
  EXPECT_FALSE(IsAsciiW(L"aあ"));
  EXPECT_EQ(ToLowerW(L"ISO-2022-JP あア"), L"iso-2022-jp あア");
  EXPECT_EQ(ToUpperW(L"multipart/mixed; 日本"), L"MULTIPART/MIXED; 日本");
}
