// The byte-at-a-time forms of the decoder's text steps, kept as the
// reference the fast forms must match byte for byte.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

namespace reference {

std::string CrLfToLf(const std::string& in);
int DetectCharset(std::string_view text);
int DetectCharsetHtml(std::string_view text);
void JisToSjis(std::string& text);
void EucToSjis(std::string& text);
void ReplaceUnmappableSjis(std::string& text);
// MultiByteToWideChar for CP932 and UTF-8, with the last error it leaves.
int ToWideChar(UINT codePage, DWORD flags, const char* in, int inBytes, wchar_t* out, int outChars, DWORD* error);
std::wstring WidenSjis(std::string_view sjis);
std::wstring WidenSjisCrLf(std::string_view sjis);
// A text part's bytes to its body: charset conversion, unmappable pairs,
// widening and line ends.
std::wstring TextBody(std::string data, const std::wstring& charset, bool html);
// The long-line breaking of an outgoing wide body, inserting in place.
void BreakLongLines(std::wstring& text);

}  // namespace reference
