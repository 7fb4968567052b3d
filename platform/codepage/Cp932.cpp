// CP932 conversion over flat tables built at compile time from the generated
// mapping: one lookup per character, no branches beyond the lead-byte test.
#include "platform/codepage/CodePage.h"

#include "platform/base/WinFormat.h"
#include "platform/codepage/Conversion.h"

namespace qv::codepage {
namespace {

#include "platform/codepage/Cp932Table.inc"

constexpr uint16_t kLeadMark = 0xFFFF;

struct Tables {
  uint16_t decode[0x10000];  // (lead << 8 | trail) -> code point; 0: unmapped
  uint16_t encode[0x10000];  // code point -> bytes packed high-first; 0: unmapped (U+0000 is handled apart)
};

constexpr Tables BuildTables() {
  Tables t{};
  int row = 0;
  for (int lead = 0x80; lead < 0x100; ++lead) {
    if (kCp932Single[lead] != kLeadMark) continue;
    for (int i = 0; i < kCp932RowLength; ++i) t.decode[lead << 8 | (0x40 + i)] = kCp932Rows[row][i];
    ++row;
  }
  // Every sequence in ascending order encodes its character unless it is one
  // of the listed duplicates (the list is ascending too).
  size_t skip = 0;
  constexpr size_t kSkipCount = sizeof kCp932DecodeOnly / sizeof kCp932DecodeOnly[0];
  for (int code = 1; code < 0x10000; ++code) {
    uint16_t u = code < 0x100 ? kCp932Single[code] : t.decode[code];
    if (code < 0x100 && u == kLeadMark) continue;
    if (u == 0) continue;
    if (skip < kSkipCount && kCp932DecodeOnly[skip] == code) {
      ++skip;
      continue;
    }
    t.encode[u] = static_cast<uint16_t>(code);
  }
  return t;
}

constexpr Tables kTables = BuildTables();

// No pair maps with a trail outside 40-7E, 80-FC: whether a lead takes the
// next byte along depends on that byte alone.
constexpr bool OnlyTrailsMap() {
  for (int code = 0x8000; code < 0x10000; ++code) {
    auto t = static_cast<uint8_t>(code);
    if (kTables.decode[code] != 0 && (t < 0x40 || t == 0x7F || t > 0xFC)) return false;
  }
  return true;
}
static_assert(OnlyTrailsMap());

constexpr bool IsTrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// kChecked: the output may run out (else the caller made room for the worst case).
template <bool kWrite, bool kChecked>
Result DecodeLoop(const uint8_t* in, size_t n, wchar_t* out, size_t cap, bool strict) {
  Result r;
  size_t o = 0;
  size_t i = 0;
  while (i < n) {
    uint8_t b = in[i];
    if (b < 0x80) {
      if (!TakeAsciiRun<kWrite, kChecked>(in, n, i, out, cap, o)) return {o, ERROR_INSUFFICIENT_BUFFER, false};
      continue;
    }
    wchar_t u = kCp932Single[b];
    size_t used = 1;
    if (u == kLeadMark) {
      if (i + 1 < n) {
        uint8_t t = in[i + 1];
        u = kTables.decode[b << 8 | t];
        if (u != 0) {
          used = 2;
        } else {
          // A pair with a trail byte in range is one unmapped character; a
          // byte outside that range is not swallowed but read on its own.
          if (strict) return {o, ERROR_NO_UNICODE_TRANSLATION, false};
          u = kCp932Replacement;
          if (IsTrailByte(t)) used = 2;
        }
      } else {
        if (strict) return {o, ERROR_NO_UNICODE_TRANSLATION, false};
        u = kCp932Replacement;
      }
    }
    if constexpr (kChecked) {
      if (o == cap) return {o, ERROR_INSUFFICIENT_BUFFER, false};
    }
    if constexpr (kWrite) out[o] = u;
    ++o;
    i += used;
  }
  r.count = o;
  return r;
}

// The count of a lenient decode: no table beyond the lead-byte test.
Result CountLoop(const uint8_t* in, size_t n) {
  size_t o = 0, i = 0;
  while (i < n) {
    uint8_t b = in[i];
    if (b < 0x80) {
      TakeAsciiRun<false, false>(in, n, i, nullptr, 0, o);
      continue;
    }
    i += kCp932Single[b] == kLeadMark && i + 1 < n && IsTrailByte(in[i + 1]) ? 2 : 1;
    ++o;
  }
  Result r;
  r.count = o;
  return r;
}

template <bool kWrite, bool kChecked>
Result EncodeLoop(const wchar_t* in, size_t n, uint8_t* out, size_t cap, uint16_t defaultChar) {
  Result r;
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = static_cast<uint32_t>(in[i]);
    uint32_t v;
    if (c < 0x80) {
      v = c;
    } else if (c < 0x10000 && kTables.encode[c] != 0) {
      v = kTables.encode[c];
    } else {
      v = defaultChar;
      r.usedDefault = true;
    }
    if (v < 0x100) {
      if constexpr (kChecked) {
        if (o + 1 > cap) return {o, ERROR_INSUFFICIENT_BUFFER, r.usedDefault};
      }
      if constexpr (kWrite) out[o] = static_cast<uint8_t>(v);
      o += 1;
    } else {
      if constexpr (kChecked) {
        if (o + 2 > cap) return {o, ERROR_INSUFFICIENT_BUFFER, r.usedDefault};
      }
      if constexpr (kWrite) {
        out[o] = static_cast<uint8_t>(v >> 8);
        out[o + 1] = static_cast<uint8_t>(v);
      }
      o += 2;
    }
  }
  r.count = o;
  return r;
}

}  // namespace

bool IsCp932LeadByte(uint8_t byte) { return kCp932Single[byte] == kLeadMark; }

Result Cp932Decode(const uint8_t* in, size_t n, wchar_t* out, size_t cap, bool strict) {
  if (out == nullptr) return strict ? DecodeLoop<false, false>(in, n, out, cap, strict) : CountLoop(in, n);
  // One byte never makes more than one character.
  if (cap >= n) return DecodeLoop<true, false>(in, n, out, cap, strict);
  return DecodeLoop<true, true>(in, n, out, cap, strict);
}

Result Cp932Encode(const wchar_t* in, size_t n, uint8_t* out, size_t cap, uint16_t defaultChar) {
  if (out == nullptr) return EncodeLoop<false, false>(in, n, out, cap, defaultChar);
  if (cap / 2 >= n) return EncodeLoop<true, false>(in, n, out, cap, defaultChar);
  return EncodeLoop<true, true>(in, n, out, cap, defaultChar);
}

}  // namespace qv::codepage

namespace qv {

std::wstring Cp932ToWide(std::string_view bytes) {
  std::wstring out(bytes.size(), L'\0');
  codepage::Result r = codepage::Cp932Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                             out.data(), out.size(), false);
  out.resize(r.count);
  return out;
}

std::string WideToCp932(std::wstring_view text, bool* usedDefault) {
  std::string out(text.size() * 2, '\0');
  codepage::Result r = codepage::Cp932Encode(text.data(), text.size(), reinterpret_cast<uint8_t*>(out.data()),
                                             out.size(), codepage::kCp932DefaultChar);
  out.resize(r.count);
  if (usedDefault) *usedDefault = r.usedDefault;
  return out;
}

namespace {

std::string WideToCp932Text(std::wstring_view text) { return WideToCp932(text, nullptr); }

// The formatter's "%S" and "%C" speak the device's code page from the moment
// the platform is loaded.
const bool g_formatCodec = [] {
  SetFormatNarrowCodec({Cp932ToWide, WideToCp932Text});
  return true;
}();

}  // namespace

bool Cp932DecodeChar(uint16_t code, wchar_t* out) {
  uint16_t u;
  if (code < 0x100) {
    u = codepage::kCp932Single[code];
    if (u == codepage::kLeadMark) return false;
  } else {
    u = codepage::kTables.decode[code];
    if (u == 0) return false;
  }
  if (out) *out = u;
  return true;
}

bool Cp932EncodeChar(wchar_t c, uint16_t* out) {
  uint32_t u = static_cast<uint32_t>(c);
  uint16_t v;
  if (u < 0x80) {
    v = static_cast<uint16_t>(u);
  } else if (u < 0x10000 && codepage::kTables.encode[u] != 0) {
    v = codepage::kTables.encode[u];
  } else {
    return false;
  }
  if (out) *out = v;
  return true;
}

}  // namespace qv
