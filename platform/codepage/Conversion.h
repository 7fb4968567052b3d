// The conversion loops behind CodePage.h, one pair per code page. Each takes
// the whole input and either counts (out == nullptr) or writes at most `cap`
// units; the Win32 entry points only check arguments and dispatch.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/WinTypes.h"

namespace qv::codepage {

struct Result {
  size_t count = 0;          // units written (or needed when counting)
  DWORD error = 0;           // ERROR_INSUFFICIENT_BUFFER, ERROR_NO_UNICODE_TRANSLATION
  bool usedDefault = false;  // a character became the default character
};

// What an invalid or unmapped CP932 sequence decodes to.
inline constexpr wchar_t kCp932Replacement = 0x30FB;
// What CP932 encodes an unmappable character to by default.
inline constexpr uint16_t kCp932DefaultChar = 0x81AC;

// `strict`: fail with ERROR_NO_UNICODE_TRANSLATION on an invalid sequence.
Result Cp932Decode(const uint8_t* in, size_t n, wchar_t* out, size_t cap, bool strict);
// `defaultChar`: one byte, or lead and trail packed high-first.
Result Cp932Encode(const wchar_t* in, size_t n, uint8_t* out, size_t cap, uint16_t defaultChar);

Result Utf8Decode(const uint8_t* in, size_t n, wchar_t* out, size_t cap, bool strict);
// `strict`: fail on a surrogate or a value above U+10FFFF instead of writing U+FFFD.
Result Utf8Encode(const wchar_t* in, size_t n, uint8_t* out, size_t cap, bool strict);

bool IsCp932LeadByte(uint8_t byte);

}  // namespace qv::codepage
