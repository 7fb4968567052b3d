// Scans over runs of ASCII bytes, sixteen bytes a step: mail text is mostly
// ASCII, and the converters only have work to do at a high byte or at a few
// control bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qv {

namespace ascii_scan_detail {

// Sixteen bytes as one vector: the compiler's own SIMD where there is one.
using Lanes = signed char __attribute__((vector_size(16)));

template <unsigned char... kStops>
inline bool AnyStop(const char* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  Lanes hit = v < 0;  // a high byte
  ((hit |= v == static_cast<signed char>(kStops)), ...);
  uint64_t halves[2];
  std::memcpy(halves, &hit, sizeof halves);
  return (halves[0] | halves[1]) != 0;
}

}  // namespace ascii_scan_detail

// Length of the leading run of bytes below 0x80 that are none of `kStops`.
template <unsigned char... kStops>
inline size_t AsciiRun(const char* p, size_t n) {
  size_t i = 0;
  for (; i + 32 <= n; i += 32)
    if (ascii_scan_detail::AnyStop<kStops...>(p + i) || ascii_scan_detail::AnyStop<kStops...>(p + i + 16)) break;
  for (; i < n; ++i) {
    auto c = static_cast<unsigned char>(p[i]);
    if (c >= 0x80 || (false || ... || (c == kStops))) break;
  }
  return i;
}

}  // namespace qv
