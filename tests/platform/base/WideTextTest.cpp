#include "platform/base/WideText.h"

#include <gtest/gtest.h>

namespace {

TEST(WideText, Utf16RoundTripsSurrogatePairs) {
  const std::wstring text = L"A\u3042\U0001F600\U00020BB7z";  // BMP, emoji, CJK ext B
  const std::u16string units = qv::WideToUtf16(text);
  ASSERT_EQ(units.size(), 7u);
  EXPECT_EQ(units[2], 0xD83D);
  EXPECT_EQ(units[3], 0xDE00);
  EXPECT_EQ(units[4], 0xD842);
  EXPECT_EQ(units[5], 0xDFB7);
  EXPECT_EQ(qv::Utf16ToWide(units), text);
  EXPECT_EQ(qv::Utf16Length(text), 7u);
}

TEST(WideText, LoneSurrogatesSurviveUtf16) {
  const std::u16string units = {0xD800, u'x', 0xDC00, 0xDBFF};
  const std::wstring wide = qv::Utf16ToWide(units);
  ASSERT_EQ(wide.size(), 4u);
  EXPECT_EQ(qv::WideToUtf16(wide), units);
}

TEST(WideText, Utf16LEBytes) {
  const std::string bytes = qv::WideToUtf16LE(L"a\u65E5\U0001F600");
  EXPECT_EQ(bytes, std::string("a\0\xE5\x65\x3D\xD8\x00\xDE", 8));
  EXPECT_EQ(qv::Utf16LEToWide(bytes), L"a\u65E5\U0001F600");
  EXPECT_EQ(qv::Utf16LEToWide(bytes + "x"), L"a\u65E5\U0001F600");  // odd byte ignored
}

TEST(WideText, TruncateNeverSplitsAPair) {
  const std::wstring text = L"ab\U0001F600c";
  EXPECT_EQ(qv::TruncateUtf16(text, 3), L"ab");
  EXPECT_EQ(qv::TruncateUtf16(text, 4), L"ab\U0001F600");
  EXPECT_EQ(qv::TruncateUtf16(text, 10), text);
  EXPECT_EQ(qv::TruncateUtf16(text, 0), L"");
}

TEST(WideText, Utf8RoundTripAndInvalidInput) {
  const std::wstring text = L"メール\U0001F600\u00E9";
  EXPECT_EQ(qv::Utf8ToWide(qv::WideToUtf8(text)), text);
  EXPECT_EQ(qv::WideToUtf8(L"\u00E9"), "\xC3\xA9");
  // Overlong, truncated, surrogate-encoding and stray continuation bytes.
  EXPECT_EQ(qv::Utf8ToWide("\xC0\xAF"), L"\uFFFD\uFFFD");
  EXPECT_EQ(qv::Utf8ToWide("a\xE3\x81"), L"a\uFFFD\uFFFD");
  EXPECT_EQ(qv::Utf8ToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(qv::Utf8ToWide("\x80z"), L"\uFFFDz");
  // A lone surrogate cannot be written as UTF-8.
  EXPECT_EQ(qv::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(WideText, CaseFolding) {
  EXPECT_TRUE(qv::EqualsNoCase(L"Application Data", L"APPLICATION data"));
  EXPECT_TRUE(qv::EqualsNoCase(L"\u00E9t\u00E9", L"\u00C9T\u00C9"));
  EXPECT_TRUE(qv::EqualsNoCase(L"\uFF41\uFF42", L"\uFF21\uFF22"));  // full-width
  EXPECT_TRUE(qv::EqualsNoCase(L"\u0434\u0430", L"\u0414\u0410"));  // Cyrillic
  EXPECT_TRUE(qv::EqualsNoCase(L"\u03C3", L"\u03A3"));              // Greek
  EXPECT_FALSE(qv::EqualsNoCase(L"abc", L"abd"));
  EXPECT_FALSE(qv::EqualsNoCase(L"abc", L"abcd"));
  EXPECT_FALSE(qv::EqualsNoCase(L"\u3042", L"\u30A2"));  // hiragana is not katakana
  EXPECT_EQ(qv::FoldCase(L"Mixed_1"), L"MIXED_1");
}

}  // namespace
