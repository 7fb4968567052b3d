#include "platform/base/WideText.h"

namespace qv {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsSurrogate(uint32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, uint32_t c) {
  if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacement;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length (1 for an
// invalid byte, which then stands for one U+FFFD).
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t* out) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) {
    *out = b0;
    return 1;
  }
  size_t len;
  uint32_t c;
  uint32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    *out = kReplacement;
    return 1;
  }
  if (i + len > text.size()) {
    *out = kReplacement;
    return 1;
  }
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      *out = kReplacement;
      return 1;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || IsSurrogate(c)) {
    *out = kReplacement;
    return 1;
  }
  *out = c;
  return len;
}

}  // namespace

std::u16string WideToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t wc : text) {
    auto c = static_cast<uint32_t>(wc);
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else if (c <= 0x10FFFF) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
    }
  }
  return out;
}

std::wstring Utf16ToWide(std::u16string_view units) {
  std::wstring out;
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
      ++i;
    } else {
      out.push_back(static_cast<wchar_t>(u));
    }
  }
  return out;
}

size_t Utf16Length(std::wstring_view text) {
  size_t n = 0;
  for (wchar_t c : text) n += (static_cast<uint32_t>(c) > 0xFFFF && static_cast<uint32_t>(c) <= 0x10FFFF) ? 2 : 1;
  return n;
}

std::wstring TruncateUtf16(std::wstring_view text, size_t maxUnits) {
  size_t units = 0;
  size_t i = 0;
  for (; i < text.size(); ++i) {
    const auto c = static_cast<uint32_t>(text[i]);
    const size_t w = (c > 0xFFFF && c <= 0x10FFFF) ? 2 : 1;
    if (units + w > maxUnits) break;
    units += w;
  }
  return std::wstring(text.substr(0, i));
}

std::string WideToUtf16LE(std::wstring_view text) {
  const std::u16string units = WideToUtf16(text);
  std::string out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

std::wstring Utf16LEToWide(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return Utf16ToWide(units);
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) AppendUtf8(out, static_cast<uint32_t>(c));
  return out;
}

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t c;
    i += DecodeUtf8(text, i, &c);
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

// Folds to upper case, the way the device orders and compares names.
wchar_t FoldCase(wchar_t wc) {
  const auto c = static_cast<uint32_t>(wc);
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<wchar_t>(c - 0x20) : wc;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  if (c == 0xFF) return static_cast<wchar_t>(0x178);
  if (c >= 0x100 && c <= 0x17F) {
    const bool pairOdd = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool pairEven = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (pairOdd && (c & 1)) return static_cast<wchar_t>(c - 1);
    if (pairEven && !(c & 1)) return static_cast<wchar_t>(c - 1);
    return wc;
  }
  if (c == 0x3C2) return static_cast<wchar_t>(0x3A3);
  if (c >= 0x3B1 && c <= 0x3C9) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<wchar_t>(c - 0x20);
  return wc;
}

std::wstring FoldCase(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = FoldCase(c);
  return out;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace qv
