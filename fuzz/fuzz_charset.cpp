// Charset detection and the ISO-2022-JP / EUC-JP readers over any bytes. The
// readers only shrink the text, and the ISO-2022-JP made from any text holds
// only JIS X 0208 rows and cells between ESC $ B and the next escape. Plain
// ASCII passes every reader unchanged; widened text ends every line in CR LF.
#include <cstdint>
#include <string>

#include "engine/content/JapaneseCharset.h"
#include "engine/content/MimeSupport.h"
#include "engine/content/Pictograph.h"

using namespace content;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  CharsetKind kind = DetectCharset(in);
  if (kind < kCharsetAscii || kind > kCharsetEuc) __builtin_trap();
  DetectCharsetHtml(in);
  std::string sjis = in;
  JisToSjis(sjis);
  if (sjis.size() > in.size()) __builtin_trap();  // the reader only shrinks
  std::string euc = in;
  EucToSjis(euc);
  if (euc.size() > in.size()) __builtin_trap();
  // Text the decoder widens without a copy must be text no reader changes.
  if (IsUnshiftedAscii(in) && (sjis != in || euc != in || kind != kCharsetAscii)) __builtin_trap();
  std::wstring wide = WidenSjisCrLf(in);
  for (size_t i = 0; i < wide.size(); ++i)
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) __builtin_trap();
  std::string tokens = in;
  TokensToPictographs(tokens);
  ReplaceUnmappableSjis(tokens);
  std::string jis;
  SjisToJis(in, jis);
  // An escape in the input is copied as text and would read as a mode change.
  if (in.find('\x1B') == std::string::npos) {
    bool kanji = false;
    for (size_t i = 0; i < jis.size(); ++i) {
      if (jis[i] == '\x1B' && i + 2 < jis.size()) {
        kanji = jis[i + 1] == '$';
        i += 2;
        continue;
      }
      auto c = static_cast<uint8_t>(jis[i]);
      if (kanji && (c < 0x21 || c > 0x7E)) __builtin_trap();
    }
  }
  std::string back = jis;
  JisToSjis(back);
  std::string eucOut = in;
  SjisToEuc(eucOut);
  return 0;
}
