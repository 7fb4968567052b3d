// Header lines and their parts: logical lines, unfolding, parameters,
// comments, blanks, and safe file names for attachments.
#pragma once

#include <string>
#include <string_view>

namespace content {

// Trims blanks, tabs, CR and LF at both ends.
std::string TrimBlanks(std::string_view text);
std::wstring TrimBlanksW(std::wstring_view text);
// Every run of blanks, tabs and line breaks becomes one blank.
std::string CollapseBlanks(std::string_view text);
void ReplaceAll(std::string& text, std::string_view what, std::string_view by);
void ReplaceAllW(std::wstring& text, std::wstring_view what, std::wstring_view by);

// Joins continuation lines: each LF followed by a blank or tab becomes one
// blank (blank flag) or goes with that blank; then, with `decode`, RFC 2047
// words are decoded.
void UnfoldHeader(std::string& value, bool blank, bool decode);
// One logical header line from `pos`: 1 with the line in `out`, 0 at the
// blank line that ends the header (or at the end of the text).
int NextHeaderLine(std::string_view text, size_t& pos, std::string& out);

// The value of a parameter from `pos` up to ";" outside quotes and comments;
// `pos` moves past the ";".
void GetHeaderParamValue(std::string_view text, size_t& pos, std::string& out);
void GetHeaderParamValueLower(std::string_view text, size_t& pos, std::string& out);
// Name and value of the next "name=value" parameter; 0 when no "=" follows.
int ParseHeaderParam(std::string_view text, size_t& pos, std::string& name, std::string& value);
// Removes comments and quoted strings when the value holds a "(".
uint32_t StripComments(std::string_view value, std::string& out);
// The value from `pos`, trimmed, without the double quotes around it.
void UnquoteHeaderValue(std::string_view value, size_t& pos, std::string& out);
// The text from `pos`, trimmed, comments removed.
void CleanHeaderValue(std::string_view text, size_t pos, std::string& out);

// A file name from a Shift_JIS name (up to its first NUL): widened, then
// made safe by SafePartFileName within kFileNameLimit characters.
uint32_t MakeFileName(std::string_view sjis, std::wstring& out);

void DumpBytes(const std::wstring& label, std::string_view bytes);
void DumpBytesHex(const std::wstring& label, std::string_view bytes);

}  // namespace content
