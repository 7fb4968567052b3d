// Bytes as lower-case hexadecimal text, two digits a byte, and back: the
// plain-text form the platform's own record files (registry hives, user
// notifications) keep binary data and UTF-8 text in.
#pragma once

#include <string>
#include <string_view>

namespace qv {

inline void AppendHex(std::string_view bytes, std::string* out) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (char b : bytes) {
    auto u = static_cast<unsigned char>(b);
    out->push_back(kHex[u >> 4]);
    out->push_back(kHex[u & 0xF]);
  }
}

// Value of one hexadecimal digit of either case, -1 for any other byte.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False, with `out` unusable, on an odd length or a byte that is no digit.
inline bool UnHex(std::string_view text, std::string* out) {
  if (text.size() % 2 != 0) return false;
  out->clear();
  out->reserve(text.size() / 2);
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = HexDigit(text[i]);
    int lo = HexDigit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi << 4 | lo));
  }
  return true;
}

}  // namespace qv
