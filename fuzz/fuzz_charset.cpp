// Charset detection and the ISO-2022-JP / EUC-JP readers over any bytes; the
// Shift_JIS that comes out must survive a trip through ISO-2022-JP.
#include <cstdint>
#include <string>

#include "engine/content/JapaneseCharset.h"
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
  std::string tokens = in;
  TokensToPictographs(tokens);
  ReplaceUnmappableSjis(tokens);
  std::string jis;
  SjisToJis(in, jis);
  std::string back = jis;
  JisToSjis(back);
  std::string eucOut = in;
  SjisToEuc(eucOut);
  return 0;
}
