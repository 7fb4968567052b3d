// UTF-8 conversion. An ill-formed sequence becomes one U+FFFD per maximal
// subpart (the longest prefix that could still have become a character), the
// way current Windows and the Unicode standard replace it.
#include "platform/codepage/Conversion.h"

namespace qv::codepage {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Number of bytes a valid sequence starting at in[0] takes (0: ill-formed,
// with *bad set to the length of the maximal subpart to replace).
inline size_t SequenceLength(const uint8_t* in, size_t n, uint32_t* cp, size_t* bad) {
  uint8_t b = in[0];
  size_t len;
  uint8_t lo = 0x80;
  uint8_t hi = 0xBF;
  uint32_t c;
  if (b < 0xC2) {
    *bad = 1;  // continuation byte or overlong two-byte lead
    return 0;
  } else if (b < 0xE0) {
    len = 2;
    c = b & 0x1F;
  } else if (b < 0xF0) {
    len = 3;
    c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;       // overlong
    else if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b < 0xF5) {
    len = 4;
    c = b & 0x07;
    if (b == 0xF0) lo = 0x90;       // overlong
    else if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    *bad = 1;
    return 0;
  }
  for (size_t k = 1; k < len; ++k) {
    if (k >= n || in[k] < lo || in[k] > hi) {
      *bad = k;
      return 0;
    }
    c = c << 6 | (in[k] & 0x3F);
    lo = 0x80;
    hi = 0xBF;
  }
  *cp = c;
  return len;
}

template <bool kWrite, bool kChecked>
Result DecodeLoop(const uint8_t* in, size_t n, wchar_t* out, size_t cap, bool strict) {
  size_t o = 0;
  size_t i = 0;
  while (i < n) {
    uint32_t c = in[i];
    if (c < 0x80) {
      if (!TakeAsciiRun<kWrite, kChecked>(in, n, i, out, cap, o)) return {o, ERROR_INSUFFICIENT_BUFFER, false};
      continue;
    }
    size_t bad = 0;
    size_t used = SequenceLength(in + i, n - i, &c, &bad);
    if (used == 0) {
      if (strict) return {o, ERROR_NO_UNICODE_TRANSLATION, false};
      c = kReplacement;
      used = bad;
    }
    if constexpr (kChecked) {
      if (o == cap) return {o, ERROR_INSUFFICIENT_BUFFER, false};
    }
    if constexpr (kWrite) out[o] = static_cast<wchar_t>(c);
    ++o;
    i += used;
  }
  return {o, 0, false};
}

template <bool kWrite, bool kChecked>
Result EncodeLoop(const wchar_t* in, size_t n, uint8_t* out, size_t cap, bool strict) {
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = static_cast<uint32_t>(in[i]);
    if (c >= 0xD800 && c <= 0xDFFF) {
      // A surrogate pair left in the text is one character; a lone half is not.
      uint32_t next = i + 1 < n ? static_cast<uint32_t>(in[i + 1]) : 0;
      if (c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
        ++i;
      } else {
        if (strict) return {o, ERROR_NO_UNICODE_TRANSLATION, false};
        c = kReplacement;
      }
    } else if (c > 0x10FFFF) {
      if (strict) return {o, ERROR_NO_UNICODE_TRANSLATION, false};
      c = kReplacement;
    }
    size_t len = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if constexpr (kChecked) {
      if (o + len > cap) return {o, ERROR_INSUFFICIENT_BUFFER, false};
    }
    if constexpr (kWrite) {
      switch (len) {
        case 1:
          out[o] = static_cast<uint8_t>(c);
          break;
        case 2:
          out[o] = static_cast<uint8_t>(0xC0 | c >> 6);
          out[o + 1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
          break;
        case 3:
          out[o] = static_cast<uint8_t>(0xE0 | c >> 12);
          out[o + 1] = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
          out[o + 2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
          break;
        default:
          out[o] = static_cast<uint8_t>(0xF0 | c >> 18);
          out[o + 1] = static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F));
          out[o + 2] = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
          out[o + 3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
          break;
      }
    }
    o += len;
  }
  return {o, 0, false};
}

}  // namespace

Result Utf8Decode(const uint8_t* in, size_t n, wchar_t* out, size_t cap, bool strict) {
  if (out == nullptr) return DecodeLoop<false, false>(in, n, out, cap, strict);
  if (cap >= n) return DecodeLoop<true, false>(in, n, out, cap, strict);
  return DecodeLoop<true, true>(in, n, out, cap, strict);
}

Result Utf8Encode(const wchar_t* in, size_t n, uint8_t* out, size_t cap, bool strict) {
  if (out == nullptr) return EncodeLoop<false, false>(in, n, out, cap, strict);
  if (cap / 4 >= n) return EncodeLoop<true, false>(in, n, out, cap, strict);
  return EncodeLoop<true, true>(in, n, out, cap, strict);
}

}  // namespace qv::codepage
