#include "platform/inet/HttpResponse.h"

#include <cstring>

#include "platform/base/WideText.h"
#include "platform/codepage/CodePage.h"
#include "platform/inet/WinInet.h"

namespace qv::inet {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsTokenChar(char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  return std::strchr("!#$%&'*+-.^_`|~", c) != nullptr && c != '\0';
}

// The field name each attribute stands for; null for the special ones.
const char* AttributeField(DWORD attribute) {
  switch (attribute) {
    case HTTP_QUERY_CONTENT_TYPE: return "Content-Type";
    case HTTP_QUERY_CONTENT_LENGTH: return "Content-Length";
    case HTTP_QUERY_DATE: return "Date";
    case HTTP_QUERY_EXPIRES: return "Expires";
    case HTTP_QUERY_LAST_MODIFIED: return "Last-Modified";
    case HTTP_QUERY_CONNECTION: return "Connection";
    case HTTP_QUERY_CONTENT_ENCODING: return "Content-Encoding";
    case HTTP_QUERY_LOCATION: return "Location";
    case HTTP_QUERY_SERVER: return "Server";
    default: return nullptr;
  }
}

// A decimal number of at most 32 bits, nothing else around it.
bool ParseNumber(std::string_view text, DWORD* out) {
  text = Trim(text);
  if (text.empty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > 0xFFFFFFFFu) return false;
  *out = static_cast<DWORD>(value);
  return true;
}

// A wide text into a caller's buffer whose size counts 2 bytes per unit.
DWORD PutText(const std::wstring& text, void* buffer, DWORD* bufferLength) {
  const size_t units = qv::Utf16Length(text);
  const uint64_t need = (static_cast<uint64_t>(units) + 1) * 2;
  if (buffer == nullptr || *bufferLength < need) {
    *bufferLength = static_cast<DWORD>(need);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  auto* out = static_cast<WCHAR*>(buffer);
  std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
  out[text.size()] = L'\0';
  *bufferLength = static_cast<DWORD>(units * 2);
  return ERROR_SUCCESS;
}

DWORD PutNumber(DWORD value, void* buffer, DWORD* bufferLength) {
  if (buffer == nullptr || *bufferLength < sizeof(DWORD)) {
    *bufferLength = sizeof(DWORD);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, &value, sizeof value);
  *bufferLength = sizeof(DWORD);
  return ERROR_SUCCESS;
}

}  // namespace

void HttpResponse::Clear() { *this = HttpResponse(); }

// "HTTP/1.1 404 Not Found", "HTTP/2 200"
bool HttpResponse::StatusLine(std::string_view line) {
  if (line.substr(0, 5) != "HTTP/") return false;
  const size_t space = line.find(' ');
  if (space == std::string_view::npos || space + 4 > line.size()) return false;
  std::string_view code = line.substr(space + 1, 3);
  DWORD status = 0;
  if (!ParseNumber(code, &status) || code[0] == ' ' || status < 100 || status > 999) return false;
  if (space + 4 < line.size() && line[space + 4] != ' ') return false;
  version_ = std::string(line.substr(0, space));
  reason_ = space + 5 <= line.size() ? std::string(Trim(line.substr(space + 5))) : std::string();
  status_ = status;
  return true;
}

HttpResponse::Take HttpResponse::TakeLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.substr(0, 5) == "HTTP/") {
    Clear();
    if (!StatusLine(line)) return Take::Malformed;
    started_ = true;
    bytes_ = line.size();
    return Take::More;
  }
  if (!started_) return Take::Malformed;
  if (line.empty()) {
    // The block of an interim answer ends too; the final one follows.
    complete_ = status_ >= 200;
    return complete_ ? Take::Complete : Take::More;
  }
  bytes_ += line.size();
  if (bytes_ > kMaxBytes) return Take::Malformed;
  if (line.front() == ' ' || line.front() == '\t') {
    // An obsolete folded line continues the field before it.
    if (fields_.empty()) return Take::Malformed;
    std::string& value = fields_.back().value;
    value += ' ';
    value += Trim(line);
    return Take::More;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return Take::Malformed;
  for (char c : line.substr(0, colon)) {
    if (!IsTokenChar(c)) return Take::Malformed;
  }
  if (fields_.size() >= kMaxFields) return Take::Malformed;
  fields_.push_back({std::string(line.substr(0, colon)), std::string(Trim(line.substr(colon + 1)))});
  return Take::More;
}

const std::string* HttpResponse::Field(std::string_view name, size_t index) const {
  for (const FieldLine& f : fields_) {
    if (SameName(f.name, name) && index-- == 0) return &f.value;
  }
  return nullptr;
}

std::string HttpResponse::RawHeaders(std::string_view separator) const {
  std::string raw = version_ + " " + std::to_string(status_);
  if (!reason_.empty()) raw += " " + reason_;
  raw += separator;
  for (const FieldLine& f : fields_) {
    raw += f.name + ": " + f.value;
    raw += separator;
  }
  raw += separator;
  return raw;
}

DWORD HttpResponse::Query(DWORD infoLevel, std::string_view customName, void* buffer, DWORD* bufferLength,
                          DWORD* index) const {
  if (bufferLength == nullptr) return ERROR_INVALID_PARAMETER;
  const DWORD modifiers = infoLevel & HTTP_QUERY_MODIFIER_FLAGS_MASK;
  const DWORD attribute = infoLevel & 0xFFFFu;
  if ((modifiers & ~HTTP_QUERY_FLAG_NUMBER) != 0) return ERROR_HTTP_INVALID_QUERY_REQUEST;
  if (!complete_) return ERROR_HTTP_HEADER_NOT_FOUND;
  const bool number = (modifiers & HTTP_QUERY_FLAG_NUMBER) != 0;
  const DWORD wanted = index != nullptr ? *index : 0;

  std::string text;
  switch (attribute) {
    case HTTP_QUERY_STATUS_CODE:
      if (number) return PutNumber(status_, buffer, bufferLength);
      text = std::to_string(status_);
      break;
    case HTTP_QUERY_STATUS_TEXT: text = reason_; break;
    case HTTP_QUERY_VERSION: text = version_; break;
    case HTTP_QUERY_RAW_HEADERS: text = RawHeaders(std::string_view("\0", 1)); break;
    case HTTP_QUERY_RAW_HEADERS_CRLF: text = RawHeaders("\r\n"); break;
    default: {
      const char* name = attribute == HTTP_QUERY_CUSTOM ? nullptr : AttributeField(attribute);
      if (attribute != HTTP_QUERY_CUSTOM && name == nullptr) return ERROR_HTTP_INVALID_QUERY_REQUEST;
      const std::string* value = Field(name != nullptr ? std::string_view(name) : customName, wanted);
      if (value == nullptr) return ERROR_HTTP_HEADER_NOT_FOUND;
      if (number) {
        DWORD n = 0;
        if (!ParseNumber(*value, &n)) return ERROR_HTTP_INVALID_HEADER;
        const DWORD rc = PutNumber(n, buffer, bufferLength);
        if (rc == ERROR_SUCCESS && index != nullptr) ++*index;
        return rc;
      }
      const DWORD rc = PutText(qv::Cp932ToWide(*value), buffer, bufferLength);
      if (rc == ERROR_SUCCESS && index != nullptr) ++*index;
      return rc;
    }
  }
  if (number) {
    DWORD n = 0;
    if (!ParseNumber(text, &n)) return ERROR_HTTP_INVALID_HEADER;
    return PutNumber(n, buffer, bufferLength);
  }
  return PutText(qv::Cp932ToWide(text), buffer, bufferLength);
}

}  // namespace qv::inet
