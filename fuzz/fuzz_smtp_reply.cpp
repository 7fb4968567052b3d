// SMTP replies come from the server as they are, and message text from mail
// the user wrote: the reply reader must agree with itself when fed in pieces,
// and dot-stuffing must give the text back once the server unstuffs it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/transport/SmtpReply.h"

namespace {

// What a server does with the DATA text: a leading "." of a line (after
// CR LF, the text's line end by then) is dropped.
std::string Unstuff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (lineStart && text[i] == '.') {
      lineStart = false;
      continue;
    }
    out += text[i];
    lineStart = text[i] == '\n' && i > 0 && text[i - 1] == '\r';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Whole or grown one byte at a time, the reader reaches the same verdict.
  const bool whole = smtp::ReplyComplete(bytes);
  size_t from = 0;
  bool seen = false;
  for (size_t n = 1; n <= size && n <= 4096; ++n) {
    if (smtp::ReplyComplete(bytes.substr(0, n), &from)) {
      seen = true;
      break;
    }
  }
  if (size <= 4096 && seen != whole) abort();

  // The last line of a reply starts inside it, after a line end.
  const size_t last = smtp::LastLineStart(bytes);
  if (last > size || (last > 0 && bytes[last - 1] != '\n')) abort();
  if (smtp::EnvelopeAddressSafe(bytes) != (bytes.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos)) {
    abort();
  }

  std::string text(bytes);
  smtp::DotStuff(text);
  if (Unstuff(text) != bytes) abort();
  // The end of data always makes the text's last line whole, then ".".
  const std::string sent = text + std::string(smtp::EndOfData(text));
  if (!sent.ends_with("\r\n.\r\n") && sent != ".\r\n") abort();
  return 0;
}
