// Reading POP3 replies: the status test, where a multi-line reply ends, the
// lines of "UIDL" and "LIST" answers, dot-unstuffing. Every number is checked
// against its range; nothing here trusts the server.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pop {

// Longest first UIDL line, UID and status line we accept.
inline constexpr size_t kMaxFirstUidlLine = 100;
inline constexpr size_t kMaxUidLength = 70;
inline constexpr size_t kMaxLineReply = 8192;

// "+OK " or "+OK\r\n" at the start.
bool StatusOk(std::string_view reply);
// End of the first line (the index of its "\n"), or npos.
size_t FirstLineEnd(std::string_view reply);
// Index of the "\r\n.\r\n" that closes a multi-line reply (searched from the
// status line's own line end, so "+OK\r\n.\r\n" is an empty list), or npos.
// `from` lets a caller skip what an earlier call already searched.
size_t ListEnd(std::string_view reply, size_t from = 0);
// Whole when the status line is there and, for a "+" answer that has lines,
// the terminator too.
bool Complete(std::string_view reply, bool multiLine);

// Decimal digits only, no sign, within 32 bits.
bool ParseNumber(std::string_view text, uint32_t* out);
// "n uid": a blank that is not the first character, digits before it, a UID
// of 1 to 70 characters after it (the UID is the rest of the line).
bool ParseUidlLine(std::string_view line, uint32_t* number, std::string_view* uid);
// "n size" of a "LIST" answer line.
bool ParseListLine(std::string_view line, uint32_t* number, uint32_t* size);
// The two numbers after "+OK " ("STAT": count and size; "LIST n": n and size).
bool ParseTwoNumbers(std::string_view reply, uint32_t* first, uint32_t* second);

// "\r\n.." becomes "\r\n."; a leading ".." (the first line) too.
std::string Unstuff(std::string_view text);

// The value of the first header field `name` (letters folded) in the header
// block at the start of `text`, continuation lines joined, blanks trimmed;
// empty when there is none.
std::string HeaderField(std::string_view text, std::string_view name);
// A UID for a server without UIDL, made from the message itself so that it
// is the same in every session: the MD5 hex of its Message-ID, Date and From
// and its size.
std::string MadeUid(std::string_view header, uint32_t size);

// The line that marks a text fetched as its header only.
inline constexpr std::string_view kOversizeMark = "X-Oversize-Qvmail:\r\n";
// Puts kOversizeMark at the end of the header block: before the empty line
// that ends it, or after the last line (given a line end first when it has
// none) when the text holds no empty line.
void InsertOversizeMark(std::string& text);

}  // namespace pop
