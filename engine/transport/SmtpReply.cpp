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

void DotStuff(std::string& text) {
  if (!text.empty() && text[0] == '.') text.insert(0, 1, '.');
  for (size_t pos = text.find("\r\n."); pos != std::string::npos; pos = text.find("\r\n.", pos + 4)) {
    text.insert(pos + 2, 1, '.');
  }
}

}  // namespace smtp
