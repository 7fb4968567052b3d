#include "platform/base/WinFormat.h"

#include <gtest/gtest.h>

namespace {

TEST(WinFormat, WideFormatTakesWideStrings) {
  EXPECT_EQ(qv::FormatW(L"[%s]", L"\u30E1\u30FC\u30EB"), L"[\u30E1\u30FC\u30EB]");
  EXPECT_EQ(qv::FormatW(L"[%S]", "narrow"), L"[narrow]");
  EXPECT_EQ(qv::FormatW(L"[%hs|%ls|%ws]", "n", L"w", L"x"), L"[n|w|x]");
  EXPECT_EQ(qv::FormatW(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
}

TEST(WinFormat, NarrowFormatTakesNarrowStrings) {
  EXPECT_EQ(qv::FormatA("[%s]", "abc"), "[abc]");
  EXPECT_EQ(qv::FormatA("[%S]", L"wide"), "[wide]");
  EXPECT_EQ(qv::FormatA("%c%C", 'a', L'b'), "ab");
}

TEST(WinFormat, Integers) {
  EXPECT_EQ(qv::FormatW(L"%02X", 0x0A), L"0A");
  EXPECT_EQ(qv::FormatW(L"%04X\t%X", 0xBEE, 0xFFFFFFFFu), L"0BEE\tFFFFFFFF");
  EXPECT_EQ(qv::FormatW(L"%d %u %i", -42, 4000000000u, 7), L"-42 4000000000 7");
  EXPECT_EQ(qv::FormatW(L"%ld", static_cast<LONG>(-2147483647 - 1)), L"-2147483648");
  EXPECT_EQ(qv::FormatW(L"%I64d|%I64u", -(1LL << 40), 18446744073709551615ULL),
            L"-1099511627776|18446744073709551615");
  EXPECT_EQ(qv::FormatW(L"%lld", 9000000000LL), L"9000000000");
  EXPECT_EQ(qv::FormatW(L"%5d|%-5d|%05d|%+d", 42, 42, -42, 3), L"   42|42   |-0042|+3");
  EXPECT_EQ(qv::FormatW(L"%x %#x %o", 255, 255, 8), L"ff 0xff 10");
  EXPECT_EQ(qv::FormatW(L"%*d|%.3d", 4, 7, 7), L"   7|007");
  EXPECT_EQ(qv::FormatW(L"%hd", 70000), L"4464");  // truncated to 16 bits
}

TEST(WinFormat, CharactersPercentAndWidths) {
  EXPECT_EQ(qv::FormatW(L"%c%c", L'\u3042', L'z'), L"\u3042z");
  EXPECT_EQ(qv::FormatW(L"100%%"), L"100%");
  EXPECT_EQ(qv::FormatW(L"[%5s][%-5s][%.2s]", L"ab", L"ab", L"abcdef"), L"[   ab][ab   ][ab]");
  EXPECT_EQ(qv::FormatW(L"%.1f", 2.25), L"2.2");
  EXPECT_EQ(qv::FormatW(L"trailing %"), L"trailing %");
  EXPECT_EQ(qv::FormatW(L"%y"), L"%y");
}

TEST(WinFormat, PointerIsUpperHexFullWidth) {
  const std::wstring p = qv::FormatW(L"%p", reinterpret_cast<void*>(0xABCu));
  EXPECT_EQ(p.size(), sizeof(void*) * 2);
  EXPECT_EQ(p.substr(p.size() - 3), L"ABC");
}

}  // namespace
