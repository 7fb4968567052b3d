#include "engine/content/HeaderWords.h"

#include "engine/public/content/CharsetText.h"
#include "engine/content/HeaderText.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/TransferCodec.h"

namespace content {
namespace {

constexpr size_t kWordStartChars = 8;   // characters a word starts with
constexpr size_t kWordJisBytes = 29;  // a word grows while its JIS form is shorter

bool IsFoldBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Run {
  std::string payload;
  std::string charset;
  char letter = 0;
  bool open = false;
};

}  // namespace

std::string EncodeHeaderWord(std::wstring_view input, bool b) {
  std::wstring text = WithoutLineBreaksW(input);
  std::string out;
  if (IsAsciiW(text)) {
    WStringToSjis(text, out);
    return out;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t len = std::min(kWordStartChars, text.size() - start);
    std::string jis = WStringToJis(std::wstring_view(text).substr(start, len));
    while (jis.size() < kWordJisBytes && start + len < text.size()) {
      ++len;
      jis = WStringToJis(std::wstring_view(text).substr(start, len));
    }
    if (start != 0) out.append("\n ");
    out.append(b ? "=?iso-2022-jp?b?" : "=?iso-2022-jp?q?");
    if (b) {
      Base64EncodeState state;
      AppendStep(out, state, kBase64EncodeLines, jis, true);
    } else {
      QpEncodeState state;
      AppendStep(out, state, kQpEncodeWord, jis, true);
    }
    out.append("?=");
    start += len;
  }
  return out;
}

void DecodeEncodedPayload(std::string& out, std::string_view payload, char letter, std::string_view charset) {
  std::string bytes;
  if (letter == 'b') {
    Base64DecodeState state;
    AppendStep(bytes, state, kBase64DecodeMime, payload, true);
  } else {
    QpDecodeState state;
    AppendStep(bytes, state, kQpDecodeWord, payload, true);
  }
  if (EqualsNoCase(charset, "iso-2022-jp"))
    JisToSjis(bytes);
  else if (EqualsNoCase(charset, "euc-jp"))
    EucToSjis(bytes);
  else if (EqualsNoCase(charset, "utf-8"))
    Utf8ToSjisInPlace(bytes);
  out += bytes;
}

std::string DecodeHeaderWords(std::string_view value, bool blank) {
  std::string out;
  Run run;
  bool decodedAny = false;
  auto flushRun = [&] {
    if (run.open) DecodeEncodedPayload(out, run.payload, run.letter, run.charset);
    run = Run{};
  };
  size_t pos = 0;
  for (;;) {
    size_t start = value.find("=?", pos);
    if (start == std::string_view::npos) break;
    std::string_view raw = value.substr(pos, start - pos);
    std::string between = CollapseBlanks(TrimBlanks(raw));
    if (!between.empty()) {
      flushRun();
      // Blanks between a word and plain text separate them and are kept;
      // only blanks between two words go.
      if (!out.empty() && out.back() != ' ' && IsFoldBlank(raw.front())) out.push_back(' ');
      out += between;
      if (blank || IsFoldBlank(raw.back())) out.push_back(' ');
    }
    size_t q1 = value.find('?', start + 2);
    size_t q2 = q1 == std::string_view::npos ? q1 : value.find('?', q1 + 1);
    size_t close = q2 == std::string_view::npos ? q2 : value.find("?=", q2 + 1);
    if (close == std::string_view::npos) {
      flushRun();
      out.append(value.substr(start));
      pos = value.size();
      break;
    }
    std::string_view charset = value.substr(start + 2, q1 - start - 2);
    std::string letter = ToLower(value.substr(q1 + 1, q2 - q1 - 1));
    std::string_view payload = value.substr(q2 + 1, close - q2 - 1);
    pos = close + 2;
    if (letter != "b" && letter != "q") {
      flushRun();
      out.append(value.substr(start, pos - start));
      continue;
    }
    if (!(run.open && run.letter == letter[0] && EqualsNoCase(run.charset, charset))) {
      flushRun();
      run.open = true;
      run.letter = letter[0];
      run.charset.assign(charset);
    }
    run.payload.append(payload);
    decodedAny = true;
  }
  flushRun();
  if (!decodedAny) {
    std::string whole(value);
    CharsetKind kind = DetectCharset(whole);
    if (kind == kCharsetJis)
      JisToSjis(whole);
    else if (kind == kCharsetEuc)
      EucToSjis(whole);
    return whole;
  }
  out.append(value.substr(pos));
  return out;
}

}  // namespace content
