// Conversions between wide text, the device code page (Shift_JIS), UTF-8 and
// ISO-2022-JP, plus ASCII tests and case folding of mail text.
#pragma once

#include <string>
#include <string_view>

#include "engine/public/QvMiddleExport.h"

// The wide string in the device code page. 0 for an empty string or a single
// NUL (output untouched); otherwise the output is replaced and the result is
// the byte count written with the terminator; -1 when conversion fails.
QVMIDDLE_API int ConvertWtoS(const std::wstring& in, std::string& out);

namespace content {

// Wide text to the device code page, 81 AC for what it cannot hold; replaces
// `out`. False when the platform converts nothing.
bool WStringToSjis(std::wstring_view in, std::string& out);
// UTF-8 to Shift_JIS (81 AC for what the code page lacks). Out of place: an
// invalid byte becomes a two-byte 81 AC, so the text may grow.
void Utf8ToSjis(std::string& text);
inline void Utf8ToSjisInPlace(std::string& text) { Utf8ToSjis(text); }
// Wide text to ISO-2022-JP.
std::string WStringToJis(std::wstring_view in);
void WStringToJisBuffer(std::wstring_view in, std::string& out);
// Wide text to ISO-2022-JP with token pictographs as tokens, appended to
// `out`: -1 on failure (out untouched), 0 without tokens, 1 with tokens.
int WStringToJisWithTokens(std::wstring_view in, std::string& out);
// Device code page to wide text: converted count with the terminator, or -1
// when nothing converts (output unchanged).
int MultiByteToWString(const std::string& in, std::wstring& out);
int MultiByteSzToWString(const char* in, std::wstring& out);

bool IsAscii(std::string_view text);
bool IsAsciiW(std::wstring_view text);
inline char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool StartsWithNoCase(std::string_view text, std::string_view prefix, size_t offset = 0);
// Case mapping of narrow mail text leaves Shift_JIS pairs alone: their trail
// bytes overlap the ASCII letters.
std::string ToLower(std::string_view text);
std::string ToUpper(std::string_view text);
std::wstring ToLowerW(std::wstring_view text);
std::wstring ToUpperW(std::wstring_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

void LogMemoryInfo(int number);

// Length of the text up to its first NUL.
size_t TextLength(std::string_view text);
// The text without CR, LF and NUL: what a header value may not carry.
std::string WithoutLineBreaks(std::string_view text);
std::wstring WithoutLineBreaksW(std::wstring_view text);

}  // namespace content
