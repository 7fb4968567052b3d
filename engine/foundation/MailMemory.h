// The memory guard run before every large copy of mail text, and the digit
// helpers the parsers share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace foundation {

// Sizes below 51200 pass at once; larger ones probe an allocation of
// size + 100 bytes. Returns 0x2000000, or 0x2000401 when the heap is short.
uint32_t CheckHeapRoom(size_t size);

// Value of a decimal digit, or -1.
inline int DigitValue(int c) { return (c >= '0' && c <= '9') ? c - '0' : -1; }
// Value of a hexadecimal digit of either case, or -1.
inline int HexDigitValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
// Appends `value` in upper-case hex of at least `width` digits, as "%0*X"
// writes it, to a narrow or wide string: the store's records and paths are
// made for every message, and the formatter is too dear for a few digits.
template <class String>
inline void AppendHex(String* out, uint32_t value, int width) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int pad = n; pad < width; ++pad) out->push_back('0');
  while (n > 0) out->push_back(static_cast<typename String::value_type>(digits[--n]));
}

}  // namespace foundation
