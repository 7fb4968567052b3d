// The base64 decoders over any bytes: the streaming codec must give the same
// output fed whole or in two chunks, and the group decoder must stop at the
// terminator of a short text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/content/Base64.h"
#include "engine/content/MailCodec.h"
#include "engine/content/TransferText.h"

using namespace content;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  std::string whole, split;
  Base64Decoder a;
  a.put(in, whole, true);
  size_t cut = size ? data[0] % (size + 1) : 0;
  Base64Decoder b;
  b.put(std::string_view(in).substr(0, cut), split, false);
  b.put(std::string_view(in).substr(cut), split, true);
  if (whole != split) __builtin_trap();
  if (whole.size() > size) __builtin_trap();

  std::string text;
  DecodeBase64Text(in, text);
  // A terminated copy of exactly the input's size: reading past it is caught.
  char* exact = static_cast<char*>(std::malloc(size + 1));
  std::memcpy(exact, data, size);
  exact[size] = '\0';
  std::string groups;
  Base64DecodeGroup(groups, exact, -1);
  Base64DecodeGroup(groups, exact, static_cast<int>(size));
  std::free(exact);

  Base64StreamState st1, st2;
  std::string s1, s2;
  int r1 = Base64DecodeStream(st1, in, s1);
  if (r1 >= 0 && s1.size() > size) __builtin_trap();
  Base64DecodeStream(st2, std::string_view(in).substr(0, cut), s2);
  Base64DecodeStream(st2, std::string_view(in).substr(cut), s2);
  return 0;
}
