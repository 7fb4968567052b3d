#include "engine/transport/SmtpReply.h"

namespace smtp {

bool ReplyComplete(std::string_view reply, size_t* from) {
  size_t pos = from ? *from : 0;
  while (pos < reply.size()) {
    const size_t eol = reply.find('\n', pos);
    if (eol == std::string_view::npos) break;
    const std::string_view line = reply.substr(pos, eol - pos);
    if (line.size() < 4 || line[3] != '-') return true;
    pos = eol + 1;
    if (from) *from = pos;
  }
  return false;
}

size_t LastLineStart(std::string_view reply) {
  size_t end = reply.size();
  if (end > 0 && reply[end - 1] == '\n') --end;
  const size_t eol = reply.rfind('\n', end == 0 ? 0 : end - 1);
  return eol == std::string_view::npos || eol >= end ? 0 : eol + 1;
}

bool EnvelopeAddressSafe(std::string_view address) {
  return address.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string_view EndOfData(std::string_view text) {
  if (text.empty() || text.ends_with("\r\n")) return ".\r\n";
  return "\r\n.\r\n";
}

void DotStuff(std::string& text) {
  if (!text.empty() && text[0] == '.') text.insert(0, 1, '.');
  for (size_t pos = text.find("\r\n."); pos != std::string::npos; pos = text.find("\r\n.", pos + 4)) {
    text.insert(pos + 2, 1, '.');
  }
}

}  // namespace smtp
