#include "engine/transport/PopReply.h"


#include "engine/transport/Md5.h"

namespace pop {

namespace {
constexpr std::string_view kTerminator = "\r\n.\r\n";
}

bool StatusOk(std::string_view reply) { return reply.starts_with("+OK ") || reply.starts_with("+OK\r\n"); }

size_t FirstLineEnd(std::string_view reply) { return reply.find('\n'); }

size_t ListEnd(std::string_view reply, size_t from) {
  const size_t eol = FirstLineEnd(reply);
  if (eol == std::string_view::npos || eol == 0 || reply[eol - 1] != '\r') return std::string_view::npos;
  const size_t start = from > eol - 1 ? from : eol - 1;
  return reply.find(kTerminator, start);
}

bool Complete(std::string_view reply, bool multiLine) {
  const size_t eol = FirstLineEnd(reply);
  if (eol == std::string_view::npos) return false;
  if (!multiLine || reply.empty() || reply[0] != '+') return true;
  return ListEnd(reply) != std::string_view::npos;
}

bool ParseNumber(std::string_view text, uint32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > 0xffffffffu) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

bool ParseUidlLine(std::string_view line, uint32_t* number, std::string_view* uid) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos || blank == 0) return false;
  const std::string_view rest = line.substr(blank + 1);
  if (rest.empty() || rest.size() > kMaxUidLength) return false;
  for (char c : rest) {
    // A UID is printable: 0x21 to 0x7E.
    if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7e) return false;
  }
  if (!ParseNumber(line.substr(0, blank), number)) return false;
  *uid = rest;
  return true;
}

bool ParseListLine(std::string_view line, uint32_t* number, uint32_t* size) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return false;
  std::string_view rest = line.substr(blank + 1);
  // Some servers add words after the size.
  const size_t end = rest.find(' ');
  if (end != std::string_view::npos) rest = rest.substr(0, end);
  return ParseNumber(line.substr(0, blank), number) && ParseNumber(rest, size);
}

bool ParseTwoNumbers(std::string_view reply, uint32_t* first, uint32_t* second) {
  if (!reply.starts_with("+OK ")) return false;
  std::string_view line = reply.substr(4);
  const size_t eol = line.find_first_of("\r\n");
  if (eol != std::string_view::npos) line = line.substr(0, eol);
  return ParseListLine(line, first, second);
}

std::string Unstuff(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  if (text.starts_with("..")) {
    out.push_back('.');
    i = 2;
  }
  while (i < text.size()) {
    const size_t hit = text.find("\r\n..", i);
    if (hit == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, hit - i + 3));  // keeps "\r\n."
    i = hit + 4;
  }
  return out;
}

namespace {

// Where the header block ends: the index of the empty line's first byte, or
// npos when the text has no empty line.
size_t HeaderEnd(std::string_view text) {
  if (text.starts_with("\r\n") || text.starts_with("\n")) return 0;
  const size_t crlf = text.find("\r\n\r\n");
  const size_t lf = text.find("\n\n");
  const size_t a = crlf == std::string_view::npos ? crlf : crlf + 2;
  const size_t b = lf == std::string_view::npos ? lf : lf + 1;
  return a < b ? a : b;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string HeaderField(std::string_view text, std::string_view name) {
  const size_t end = HeaderEnd(text);
  const std::string_view header = end == std::string_view::npos ? text : text.substr(0, end);
  size_t pos = 0;
  while (pos < header.size()) {
    size_t eol = header.find('\n', pos);
    if (eol == std::string_view::npos) eol = header.size();
    const std::string_view line = header.substr(pos, eol - pos);
    const size_t colon = line.find(':');
    bool match = colon == name.size();
    for (size_t i = 0; match && i < name.size(); ++i) {
      const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
      match = lower(line[i]) == lower(name[i]);
    }
    if (match) {
      std::string value(line.substr(colon + 1));
      // Continuation lines belong to the field.
      size_t next = eol + 1;
      while (next < header.size() && IsBlank(header[next])) {
        size_t more = header.find('\n', next);
        if (more == std::string_view::npos) more = header.size();
        value.append(header.substr(next, more - next));
        next = more + 1;
      }
      std::erase(value, '\r');
      std::erase(value, '\n');
      const size_t first = value.find_first_not_of(" \t");
      if (first == std::string::npos) return {};
      return value.substr(first, value.find_last_not_of(" \t") - first + 1);
    }
    pos = eol + 1;
  }
  return {};
}

std::string MadeUid(std::string_view header, uint32_t size) {
  const std::string source = HeaderField(header, "message-id") + "\n" + HeaderField(header, "date") + "\n" +
                             HeaderField(header, "from") + "\n" + std::to_string(size);
  return Md5Hex(source.data(), source.size());
}

void InsertOversizeMark(std::string& text) {
  const size_t end = HeaderEnd(text);
  if (end != std::string::npos) {
    text.insert(end, kOversizeMark);
    return;
  }
  if (!text.empty() && text.back() != '\n') text += "\r\n";
  text += kOversizeMark;
}

}  // namespace pop
