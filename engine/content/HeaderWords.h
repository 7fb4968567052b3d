// RFC 2047 encoded words in both directions.
#pragma once

#include <string>
#include <string_view>

namespace content {

// Wide header text to plain ASCII, or to ISO-2022-JP encoded words (base64
// with `b`, else Q). CR, LF and NUL are dropped first, so a value can never
// start a header line of its own.
std::string EncodeHeaderWord(std::wstring_view text, bool b);
// A header value with encoded words decoded to Shift_JIS. Blanks between two
// words go; plain text keeps one blank on each side where it had any, and
// with `blank` always one after it.
std::string DecodeHeaderWords(std::string_view value, bool blank);
// One run of payloads of the same encoding and charset, decoded and converted
// to Shift_JIS, appended to `out`.
void DecodeEncodedPayload(std::string& out, std::string_view payload, char letter, std::string_view charset);

}  // namespace content
