#include "engine/content/TransferText.h"

#include "engine/public/content/CharsetText.h"
#include "engine/content/TransferCodec.h"

namespace content {

void DecodeBase64Text(std::string_view text, std::string& out) {
  out.clear();
  Base64DecodeState state;
  AppendStep(out, state, kBase64DecodeLenient, text, true);
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
  QpDecodeState state;
  AppendStep(out, state, kQpDecodeText, text, true);
  return out;
}

void EncodeQuotedPrintableJis(std::string& out, std::wstring_view text) {
  const std::string jis = WStringToJis(text);
  out.clear();
  // Unfinished: the text's last line keeps no soft break after it.
  QpEncodeState state;
  AppendStep(out, state, kQpEncodeBody, jis, false);
}

}  // namespace content
