// Conversions between the in-memory wide text (one wchar_t per code point),
// UTF-16 (the device's text in files and the registry) and UTF-8 (host names,
// logs). Lone surrogates survive UTF-16 round trips as their own code values.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

namespace qv {

// UTF-16 code units of a wide text (characters above U+FFFF become pairs).
QV_PLATFORM_API std::u16string WideToUtf16(std::wstring_view text);
// Wide text from UTF-16 units; a valid pair becomes one code point.
QV_PLATFORM_API std::wstring Utf16ToWide(std::u16string_view units);
// Number of UTF-16 units the text takes.
QV_PLATFORM_API size_t Utf16Length(std::wstring_view text);
// The longest prefix of `text` that fits in `maxUnits` UTF-16 units without
// splitting a surrogate pair.
QV_PLATFORM_API std::wstring TruncateUtf16(std::wstring_view text, size_t maxUnits);

// UTF-16LE bytes of a wide text, and back (an odd final byte is ignored).
QV_PLATFORM_API std::string WideToUtf16LE(std::wstring_view text);
QV_PLATFORM_API std::wstring Utf16LEToWide(std::string_view bytes);

// UTF-8 of a wide text; invalid code points become U+FFFD.
QV_PLATFORM_API std::string WideToUtf8(std::wstring_view text);
// Wide text of UTF-8; invalid sequences become U+FFFD.
QV_PLATFORM_API std::wstring Utf8ToWide(std::string_view text);

// Case folding the way the device compares names (ASCII and the Latin-1,
// Greek, Cyrillic and full-width letters); used for file and registry names.
QV_PLATFORM_API wchar_t FoldCase(wchar_t c);
QV_PLATFORM_API std::wstring FoldCase(std::wstring_view text);
QV_PLATFORM_API bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace qv
