#include "engine/content/TransferText.h"

#include "engine/content/CharsetText.h"
#include "engine/content/MailCodec.h"
#include "engine/foundation/MailMemory.h"

namespace content {

void DecodeBase64Text(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() / 4 * 3 + 3);
  uint32_t bits = 0;
  int count = 0;
  // A short group gives one or two bytes.
  auto finishGroup = [&] {
    if (count == 2) {
      out.push_back(static_cast<char>(bits >> 4));
    } else if (count == 3) {
      out.push_back(static_cast<char>(bits >> 10));
      out.push_back(static_cast<char>(bits >> 2));
    }
    bits = 0;
    count = 0;
  };
  for (char ch : text) {
    // Padding closes its group: text made of separately encoded chunks
    // ("TQ==TWFu") goes on at a group boundary instead of misaligned.
    if (ch == '=') {
      finishGroup();
      continue;
    }
    int v = Base64Value(static_cast<uint8_t>(ch));
    if (v < 0) continue;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>(bits >> 16));
      out.push_back(static_cast<char>(bits >> 8));
      out.push_back(static_cast<char>(bits));
      bits = 0;
      count = 0;
    }
  }
  finishGroup();
}

int DecodeUuLine(std::string& out, std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line[0] == '`' || line[0] == ' ') return 0;
  auto lengthChar = static_cast<unsigned char>(line[0]);
  if (lengthChar < 0x20 || lengthChar > 0x4D) return -2;
  int want = lengthChar - 0x20;
  std::string bytes;
  size_t i = 1;
  // The groups are bounded by the line: a length that claims more than the
  // line holds ends in a count mismatch, never a read past it.
  while (static_cast<int>(bytes.size()) < want && i < line.size()) {
    int v[4] = {0, 0, 0, 0};
    int have = 0;
    for (; have < 4 && i < line.size(); ++have, ++i) {
      auto c = static_cast<unsigned char>(line[i]);
      int value = c == '`' ? 0 : c - 0x20;
      if (value < 0 || value >= 64) return -1;
      v[have] = value;
    }
    if (have < 2) break;
    int give = want - static_cast<int>(bytes.size());
    if (give > have - 1) give = have - 1;
    if (give > 0) bytes.push_back(static_cast<char>(v[0] << 2 | v[1] >> 4));
    if (give > 1) bytes.push_back(static_cast<char>((v[1] & 15) << 4 | v[2] >> 2));
    if (give > 2) bytes.push_back(static_cast<char>((v[2] & 3) << 6 | v[3]));
  }
  if (static_cast<int>(bytes.size()) != want) return -3;
  out += bytes;
  return want;
}

int DecodeUuText(std::string_view text, std::string& out) {
  out.clear();
  size_t begin = text.find("begin ");
  if (begin == std::string_view::npos) return 0;
  size_t lineEnd = text.find('\n', begin);
  if (lineEnd == std::string_view::npos) return 0;
  size_t pos = lineEnd + 1;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    if (DecodeUuLine(out, text.substr(pos, end - pos)) <= 0) break;
    pos = end + 1;
  }
  return 1;
}

std::string DecodeQuotedPrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t n = text.size(), i = 0;
  while (i < n) {
    char c = text[i];
    if (c != '=') {
      out.push_back(c);
      ++i;
      continue;
    }
    // Soft breaks: "=" followed by CR LF, LF CR, LF or CR.
    if (i + 1 < n && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
      size_t skip = 2;
      if (i + 2 < n && (text[i + 2] == '\r' || text[i + 2] == '\n') && text[i + 2] != text[i + 1]) skip = 3;
      i += skip;
      continue;
    }
    if (i + 2 >= n) {  // an escape cut by the end stays as text
      out.append(text.substr(i));
      break;
    }
    int hi = foundation::HexDigitValue(static_cast<unsigned char>(text[i + 1]));
    int lo = foundation::HexDigitValue(static_cast<unsigned char>(text[i + 2]));
    int value = (hi < 0 || lo < 0) ? 0 : hi << 4 | lo;
    if (value != 0)
      out.push_back(static_cast<char>(value));
    else
      out.append(text.substr(i + 1, 2));
    i += 3;
  }
  return out;
}

void EncodeQuotedPrintableJis(std::string& out, std::wstring_view text) {
  std::string jis = WStringToJis(text);
  std::string coded;
  QpEncoder encoder;
  encoder.put(jis, coded, false, true);
  out.swap(coded);
}

}  // namespace content
