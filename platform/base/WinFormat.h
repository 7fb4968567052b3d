// Windows-style formatting (wsprintf semantics): in a wide format "%s" takes a
// wide string and "%S" a narrow one; in a narrow format the reverse. Supports
// flags "-", "0", " ", "+", "#", width and precision (also "*"), the sizes
// "h", "l", "ll", "I64", and the conversions d i u x X o c C s S p %.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

namespace qv {

QV_PLATFORM_API std::wstring FormatW(const wchar_t* format, ...);
QV_PLATFORM_API std::wstring VFormatW(const wchar_t* format, va_list args);
QV_PLATFORM_API std::string FormatA(const char* format, ...);
QV_PLATFORM_API std::string VFormatA(const char* format, va_list args);

// How "%S" and "%C" turn narrow text into wide and back. The code-page service
// installs CP932 when the platform loads; before that, and in a build without
// it, bytes are Latin-1.
struct NarrowTextCodec {
  std::wstring (*toWide)(std::string_view bytes);
  std::string (*toNarrow)(std::wstring_view text);
};
QV_PLATFORM_API void SetFormatNarrowCodec(NarrowTextCodec codec);

}  // namespace qv
