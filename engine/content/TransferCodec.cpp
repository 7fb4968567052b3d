#include "engine/content/TransferCodec.h"

#include <algorithm>
#include <cstring>

#include "engine/foundation/MailMemory.h"

namespace content {

constexpr char kBase64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

constexpr uint32_t kBad = 1u << 24;

// Per byte its base64 value, and its bits at each of the four places of a
// group, laid out as the group's three bytes from the low end (kBad outside
// the alphabet): a whole group is then four loads and three ORs.
struct Base64Tables {
  int8_t value[256];
  uint32_t place[4][256];
  constexpr Base64Tables() : value(), place() {
    for (int c = 0; c < 256; ++c) {
      value[c] = -1;
      for (auto& p : place) p[c] = kBad;
    }
    for (uint32_t v = 0; v < 64; ++v) {
      auto c = static_cast<uint8_t>(kBase64Alphabet[v]);
      value[c] = static_cast<int8_t>(v);
      place[0][c] = v << 2;
      place[1][c] = v >> 4 | (v & 15) << 12;
      place[2][c] = (v >> 2) << 8 | (v & 3) << 22;
      place[3][c] = v << 16;
    }
  }
};
constexpr Base64Tables kBase64;

// The four characters of three bytes.
char* PutGroup(char* out, uint32_t v) {
  out[0] = kBase64Alphabet[v >> 18];
  out[1] = kBase64Alphabet[(v >> 12) & 63];
  out[2] = kBase64Alphabet[(v >> 6) & 63];
  out[3] = kBase64Alphabet[v & 63];
  return out + 4;
}

uint32_t GroupBits(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }

// The bytes of a group whose first `chars` characters (2 to 4) are data.
char* PutBytes(char* out, const char* g, int chars) {
  const int a = kBase64.value[static_cast<uint8_t>(g[0])], b = kBase64.value[static_cast<uint8_t>(g[1])];
  *out++ = static_cast<char>(a << 2 | b >> 4);
  if (chars < 3) return out;
  const int c = kBase64.value[static_cast<uint8_t>(g[2])];
  *out++ = static_cast<char>((b & 15) << 4 | c >> 2);
  if (chars < 4) return out;
  *out++ = static_cast<char>((c & 3) << 6 | kBase64.value[static_cast<uint8_t>(g[3])]);
  return out;
}

// Applies a fault to the run; false when it ended the text.
bool Apply(Base64DecodeState& s, CodecFault fault) {
  switch (fault) {
    case CodecFault::kPass:
      return true;
    case CodecFault::kCount:
      ++s.errors;
      return true;
    case CodecFault::kStop:
    case CodecFault::kFail:
      break;
  }
  s.halt = fault;
  return false;
}

char* CloseGroup(Base64DecodeState& s, char* out) {
  if (s.pending >= 2) out = PutBytes(out, s.chars, s.pending);
  s.pending = 0;
  return out;
}

// One character the whole-group path did not take; false when a fault ended
// the text.
bool TakeChar(Base64DecodeState& s, const Base64DecodeRules& rules, uint8_t c, char*& out) {
  if (c != '=' && kBase64.value[c] < 0) {
    if ((c == '\r' || c == '\n') && !rules.lineBreakIsStray) return true;
    return Apply(s, rules.stray);
  }
  if (c == '=' && rules.closeOpenGroups) {
    out = CloseGroup(s, out);
    return true;
  }
  if (s.finished && rules.dropAfterPad) return true;
  s.chars[s.pending++] = static_cast<char>(c);
  if (s.pending < 4) return true;
  s.pending = 0;
  if (s.finished && !Apply(s, rules.afterPad)) return false;
  const char* g = s.chars;
  if (g[0] == '=' || g[1] == '=') return Apply(s, rules.padInFront);
  if (g[2] == '=') {
    out = PutBytes(out, g, 2);
    s.finished = true;
    return g[3] == '=' || Apply(s, rules.oddPad);
  }
  out = PutBytes(out, g, g[3] == '=' ? 3 : 4);
  if (g[3] == '=') s.finished = true;
  return true;
}

constexpr unsigned kQpLineLength = 72;
constexpr char kHex[] = "0123456789ABCDEF";

// How the quoted-printable encoder writes each byte.
enum QpClass : uint8_t { kEscaped, kPlain, kBlank, kDot, kLineEnd };

constexpr bool IsQWordPlain(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' || c == '*' ||
         c == '+' || c == '-' || c == '/';
}

constexpr QpClass BodyClass(int c) {
  if (c == ' ' || c == '\t') return kBlank;
  if (c == '.') return kDot;  // at the start of a line it could end an SMTP transfer
  if (c == '\n') return kLineEnd;
  return c > 0x20 && c <= 0x7E && c != '=' ? kPlain : kEscaped;
}

struct QpTables {
  uint8_t body[256];
  uint8_t word[256];
  constexpr QpTables() : body(), word() {
    for (int c = 0; c < 256; ++c) {
      body[c] = BodyClass(c);
      word[c] = IsQWordPlain(c) ? kPlain : kEscaped;
    }
  }
};
constexpr QpTables kQp;

}  // namespace

int Base64Value(uint8_t c) { return kBase64.value[c]; }

// ---------------------------------------------------------------- base64 out

size_t Base64EncodeState::Most(const Base64EncodeRules& rules, size_t length) {
  const size_t chars = ((length + 2) / 3 + 1) * 4;  // with a group left open before
  return rules.lineLength > 0 ? chars + (chars / static_cast<size_t>(rules.lineLength) + 1) * 2 : chars;
}

char* Base64EncodeState::step(const Base64EncodeRules& rules, const uint8_t* in, size_t length, char* out) {
  const uint8_t* p = in;
  const uint8_t* const end = in + length;
  const int lineLength = rules.lineLength;
  int col = column;
  auto lineEnd = [&](size_t groups) {
    if (lineLength == 0) return;
    col += static_cast<int>(groups * 4);
    if (col < lineLength) return;
    *out++ = '\r';
    *out++ = '\n';
    col = 0;
  };
  if (size > 0) {  // the group the last chunk left open
    while (size < 3 && p < end) group[size++] = *p++;
    if (size < 3) return out;
    out = PutGroup(out, GroupBits(group));
    size = 0;
    lineEnd(1);
  }
  while (end - p >= 3) {
    auto groups = static_cast<size_t>(end - p) / 3;
    if (lineLength > 0) groups = std::min(groups, static_cast<size_t>(lineLength - col + 3) / 4);
    for (size_t i = 0; i < groups; ++i, p += 3) out = PutGroup(out, GroupBits(p));
    lineEnd(groups);
  }
  while (p < end) group[size++] = *p++;
  column = col;
  return out;
}

char* Base64EncodeState::finish(const Base64EncodeRules&, char* out) {
  if (size > 0) {
    const uint32_t v = uint32_t{group[0]} << 16 | (size > 1 ? uint32_t{group[1]} << 8 : 0);
    out = PutGroup(out, v);
    if (size == 1) out[-2] = '=';
    out[-1] = '=';
  }
  *this = Base64EncodeState{};
  return out;
}

// ----------------------------------------------------------------- base64 in

size_t Base64DecodeState::Most(const Base64DecodeRules&, size_t length) { return (length / 4 + 2) * 3; }

char* Base64DecodeState::step(const Base64DecodeRules& rules, const uint8_t* in, size_t length, char* out) {
  if (halt != CodecFault::kPass) return out;
  const uint8_t* p = in;
  const uint8_t* const end = in + length;
  while (p < end) {
    if (pending == 0 && !finished) {
      // Whole groups of alphabet characters, the common case, in one step.
      for (; end - p >= 4; p += 4) {
        const uint32_t x =
            kBase64.place[0][p[0]] | kBase64.place[1][p[1]] | kBase64.place[2][p[2]] | kBase64.place[3][p[3]];
        if (x & kBad) break;
        out[0] = static_cast<char>(x);
        out[1] = static_cast<char>(x >> 8);
        out[2] = static_cast<char>(x >> 16);
        out += 3;
      }
      if (p == end) break;
    }
    if (!TakeChar(*this, rules, *p++, out)) break;
  }
  return out;
}

char* Base64DecodeState::finish(const Base64DecodeRules& rules, char* out) {
  if (rules.closeOpenGroups) out = CloseGroup(*this, out);
  const int kept = errors;
  *this = Base64DecodeState{};
  errors = kept;
  return out;
}

// ------------------------------------------------------- quoted-printable out

size_t QpEncodeState::Most(const QpEncodeRules& rules, size_t length) {
  // "=XX" a byte, and in text a soft break after it ("=" LF LF at a line end).
  return rules.word ? length * 3 : length * 5 + 4;
}

char* QpEncodeState::step(const QpEncodeRules& rules, const uint8_t* in, size_t length, char* out) {
  const uint8_t* const table = rules.word ? kQp.word : kQp.body;
  const unsigned limit = rules.word ? ~0u : kQpLineLength;
  unsigned col = column;
  bool blank = blankLast;
  for (const uint8_t* p = in; p < in + length; ++p) {
    const uint8_t c = *p;
    const uint8_t kind = table[c];
    if (kind == kLineEnd) {
      // A blank before the line end would be lost in transit: a soft break
      // after it keeps it, and the hard line end follows.
      if (blank) {
        out[0] = '=';
        out[1] = '\n';
        out += 2;
      }
      *out++ = '\n';
      blank = false;
      col = 0;
      continue;
    }
    if (kind == kPlain || kind == kBlank || (kind == kDot && col != 0)) {
      *out++ = static_cast<char>(c);
      col += 1;
    } else {
      out[0] = '=';
      out[1] = kHex[c >> 4];
      out[2] = kHex[c & 15];
      out += 3;
      col += 3;
    }
    blank = kind == kBlank;
    if (col > limit) {
      out[0] = '=';
      out[1] = '\n';
      out += 2;
      col = 0;
    }
  }
  column = rules.word ? 0 : col;
  blankLast = blank;
  return out;
}

char* QpEncodeState::finish(const QpEncodeRules&, char* out) {
  if (column != 0) {
    out[0] = '=';
    out[1] = '\n';
    out += 2;
  }
  *this = QpEncodeState{};
  return out;
}

// -------------------------------------------------------- quoted-printable in

size_t QpDecodeState::Most(const QpDecodeRules&, size_t length) {
  // A bad escape kept as text gives its held digit with the byte that ends it.
  return length + 2;
}

char* QpDecodeState::step(const QpDecodeRules& rules, const uint8_t* in, size_t length, char* out) {
  const uint8_t* p = in;
  const uint8_t* const end = in + length;
  auto putByte = [&](int hi, int lo) {
    const auto byte = static_cast<uint8_t>(hi << 4 | lo);
    if (byte != '\r' || !rules.dropDecodedCr) *out++ = static_cast<char>(byte);
  };
  while (p < end) {
    if (escape == kText) {
      // Text up to the next "=".
      if (rules.underscoreIsBlank) {
        for (; p < end && *p != '='; ++p) *out++ = *p == '_' ? ' ' : static_cast<char>(*p);
      } else {
        for (; p < end && *p != '='; ++p) *out++ = static_cast<char>(*p);
      }
      if (p == end) break;
      // "=" and two hex digits not both 0, the common escape, in one step.
      if (end - p >= 3) {
        const int hi = foundation::HexDigitValue(p[1]), lo = foundation::HexDigitValue(p[2]);
        if ((hi | lo) > 0) {
          putByte(hi, lo);
          p += 3;
          continue;
        }
      }
      ++p;
      escape = kEquals;
      continue;
    }
    const uint8_t c = *p++;
    const bool lineBreak = c == '\r' || c == '\n';
    if (escape == kBreak) {
      escape = kText;
      if (lineBreak && c != held) continue;  // the other half of the pair
      --p;                                   // anything else is text again
      continue;
    }
    if (rules.softBreak == QpSoftBreak::kLfInEscape ? c == '\n' : escape == kEquals && lineBreak) {
      escape = rules.softBreak == QpSoftBreak::kBreakPair ? kBreak : kText;
      held = c;
      continue;
    }
    if (escape == kEquals) {
      held = c;
      escape = kDigit;
      continue;
    }
    escape = kText;
    int hi = foundation::HexDigitValue(held), lo = foundation::HexDigitValue(c);
    if (rules.badEscapeAsText && (hi < 0 || lo < 0 || (hi | lo) == 0)) {
      out[0] = static_cast<char>(held);
      out[1] = static_cast<char>(c);
      out += 2;
      continue;
    }
    if (hi < 0) hi = 0x7F;
    if (lo < 0) lo = 0x7F;
    putByte(hi, lo);
  }
  return out;
}

char* QpDecodeState::finish(const QpDecodeRules& rules, char* out) {
  if (rules.keepCutEscape && (escape == kEquals || escape == kDigit)) {
    *out++ = '=';
    if (escape == kDigit) *out++ = static_cast<char>(held);
  }
  *this = QpDecodeState{};
  return out;
}

}  // namespace content
