// Pictograph tokens both ways, and the table itself.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/public/content/CharsetText.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/Pictograph.h"

using namespace content;

namespace {

std::string Tokens(const std::string& sjis) {
  int pairs = 0;
  long size = PictographTokenLength(sjis, &pairs);
  if (size == 0) return sjis;
  std::string out;
  PictographsToTokens(sjis, out, pairs);
  EXPECT_LE(out.size(), static_cast<size_t>(size));
  return out;
}
std::string Received(std::string text) {
  TokensToPictographs(text);
  return text;
}

}  // namespace

TEST(Tokens, TableIsCompleteAndOrdered) {
  size_t count = 0;
  const PictographToken* t = PictographTokens(&count);
  ASSERT_EQ(count, 163u);
  EXPECT_EQ(t[0].code, 0xF040);
  EXPECT_STREQ(t[0].text, "<#HEART>");
  EXPECT_EQ(t[count - 1].code, 0xF150);
  int longest = 0;
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(t[i].length, static_cast<int>(std::strlen(t[i].text)));
    EXPECT_TRUE(IsTokenPictograph(static_cast<uint8_t>(t[i].code >> 8), static_cast<uint8_t>(t[i].code)));
    if (i) {
      EXPECT_LT(t[i - 1].code, t[i].code);
    }
    longest = std::max(longest, t[i].length);
  }
  EXPECT_EQ(longest, 12);
}

TEST(Tokens, OutgoingTextDoublesLtOnlyWithPictographs) {
  EXPECT_EQ(Tokens("a<b\xF0\x40"), "a<<b<#HEART>");
  int pairs = -1;
  EXPECT_EQ(PictographTokenLength("a<b", &pairs), 0);
  EXPECT_EQ(pairs, 0);
  EXPECT_EQ(Tokens("\xF0\xD8<"), "\xF0\xD8<<");    // a token pictograph without a name stays raw
  EXPECT_EQ(Tokens("\xF8\xA0<"), "\xF8\xA0<");     // pass-through codes are not tokens
  EXPECT_EQ(Tokens("\xFA\x40\xF0\x40"), "\xFA\x40<#HEART>");  // extension kanji are text
  EXPECT_FALSE(IsTokenPictograph(0xFA, 0x40));
  EXPECT_FALSE(IsTokenPictograph(0xF2, 0x40));
  EXPECT_TRUE(IsTokenPictograph(0xF4, 0x40));
  EXPECT_FALSE(IsTokenPictograph(0xF9, 0x40));
}

TEST(Tokens, ReceivedTokensBecomePictographs) {
  EXPECT_EQ(Received("x<#HEART>y"), "x\xF0\x40y");
  EXPECT_EQ(Received("<#heart>"), "<#heart>");
  EXPECT_EQ(Received("<a>b"), "<a>b");
  EXPECT_EQ(Received("a<<b"), "a<b");
  EXPECT_EQ(Received("<<<<"), "<<");
  EXPECT_EQ(Received("<<#HEART>"), "<#HEART>");  // a doubled "<" before a literal token text
  EXPECT_EQ(Received("<<<#HEART>"), "<\xF0\x40");
  EXPECT_EQ(Received("<#HEA\nRT>"), "\xF0\x40");  // folded inside the token
  EXPECT_EQ(Received("<#AM/PM><#!!>"), "\xF0\xE9\xF0\x9F");
  EXPECT_EQ(Received("<#" + std::string(30, 'A') + ">"), "<#" + std::string(30, 'A') + ">");
  EXPECT_EQ(Received("\x82\xA0<#HEART"), "\x82\xA0<#HEART");
}

TEST(Tokens, RoundTripThroughIsoJis) {
  const std::wstring texts[] = {L"<", L"a<<b", L"<#HEART>", L"本文\xE000<x>", L"\xE000\xE000<<#CLOCK>"};
  for (const auto& wide : texts) {
    std::string sjis;
    ASSERT_TRUE(WStringToSjis(wide, sjis));
    std::string jis;
    int made = WStringToJisWithTokens(wide, jis);
    EXPECT_EQ(made, wide.find(L'\xE000') == std::wstring::npos ? 0 : 1);
    JisToSjis(jis);
    EXPECT_EQ(made ? Received(jis) : jis, sjis);
  }
}
