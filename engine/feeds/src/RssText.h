// Small text steps of the feed client that feed documents reach directly:
// hexadecimal digits, percent escapes and the cleaning of header texts.
#pragma once

#include <string>

namespace feeds {

// 0-15, or -1 for anything but a hexadecimal digit (either case).
int HexDigit(char c);
// "%XX" escapes decoded over the device code page's bytes of the text, as
// the URL canonicaliser decodes them; a "%" without two digits stays.
std::wstring PercentDecoded(const std::wstring& text);
// A text bound for a header line: no control character but TAB survives, so
// a decoded "%0D%0A" or "%00" can never start a line of its own.
std::wstring HeaderSafe(std::wstring text);

}  // namespace feeds
