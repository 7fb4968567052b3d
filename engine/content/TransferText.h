// Whole-text decoders of mail bodies (base64, uuencode, quoted-printable) and
// the quoted-printable ISO-2022-JP encoder.
#pragma once

#include <string>
#include <string_view>

namespace content {

// Base64 to bytes; every character outside the alphabet is skipped, and "="
// closes the group it pads. Replaces `out`.
void DecodeBase64Text(std::string_view text, std::string& out);
// Uuencoded data after a "begin " line to bytes. 1 when the "begin " line was
// found (out holds the good lines), else 0 with `out` empty.
int DecodeUuText(std::string_view text, std::string& out);
// One uuencoded line (without its LF): the byte count appended, 0 at the end
// line, -1 for a bad character, -2 for a bad length character, -3 when the
// count does not match the line.
int DecodeUuLine(std::string& out, std::string_view line);
// Quoted-printable to bytes; bad escapes are kept as text.
std::string DecodeQuotedPrintableText(std::string_view text);
// Wide text in ISO-2022-JP, quoted-printable, replacing `out`.
void EncodeQuotedPrintableJis(std::string& out, std::wstring_view text);

}  // namespace content
