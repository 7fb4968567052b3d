// Reading SMTP replies and preparing the message text: where a reply ends
// (its last line has no '-' after the code), envelope addresses, dot-stuffing
// and the end of data. Nothing here
// trusts the server.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace smtp {

// Longest reply we collect (an "EHLO" list is far shorter).
inline constexpr size_t kMaxReply = 65536;

// True when the reply holds a whole line whose fourth byte is not '-'
// ("250 ok\r\n", "250\r\n", "+OK\r\n"): the last line of an SMTP reply, or
// a POP3 status line. `from` skips lines an earlier call already looked at.
bool ReplyComplete(std::string_view reply, size_t* from = nullptr);

// Where the last line of a whole reply starts (0 for a one-line reply).
size_t LastLineStart(std::string_view reply);

// Whether an "EHLO" reply offers `keyword` (compared without regard to
// case, as EHLO keywords are) on one of its "250-" / "250 " lines; its
// parameters (the rest of the line, blanks trimmed) go to `params`. The old
// form "AUTH=LOGIN" counts as "AUTH LOGIN".
bool EhloOffers(std::string_view reply, std::string_view keyword, std::string* params = nullptr);
// Whether the blank-separated list `params` holds `word` (any case).
bool HasWord(std::string_view params, std::string_view word);

// An envelope address that can stand in "MAIL FROM"/"RCPT TO" as one line:
// no CR, LF or NUL, which would let the address inject commands.
bool EnvelopeAddressSafe(std::string_view address);

// What ends the data after the text: ".\r\n" when the text already ends its
// last line (or is empty), else "\r\n.\r\n".
std::string_view EndOfData(std::string_view text);

// Every line that begins with "." gets one more, the first line included, so
// that the server's unstuffing gives the text back unchanged.
void DotStuff(std::string& text);

}  // namespace smtp
