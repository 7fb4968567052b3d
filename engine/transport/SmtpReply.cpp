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

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

}  // namespace

bool EhloOffers(std::string_view reply, std::string_view keyword, std::string* params) {
  size_t pos = 0;
  while (pos < reply.size()) {
    size_t eol = reply.find('\n', pos);
    if (eol == std::string_view::npos) eol = reply.size();
    std::string_view line = reply.substr(pos, eol - pos);
    pos = eol + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.size() < 5 || !line.starts_with("250") || (line[3] != '-' && line[3] != ' ')) continue;
    line.remove_prefix(4);
    const size_t end = line.find_first_of(" =");
    if (!SameWord(line.substr(0, end), keyword)) continue;
    if (params) {
      std::string_view rest = end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
      const size_t first = rest.find_first_not_of(' ');
      rest = first == std::string_view::npos ? std::string_view() : rest.substr(first);
      params->assign(rest);
    }
    return true;
  }
  return false;
}

bool HasWord(std::string_view params, std::string_view word) {
  size_t pos = 0;
  while (pos < params.size()) {
    size_t end = params.find(' ', pos);
    if (end == std::string_view::npos) end = params.size();
    if (SameWord(params.substr(pos, end - pos), word)) return true;
    pos = end + 1;
  }
  return false;
}

bool EnvelopeAddressSafe(std::string_view address) {
  return address.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string_view EndOfData(std::string_view text) {
  if (text.empty() || text.ends_with("\r\n")) return ".\r\n";
  return "\r\n.\r\n";
}

void DotStuff(std::string& text) {
  // Built anew in one pass: inserting in place moves the rest of the text
  // for every dot line, which a body of many such lines makes quadratic.
  size_t pos = text.starts_with('.') ? 0 : text.find("\r\n.");
  if (pos == std::string::npos) return;
  std::string out;
  out.reserve(text.size() + text.size() / 64 + 1);
  size_t done = 0;
  while (pos != std::string::npos) {
    const size_t dot = pos == 0 && text[0] == '.' ? 0 : pos + 2;
    out.append(text, done, dot - done);
    out.push_back('.');
    done = dot;
    pos = text.find("\r\n.", dot);
  }
  out.append(text, done, std::string::npos);
  text = std::move(out);
}

}  // namespace smtp
