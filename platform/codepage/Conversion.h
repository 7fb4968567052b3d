// The conversion loops behind CodePage.h, one pair per code page. Each takes
// the whole input and either counts (out == nullptr) or writes at most `cap`
// units; the Win32 entry points only check arguments and dispatch.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/AsciiScan.h"
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

// Both code pages map ASCII to itself: a decoder takes a run of it at once.
// Returns false when the output is full (kChecked only).
template <bool kWrite, bool kChecked>
inline bool TakeAsciiRun(const uint8_t* in, size_t n, size_t& i, wchar_t* out, size_t cap, size_t& o) {
  size_t run = AsciiRun<>(reinterpret_cast<const char*>(in + i), n - i);
  if constexpr (kChecked) {
    if (o == cap) return false;
    if (run > cap - o) run = cap - o;
  }
  if constexpr (kWrite) {
    for (size_t k = 0; k < run; ++k) out[o + k] = static_cast<wchar_t>(in[i + k]);
  }
  o += run;
  i += run;
  return true;
}

}  // namespace qv::codepage
