#include "platform/inet/InetText.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/codepage/CodePage.h"
#include "platform/inet/WinInet.h"

namespace qv::inet {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool IsAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsControlOrSpace(unsigned char c) { return c < 0x21 || c == 0x7F; }

int HexValue(unsigned char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendEscaped(std::string* out, unsigned char c) {
  *out += '%';
  *out += kHex[c >> 4];
  *out += kHex[c & 0xF];
}

// RFC 3986's removal of "." and ".." segments.
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./") {
      in.remove_prefix(2);
    } else if (in.substr(0, 3) == "/./") {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const size_t next = in.find('/', 1);
      const size_t n = next == std::string_view::npos ? in.size() : next;
      out.append(in.substr(0, n));
      in.remove_prefix(n);
    }
  }
  return out;
}

std::string PercentDecode(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    const int hi = in[i] == '%' && i + 2 < in.size() ? HexValue(static_cast<unsigned char>(in[i + 1])) : -1;
    const int lo = hi >= 0 ? HexValue(static_cast<unsigned char>(in[i + 2])) : -1;
    if (lo >= 0) {
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += in[i];
    }
  }
  return out;
}

bool Unsafe(unsigned char c, DWORD flags) {
  if (flags & ICU_ENCODE_SPACES_ONLY) return c == ' ';
  if (c == '%') return (flags & ICU_ENCODE_PERCENT) != 0;
  return c < 0x21 || c >= 0x7F || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

}  // namespace

bool WideToUrlBytes(std::wstring_view text, std::string* bytes) {
  bool usedDefault = false;
  *bytes = qv::WideToCp932(text, &usedDefault);
  return !usedDefault;
}

bool ValidHost(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (unsigned char c : host.substr(1, host.size() - 2)) {
      if (HexValue(c) < 0 && c != ':' && c != '.') return false;
    }
    return true;
  }
  for (unsigned char c : host) {
    if (!IsAlpha(c) && !IsDigit(c) && c != '-' && c != '.' && c != '_') return false;
  }
  return true;
}

bool ParsePort(std::string_view text, DWORD* port) {
  if (text.empty() || text.size() > 5) return false;
  DWORD value = 0;
  for (unsigned char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  *port = value;
  return true;
}

bool EncodePath(std::string_view bytes, std::string* path) {
  std::string out;
  out.reserve(bytes.size() + 1);
  if (bytes.empty() || bytes.front() != '/') out += '/';
  for (unsigned char c : bytes) {
    if (IsControlOrSpace(c)) return false;
    if (c >= 0x80) {
      AppendEscaped(&out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  *path = std::move(out);
  return true;
}

DWORD CanonicalizeUrl(std::wstring_view url, DWORD flags, std::wstring* out) {
  constexpr DWORD kKnown =
      ICU_NO_ENCODE | ICU_DECODE | ICU_NO_META | ICU_ENCODE_SPACES_ONLY | ICU_BROWSER_MODE | ICU_ENCODE_PERCENT;
  if ((flags & ~kKnown) != 0) return ERROR_INVALID_PARAMETER;
  std::string bytes;
  if (!WideToUrlBytes(url, &bytes)) return ERROR_BAD_PATHNAME;
  const bool browser = (flags & ICU_BROWSER_MODE) != 0;

  size_t begin = 0, end = bytes.size();
  while (begin < end && static_cast<unsigned char>(bytes[begin]) <= 0x20) ++begin;
  // Trailing white space goes, except after "?" in browser mode.
  const bool keepTail = browser && bytes.find_first_of("?#", begin) != std::string::npos;
  while (!keepTail && end > begin && static_cast<unsigned char>(bytes[end - 1]) <= 0x20) --end;
  std::string text = bytes.substr(begin, end - begin);

  // What the flags touch: all of it, or in browser mode what comes before
  // the query or fragment.
  size_t reach = browser ? text.find_first_of("?#") : std::string::npos;
  if (reach == std::string::npos) reach = text.size();
  if (flags & ICU_DECODE) {
    text = PercentDecode(text.substr(0, reach)) + text.substr(reach);
    reach = browser ? text.find_first_of("?#") : std::string::npos;
    if (reach == std::string::npos) reach = text.size();
  }

  size_t colon = 0;
  // A scheme is a letter, then letters, digits, "+", "-" or "." (a decoded
  // NUL must not pass for one: it would stay unencoded in the scheme).
  const auto schemeChar = [](char c) { return IsDigit(c) || c == '+' || c == '-' || c == '.'; };
  while (colon < text.size() && (IsAlpha(text[colon]) || (colon > 0 && schemeChar(text[colon])))) ++colon;
  if (colon == 0 || colon >= text.size() || text[colon] != ':') return ERROR_INTERNET_INVALID_URL;
  for (size_t i = 0; i < colon; ++i) text[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));

  if (!(flags & ICU_NO_META) && text.compare(colon + 1, 2, "//") == 0) {
    const size_t pathAt = text.find_first_of("/?#", colon + 3);
    if (pathAt != std::string::npos && text[pathAt] == '/') {
      const size_t pathEnd = std::min(text.find_first_of("?#", pathAt), reach);
      const std::string path = RemoveDotSegments(std::string_view(text).substr(pathAt, pathEnd - pathAt));
      const size_t removed = (pathEnd - pathAt) - path.size();
      text = text.substr(0, pathAt) + path + text.substr(pathEnd);
      reach -= removed;
    }
  }

  if (!(flags & ICU_NO_ENCODE)) {
    std::string encoded = text.substr(0, colon + 1);
    for (size_t i = colon + 1; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (i < reach && Unsafe(c, flags)) {
        AppendEscaped(&encoded, c);
      } else {
        encoded += static_cast<char>(c);
      }
    }
    text = std::move(encoded);
  }
  *out = qv::Cp932ToWide(text);
  return ERROR_SUCCESS;
}

}  // namespace qv::inet
