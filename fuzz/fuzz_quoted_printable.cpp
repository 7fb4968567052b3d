// The quoted-printable decoders over any bytes, and the encoder's output
// decoding back to its input.
#include <cstdint>
#include <string>

#include "engine/content/MailCodec.h"
#include "engine/content/TransferText.h"

using namespace content;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  std::string whole, split;
  QpDecoder a;
  a.put(in, whole, true);
  size_t cut = size ? data[0] % (size + 1) : 0;
  QpDecoder b;
  b.put(std::string_view(in).substr(0, cut), split, false);
  b.put(std::string_view(in).substr(cut), split, true);
  if (whole != split) __builtin_trap();
  if (DecodeQuotedPrintableText(in).size() > size) __builtin_trap();

  // Encoded text decodes back to itself, CR aside (the stream decoder drops it).
  std::string noCr;
  for (char c : in)
    if (c != '\r') noCr.push_back(c);
  std::string coded, decoded;
  QpEncoder enc;
  enc.put(noCr, coded, true);
  QpDecoder dec;
  dec.put(coded, decoded, true);
  if (decoded != noCr) __builtin_trap();
  return 0;
}
