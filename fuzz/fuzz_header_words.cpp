// RFC 2047 words in header values, unfolding and parameters over any bytes.
#include <cstdint>
#include <string>

#include "engine/content/AddressField.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"

using namespace content;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  std::string decoded = DecodeHeaderWords(in, true);
  DecodeHeaderWords(in, false);
  std::string unfolded = in;
  UnfoldHeader(unfolded, true, true);
  size_t pos = 0;
  std::string line, name, value;
  while (NextHeaderLine(in, pos, line)) {
    size_t p = 0;
    while (ParseHeaderParam(line, p, name, value)) {
    }
  }
  std::string address, display;
  SplitAddress(in, address, display);
  for (const auto& field : SplitCommaList(in)) AddressOf(field);
  std::wstring wide;
  for (unsigned char c : in) wide.push_back(static_cast<wchar_t>(c));
  // A made field never starts a header line of its own: line breaks only
  // fold between encoded words.
  for (bool b : {true, false}) {
    std::string field = MakeAddressField(wide, wide, b);
    for (size_t i = 0; i < field.size(); ++i) {
      if (field[i] == '\r' || field[i] == '\0') __builtin_trap();
      if (field[i] == '\n' && (i + 1 >= field.size() || field[i + 1] != ' ')) __builtin_trap();
    }
  }
  return 0;
}
