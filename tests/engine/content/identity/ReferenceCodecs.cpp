#include "tests/engine/content/identity/ReferenceCodecs.h"

#include <cstdint>
#include <cstring>

#include "engine/public/content/CharsetText.h"
#include "engine/public/content/EmlCompose.h"
#include "engine/content/JapaneseCharset.h"
#include "engine/content/Pictograph.h"
#include "platform/codepage/CodePage.h"

namespace reference {
namespace {

using namespace content;

constexpr uint8_t kEsc = 0x1B;
constexpr uint16_t kGeta = 0x81AC;

uint8_t At(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }
bool IsUserDefinedLead(uint8_t lead) { return lead >= 0xF0 && lead <= 0xF9; }

template <bool kHtml>
int Detect(std::string_view text) {
  size_t n = TextLength(text);
  CharsetKind state = kCharsetAscii;
  size_t i = 0;
  while (i < n) {
    uint8_t c = At(text, i);
    if (c == kEsc && i + 1 < n && (text[i + 1] == '$' || text[i + 1] == '(')) {
      if (state == kCharsetAscii) return kCharsetJis;
      i += 2;
      continue;
    }
    if (IsPrintableAscii(c)) {
      ++i;
      continue;
    }
    if (i + 1 < n) {
      uint8_t d = At(text, i + 1);
      if (IsPassThroughPictograph(c, d) || (kHtml && IsUserDefinedLead(c) && IsSjisTrail(d))) {
        if (!kHtml) state = kCharsetSjis;
        i += 2;
        continue;
      }
      if (IsEucByte(c) && IsEucByte(d)) {
        if (state != kCharsetSjis || !(IsSjisPair(c, d) || IsHalfWidthKana(c))) state = kCharsetEuc;
        i += 2;
        continue;
      }
      if (IsSjisLead(c) && IsSjisTrail(d)) {
        if (c != 0x8E || !IsHalfWidthKana(d)) return kCharsetSjis;
        state = kCharsetSjis;
        i += 2;
        continue;
      }
    }
    if (IsHalfWidthKana(c)) state = kCharsetSjis;
    ++i;
  }
  return state;
}

// The user-defined rows of EUC-JP, as the reader maps them back.
constexpr uint8_t kFirstUserRow = 0xF5;
constexpr uint8_t kMovedUserRow = 0xEE;
uint8_t TrailOfIndex(int index) { return static_cast<uint8_t>(index + 0x40 + (index >= 0x3F ? 1 : 0)); }
uint16_t EucUserToSjis(int rowIndex, uint8_t cellByte) {
  int index = rowIndex * 94 + (cellByte - 0xA1);
  return static_cast<uint16_t>((0xF0 + index / 188) << 8 | TrailOfIndex(index % 188));
}
uint16_t EucSet3ToSjis(uint8_t row, uint8_t cell) {
  if (!IsEucByte(cell)) return 0;
  if (row >= kFirstUserRow && row <= 0xFE) return EucUserToSjis(row - kFirstUserRow + 10, cell);
  if (row == kMovedUserRow || row == kMovedUserRow + 1) {
    auto setOneRow = static_cast<uint8_t>(row - kMovedUserRow + 0xF8);
    if (IsPassThroughPictograph(setOneRow, cell)) return EucUserToSjis(setOneRow - kFirstUserRow, cell);
  }
  return 0;
}

bool IsTrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

bool IsSjisName(const std::wstring& lower) {
  return lower == L"shift_jis" || lower == L"shift-jis" || lower == L"cp932" || lower == L"windows-31j" ||
         lower == L"x-sjis" || lower == L"sjis" || lower == L"ms_kanji";
}

}  // namespace

std::string CrLfToLf(const std::string& in) {
  std::string copy;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n') continue;
    copy.push_back(in[i]);
  }
  return copy;
}

int DetectCharset(std::string_view text) { return Detect<false>(text); }
int DetectCharsetHtml(std::string_view text) { return Detect<true>(text); }

void JisToSjis(std::string& text) {
  enum { kAscii, kKanji, kKana } mode = kAscii;
  size_t n = TextLength(text), r = 0, w = 0;
  auto* p = reinterpret_cast<uint8_t*>(text.data());
  while (r < n) {
    uint8_t c = p[r];
    if (c == kEsc && r + 2 < n) {
      uint8_t a = p[r + 1], b = p[r + 2];
      bool known = true;
      if (a == '$' && (b == 'B' || b == '@'))
        mode = kKanji;
      else if (a == '(' && (b == 'B' || b == 'J'))
        mode = kAscii;
      else if (a == '(' && b == 'I')
        mode = kKana;
      else
        known = false;
      if (known) {
        r += 3;
        continue;
      }
    }
    if (c == 0x0E || c == 0x0F) {
      mode = c == 0x0E ? kKana : kAscii;
      ++r;
      continue;
    }
    if (mode == kKanji && c >= 0x21) {
      if (r + 1 >= n) break;
      uint8_t d = p[r + 1];
      uint16_t code;
      if (IsPassThroughPictograph(c, d))
        code = static_cast<uint16_t>(c << 8 | d);
      else if (c <= 0x98 && d >= 0x21 && d <= 0x7E)
        code = JisPairToSjis(c, d);
      else
        code = kGeta;
      p[w++] = static_cast<uint8_t>(code >> 8);
      p[w++] = static_cast<uint8_t>(code);
      r += 2;
      continue;
    }
    if (mode == kKana && c >= 0x21 && c <= 0x5F) c = static_cast<uint8_t>(c + 0x80);
    p[w++] = c;
    ++r;
  }
  text.resize(w);
}

void EucToSjis(std::string& text) {
  size_t n = TextLength(text), r = 0, w = 0;
  auto* p = reinterpret_cast<uint8_t*>(text.data());
  auto put = [&](uint16_t code) {
    p[w++] = static_cast<uint8_t>(code >> 8);
    p[w++] = static_cast<uint8_t>(code);
  };
  while (r < n) {
    uint8_t c = p[r];
    if (c < 0x80) {
      p[w++] = c;
      ++r;
      continue;
    }
    if (r + 1 >= n) break;
    uint8_t d = p[r + 1];
    if (IsPassThroughPictograph(c, d)) {
      put(static_cast<uint16_t>(c << 8 | d));
      r += 2;
    } else if (c == 0x8E) {
      if (IsHalfWidthKana(d))
        p[w++] = d;
      else
        put(kGeta);
      r += 2;
    } else if (c == 0x8F) {
      if (r + 2 >= n) break;
      uint16_t user = EucSet3ToSjis(d, p[r + 2]);
      put(user != 0 ? user : kGeta);
      r += 3;
    } else if (IsEucByte(c) && IsEucByte(d)) {
      put(c >= 0xF5 ? EucUserToSjis(c - 0xF5, d) : EucPairToSjis(c, d));
      r += 2;
    } else {
      put(kGeta);
      r += 2;
    }
  }
  text.resize(w);
}

void ReplaceUnmappableSjis(std::string& text) {
  size_t n = TextLength(text), i = 0;
  auto* p = reinterpret_cast<uint8_t*>(text.data());
  while (i < n) {
    uint8_t c = p[i];
    if (!IsDBCSLeadByte(c)) {
      ++i;
      continue;
    }
    if (i + 1 >= n) break;
    uint8_t t = p[i + 1];
    bool replace;
    if (c == 0xF0 || c == 0xF1 || (c >= 0xF4 && c <= 0xFC))
      replace = !IsSjisTrail(t);
    else if (c == 0xF2 || c == 0xF3)
      replace = true;
    else
      replace = IsUnmappableSjis(c, t);
    if (replace) {
      p[i] = 0x81;
      p[i + 1] = 0xAC;
    }
    i += 2;
  }
}

namespace {

// One UTF-8 sequence: its length, or 0 with the length of the maximal subpart.
size_t Utf8SequenceLength(const uint8_t* in, size_t n, uint32_t* cp, size_t* bad) {
  uint8_t b = in[0];
  size_t len;
  uint8_t lo = 0x80, hi = 0xBF;
  uint32_t c;
  if (b < 0xC2) {
    *bad = 1;
    return 0;
  } else if (b < 0xE0) {
    len = 2;
    c = b & 0x1F;
  } else if (b < 0xF0) {
    len = 3;
    c = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    else if (b == 0xED) hi = 0x9F;
  } else if (b < 0xF5) {
    len = 4;
    c = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    else if (b == 0xF4) hi = 0x8F;
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

}  // namespace

int ToWideChar(UINT codePage, DWORD flags, const char* in, int inBytes, wchar_t* out, int outChars, DWORD* error) {
  size_t n = inBytes == -1 ? std::strlen(in) + 1 : static_cast<size_t>(inBytes);
  const auto* bytes = reinterpret_cast<const uint8_t*>(in);
  bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;
  size_t o = 0, i = 0;
  *error = 0;
  while (i < n) {
    uint8_t b = bytes[i];
    wchar_t u = 0;
    size_t used = 1;
    if (codePage == CP_UTF8) {
      uint32_t c = b;
      if (c >= 0x80) {
        size_t bad = 0;
        used = Utf8SequenceLength(bytes + i, n - i, &c, &bad);
        if (used == 0) {
          if (strict) return (*error = ERROR_NO_UNICODE_TRANSLATION), 0;
          c = 0xFFFD;
          used = bad;
        }
      }
      u = static_cast<wchar_t>(c);
    } else if (!qv::Cp932DecodeChar(b, &u)) {
      if (i + 1 < n) {
        uint8_t t = bytes[i + 1];
        if (qv::Cp932DecodeChar(static_cast<uint16_t>(b << 8 | t), &u)) {
          used = 2;
        } else {
          if (strict) return (*error = ERROR_NO_UNICODE_TRANSLATION), 0;
          u = 0x30FB;
          if (IsTrailByte(t)) used = 2;
        }
      } else {
        if (strict) return (*error = ERROR_NO_UNICODE_TRANSLATION), 0;
        u = 0x30FB;
      }
    }
    if (outChars > 0) {
      if (o == static_cast<size_t>(outChars)) return (*error = ERROR_INSUFFICIENT_BUFFER), 0;
      out[o] = u;
    }
    ++o;
    i += used;
  }
  return static_cast<int>(o);
}

std::wstring WidenSjis(std::string_view sjis) {
  std::wstring out;
  size_t start = 0;
  for (;;) {
    size_t nul = sjis.find('\0', start);
    std::string piece(sjis.substr(start, nul == std::string_view::npos ? std::string_view::npos : nul - start));
    if (!piece.empty()) {
      std::wstring wide(piece.size() + 1, L'\0');
      DWORD error;
      int made = ToWideChar(CP_ACP, 0, piece.c_str(), -1, wide.data(), static_cast<int>(wide.size()), &error);
      if (made > 0) out += wide.substr(0, static_cast<size_t>(made - 1));
    }
    if (nul == std::string_view::npos) break;
    start = nul + 1;
  }
  return out;
}

std::wstring WidenSjisCrLf(std::string_view sjis) {
  std::wstring out;
  EmlCompose().replace0Ato0D0A(WidenSjis(sjis), out);
  return out;
}

std::wstring TextBody(std::string data, const std::wstring& charset, bool html) {
  std::erase(data, '\0');
  std::wstring name = ToLowerW(charset);
  if (html) {
    if (name == L"utf-8") {
      Utf8ToSjis(data);
    } else if (!IsSjisName(name)) {
      int kind = DetectCharsetHtml(data);
      if (kind == kCharsetJis) JisToSjis(data);
      else if (kind == kCharsetEuc) EucToSjis(data);
    }
  } else if (IsSjisName(name)) {
  } else if (name == L"iso-2022-jp") {
    JisToSjis(data);
  } else if (name == L"euc-jp") {
    EucToSjis(data);
  } else if (name == L"utf-8") {
    Utf8ToSjis(data);
  } else {
    int kind = DetectCharset(data);
    if (kind == kCharsetJis) JisToSjis(data);
    else if (kind == kCharsetEuc) EucToSjis(data);
  }
  data.resize(TextLength(data));
  if (!html) ReplaceUnmappableSjis(data);
  return WidenSjisCrLf(data);
}

void BreakLongLines(std::wstring& text) {
  constexpr size_t kBodyColumns = 300;
  constexpr size_t kLookBack = 13;
  size_t column = 0;
  size_t i = 0;
  while (i < text.size()) {
    wchar_t c = text[i];
    if (column >= kBodyColumns) {
      if (c != L'\n') {
        size_t at = (i >= kLookBack + 1 && text[i - kLookBack] == L'<') ? i - kLookBack - 1 : i;
        text.insert(at, 1, L'\n');
        ++i;
        column = 1;
        ++i;
        continue;
      }
      column = 1;
      i += 2;
      continue;
    }
    column = c == L'\n' ? 1 : column + 1;
    ++i;
  }
}

}  // namespace reference
