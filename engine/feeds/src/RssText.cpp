#include "engine/feeds/src/RssText.h"

#include "engine/content/MimeSupport.h"

namespace feeds {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::wstring PercentDecoded(const std::wstring& text) {
  const std::string bytes = content::NarrowSjis(text);
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '%' && i + 2 < bytes.size() && HexDigit(bytes[i + 1]) >= 0 && HexDigit(bytes[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(bytes[i + 1]) * 16 + HexDigit(bytes[i + 2]));
      i += 2;
    } else {
      out += bytes[i];
    }
  }
  return content::WidenSjis(out);
}

std::wstring HeaderSafe(std::wstring text) {
  std::erase_if(text, [](wchar_t c) { return (c < 0x20 && c != L'\t') || c == 0x7F; });
  return text;
}

}  // namespace feeds
