#include "platform/codepage/CodePage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Decode(UINT cp, const std::string& bytes, DWORD flags = 0) {
  int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (n > 0) {
    EXPECT_EQ(n, MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n));
  }
  return out;
}

std::string Encode(UINT cp, const std::wstring& text, BOOL* usedDefault = nullptr, LPCSTR defaultChar = nullptr,
                   DWORD flags = 0) {
  int n = WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, defaultChar,
                              usedDefault);
  std::string out(static_cast<size_t>(n), '\0');
  if (n > 0) {
    EXPECT_EQ(n, WideCharToMultiByte(cp, flags, text.data(), static_cast<int>(text.size()), out.data(), n,
                                     defaultChar, usedDefault));
  }
  return out;
}

std::string Bytes(uint16_t code) {
  return code < 0x100 ? std::string(1, static_cast<char>(code))
                      : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// Every single byte and every lead/trail pair the table maps.
std::vector<uint16_t> MappedCodes() {
  std::vector<uint16_t> codes;
  for (uint32_t code = 0; code < 0x10000; ++code) {
    if (code >= 0x100 && !IsDBCSLeadByte(static_cast<BYTE>(code >> 8))) continue;
    if (qv::Cp932DecodeChar(static_cast<uint16_t>(code), nullptr)) codes.push_back(static_cast<uint16_t>(code));
  }
  return codes;
}

TEST(Cp932, EveryMappedCharacterRoundTrips) {
  std::vector<uint16_t> codes = MappedCodes();
  // JIS X 0208 with the NEC and IBM extensions and the user area: well over
  // 9000 pairs; a truncated table would fall far short.
  ASSERT_GT(codes.size(), 9500u);
  size_t canonical = 0;
  for (uint16_t code : codes) {
    std::string bytes = Bytes(code);
    std::wstring text = Decode(CP_SHIFTJIS, bytes, MB_ERR_INVALID_CHARS);
    ASSERT_EQ(1u, text.size()) << std::hex << code;
    BOOL usedDefault = TRUE;
    std::string back = Encode(CP_SHIFTJIS, text, &usedDefault);
    ASSERT_FALSE(usedDefault) << std::hex << code;
    // Duplicates encode to their one chosen form, which decodes alike.
    EXPECT_EQ(text, Decode(CP_SHIFTJIS, back, MB_ERR_INVALID_CHARS)) << std::hex << code;
    if (back == bytes) ++canonical;
    // The NEC-selected IBM rows are read but never written.
    EXPECT_FALSE(back.size() == 2 && (static_cast<uint8_t>(back[0]) == 0xED || static_cast<uint8_t>(back[0]) == 0xEE))
        << std::hex << code;
  }
  // Only the few hundred NEC/IBM duplicates fail to come back as they were.
  EXPECT_GT(canonical, codes.size() - 400);
}

TEST(Cp932, KnownCharacters) {
  EXPECT_EQ(L"あア漢ｱ\\~", Decode(CP_ACP, "\x82\xA0\x83\x41\x8A\xBF\xB1\x5C\x7E"));
  EXPECT_EQ("\x82\xA0\x83\x41\x8A\xBF\xB1", Encode(CP_ACP, L"あア漢ｱ"));
  // Duplicates: the JIS row before NEC row 13, NEC row 13 before the IBM
  // rows, the IBM rows before the NEC-selected copies.
  EXPECT_EQ("\x81\xE0", Encode(CP_ACP, L"\u2252"));
  EXPECT_EQ(L"\u2252", Decode(CP_ACP, "\x87\x90"));
  EXPECT_EQ("\x87\x54", Encode(CP_ACP, L"\u2160"));
  EXPECT_EQ("\xFA\x40", Encode(CP_ACP, L"\u2170"));
  EXPECT_EQ(L"\u2170", Decode(CP_ACP, "\xEE\xEF"));
  EXPECT_EQ("\xFA\x5C", Encode(CP_ACP, L"\u7E8A"));
  EXPECT_EQ("\x81\xCA", Encode(CP_ACP, L"\uFFE2"));
  // The user area maps to private use.
  EXPECT_EQ(L"\uE000", Decode(CP_ACP, "\xF0\x40"));
  EXPECT_EQ("\xF9\xFC", Encode(CP_ACP, L"\uE757"));
  // The single-byte helpers agree with the Win32 calls.
  wchar_t c = 0;
  ASSERT_TRUE(qv::Cp932DecodeChar(0x82A0, &c));
  EXPECT_EQ(L'あ', c);
  uint16_t code = 0;
  ASSERT_TRUE(qv::Cp932EncodeChar(L'ｱ', &code));
  EXPECT_EQ(0xB1, code);
  EXPECT_FALSE(qv::Cp932EncodeChar(L'\u00A9', &code));
  EXPECT_FALSE(qv::Cp932DecodeChar(0x85A0, &c));
  EXPECT_FALSE(qv::Cp932DecodeChar(0x81, &c));  // a lead byte alone
}

TEST(Cp932, DefaultCharacter) {
  BOOL usedDefault = FALSE;
  EXPECT_EQ("A\x81\xAC" "B\x81\xAC", Encode(CP_ACP, L"A\u00A9B\U0001F600", &usedDefault));
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ("AB", Encode(CP_ACP, L"AB", &usedDefault));
  EXPECT_FALSE(usedDefault);
  EXPECT_EQ("A?", Encode(CP_ACP, L"A\u00A9", &usedDefault, "?"));
  EXPECT_TRUE(usedDefault);
  EXPECT_EQ("\x81\x48", Encode(CP_ACP, L"\u00A9", nullptr, "\x81\x48"));
  // The count pass reports a used default as well.
  usedDefault = FALSE;
  EXPECT_EQ(2, WideCharToMultiByte(CP_ACP, 0, L"\u00A9", 1, nullptr, 0, nullptr, &usedDefault));
  EXPECT_TRUE(usedDefault);

  bool used = false;
  EXPECT_EQ("\x82\xA0\x81\xAC", qv::WideToCp932(L"あ\u00A9", &used));
  EXPECT_TRUE(used);
  EXPECT_EQ(L"あ\u30FB", qv::Cp932ToWide("\x82\xA0\x85\x40"));
}

TEST(Cp932, InvalidInput) {
  // An unmapped pair is one replacement; a trail byte out of range is read
  // on its own; a lone final lead byte is a replacement.
  EXPECT_EQ(L"\u30FB" L"a", Decode(CP_ACP, "\x85\x40" "a"));
  EXPECT_EQ(L"\u30FB a", Decode(CP_ACP, "\x81 a"));
  EXPECT_EQ(L"\u30FB\"", Decode(CP_ACP, "\x82\""));
  EXPECT_EQ(L"a\u30FB", Decode(CP_ACP, "a\x82"));
  // -1: the terminator ends the text even after a lead byte.
  wchar_t out[8] = {};
  EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "a\x82", -1, out, 8));
  EXPECT_EQ(std::wstring(L"a\u30FB"), std::wstring(out));

  for (const char* bad : {"\x85\x40", "a\x82", "\x81 ", "\xEB\xFC"}) {
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bad, static_cast<int>(strlen(bad)), out, 8))
        << bad;
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
  }
  EXPECT_EQ(2, MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\x82\xA0" "a", 3, out, 8));
}

TEST(CodePage, LengthsAndSizing) {
  const char* text = "\x82\xA0\x82\xA2" "a";  // あいa
  EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0));
  EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, text, 5, nullptr, 0));
  wchar_t out[4] = {L'x', L'x', L'x', L'x'};
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, text, -1, out, 3));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, text, -1, out, 4));
  EXPECT_EQ(std::wstring(L"あいa"), std::wstring(out));

  EXPECT_EQ(6, WideCharToMultiByte(CP_ACP, 0, L"あいa", -1, nullptr, 0, nullptr, nullptr));
  char bytes[6];
  SetLastError(0);
  // Room for "あい" but not the "a" and the terminator.
  EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, L"あいa", -1, bytes, 5, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  // A two-byte character never splits at the end of the room.
  EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, L"あい", 2, bytes, 3, nullptr, nullptr));
  EXPECT_EQ(6, WideCharToMultiByte(CP_ACP, 0, L"あいa", -1, bytes, 6, nullptr, nullptr));
  EXPECT_STREQ("\x82\xA0\x82\xA2" "a", bytes);

  EXPECT_EQ(4, WideCharToMultiByte(CP_UTF8, 0, L"あ", -1, nullptr, 0, nullptr, nullptr));
  EXPECT_EQ(2, MultiByteToWideChar(CP_UTF8, 0, "\xE3\x81\x82", -1, nullptr, 0));
}

TEST(CodePage, ArgumentsRefused) {
  wchar_t out[4];
  char bytes[4];
  BOOL used = FALSE;
  struct Case {
    const char* what;
    int result;
  };
  std::vector<Case> cases = {
      {"zero length", MultiByteToWideChar(CP_ACP, 0, "a", 0, out, 4)},
      {"null input", MultiByteToWideChar(CP_ACP, 0, nullptr, 1, out, 4)},
      {"length below -1", MultiByteToWideChar(CP_ACP, 0, "a", -2, out, 4)},
      {"null output with room", MultiByteToWideChar(CP_ACP, 0, "a", 1, nullptr, 4)},
      {"unknown code page", MultiByteToWideChar(1252, 0, "a", 1, out, 4)},
      {"UTF-8 with a default", WideCharToMultiByte(CP_UTF8, 0, L"a", 1, bytes, 4, "?", nullptr)},
      {"UTF-8 asking usedDefault", WideCharToMultiByte(CP_UTF8, 0, L"a", 1, bytes, 4, nullptr, &used)},
      {"negative output size", WideCharToMultiByte(CP_ACP, 0, L"a", 1, bytes, -1, nullptr, nullptr)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(0, c.result) << c.what;
  }
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "a", 0, out, 4));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(Utf8, InvalidSequencesBecomeReplacement) {
  struct Case {
    std::string in;
    std::wstring out;
  };
  const Case cases[] = {
      {"\xC0\xAF", L"\uFFFD\uFFFD"},              // overlong lead
      {"a\xE3\x81" "b", L"a\uFFFD" L"b"},           // truncated: one replacement
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},    // encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},    // overlong three-byte
      {"\x80z", L"\uFFFDz"},                     // stray continuation
      {"\xF0\x9F\x98", L"\uFFFD"},                // truncated at the end
      {"\xFF", L"\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, Decode(CP_UTF8, c.in)) << c.in;
    SetLastError(0);
    wchar_t out[8];
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.in.data(), static_cast<int>(c.in.size()),
                                     out, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
  }
}

TEST(Utf8, NonBmpIsOneCharacter) {
  EXPECT_EQ(L"\U0001F600x", Decode(CP_UTF8, "\xF0\x9F\x98\x80x", MB_ERR_INVALID_CHARS));
  EXPECT_EQ("\xF0\x9F\x98\x80", Encode(CP_UTF8, L"\U0001F600"));
  EXPECT_EQ("\xF4\x8F\xBF\xBF", Encode(CP_UTF8, L"\U0010FFFF"));
  // A pair of halves left in the text is joined; a lone half is replaced.
  EXPECT_EQ("\xF0\x9F\x98\x80", Encode(CP_UTF8, std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}));
  EXPECT_EQ("a\xEF\xBF\xBD", Encode(CP_UTF8, std::wstring{L'a', wchar_t(0xD83D)}));
  EXPECT_EQ("\xEF\xBF\xBD", Encode(CP_UTF8, std::wstring{wchar_t(0x110000)}));
  char out[8];
  SetLastError(0);
  const wchar_t lone[] = {wchar_t(0xDC00)};
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 1, out, 8, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
  // Every scalar value survives a round trip.
  std::wstring all;
  for (wchar_t c = 1; c < 0x110000; c += (c < 0x3000 ? 1 : 97))
    if (c < 0xD800 || c > 0xDFFF) all.push_back(c);
  EXPECT_EQ(all, Decode(CP_UTF8, Encode(CP_UTF8, all, nullptr, nullptr, WC_ERR_INVALID_CHARS), MB_ERR_INVALID_CHARS));
}

TEST(CodePage, LeadBytes) {
  for (int b = 0; b < 256; ++b) {
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(lead, IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE) << b;
    EXPECT_EQ(lead, IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(b)) != FALSE) << b;
    EXPECT_EQ(lead, IsDBCSLeadByteEx(932, static_cast<BYTE>(b)) != FALSE) << b;
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, static_cast<BYTE>(b)));
  }
  SetLastError(0);
  EXPECT_FALSE(IsDBCSLeadByteEx(1252, 0x81));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(932u, GetACP());
}

}  // namespace
