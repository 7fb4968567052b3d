#include "engine/content/JapaneseCharset.h"

#include <array>
#include <cstring>
#include <unordered_map>

#include "engine/public/content/CharsetText.h"
#include "engine/content/Pictograph.h"
#include "platform/base/AsciiScan.h"
#include "platform/codepage/CodePage.h"

namespace content {
namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint16_t kGeta = 0x81AC;     // the device's default character
constexpr uint16_t kGetaEuc = 0xA2AE;  // the same in EUC-JP

// Full-width forms of the half-width kana A1-DF, as Shift_JIS pairs:
// 。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜
constexpr uint16_t kFullKana[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};

// Voiced form of a kana followed by DE: ｳ gives ヴ, ｶ-ﾄ and ﾊ-ﾎ the next code.
uint16_t VoicedKana(uint8_t kana) {
  if (kana == 0xB3) return 0x8394;
  if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE)) return kFullKana[kana - 0xA1] + 1;
  return 0;
}
// Semi-voiced form of ﾊ-ﾎ followed by DF.
uint16_t SemiVoicedKana(uint8_t kana) {
  return (kana >= 0xCA && kana <= 0xCE) ? kFullKana[kana - 0xA1] + 2 : 0;
}

void PutPair(std::string& out, uint16_t code) {
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

uint8_t At(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }

// Index of a pair among the 188 trails of a lead (40-7E, 80-FC).
int TrailIndex(uint8_t trail) { return trail - 0x40 - (trail > 0x7F ? 1 : 0); }
uint8_t TrailOfIndex(int index) { return static_cast<uint8_t>(index + 0x40 + (index >= 0x3F ? 1 : 0)); }

bool IsUserDefinedLead(uint8_t lead) { return lead >= 0xF0 && lead <= 0xF9; }

// The user-defined area F040-F9FC (1880 pairs) maps to the rows F5-FE of
// EUC-JP code set 1 and then of code set 3, the way EUC mailers carry it.
// Rows F8 and F9 of code set 1 also carry the raw pass-through pictographs;
// a pair whose bytes would read as one moves to the rows EE and EF of code
// set 3, which JIS X 0212 leaves unassigned. Returns the EUC bytes packed
// (three bytes for code set 3).
constexpr uint8_t kFirstUserRow = 0xF5;
constexpr uint8_t kMovedUserRow = 0xEE;  // code set 3 row of code set 1's F8
uint32_t UserPairToEuc(uint8_t lead, uint8_t trail) {
  int index = (lead - 0xF0) * 188 + TrailIndex(trail);
  int row = index / 94, cell = index % 94;
  auto b = static_cast<uint32_t>(0xA1 + cell);
  if (row < 10) {
    auto a = static_cast<uint8_t>(kFirstUserRow + row);
    if (IsPassThroughPictograph(a, static_cast<uint8_t>(b))) return 0x8F0000u | (kMovedUserRow + a - 0xF8u) << 8 | b;
    return static_cast<uint32_t>(a) << 8 | b;
  }
  return 0x8F0000u | static_cast<uint32_t>(kFirstUserRow + row - 10) << 8 | b;
}
uint16_t EucUserToSjis(int rowIndex, uint8_t cellByte) {
  int index = rowIndex * 94 + (cellByte - 0xA1);
  return static_cast<uint16_t>((0xF0 + index / 188) << 8 | TrailOfIndex(index % 188));
}
// The user-defined pair of a code set 3 row and cell, or 0 for JIS X 0212.
uint16_t EucSet3ToSjis(uint8_t row, uint8_t cell) {
  if (!IsEucByte(cell)) return 0;
  if (row >= kFirstUserRow && row <= 0xFE) return EucUserToSjis(row - kFirstUserRow + 10, cell);
  if (row == kMovedUserRow || row == kMovedUserRow + 1) {
    auto setOneRow = static_cast<uint8_t>(row - kMovedUserRow + 0xF8);
    if (IsPassThroughPictograph(setOneRow, cell)) return EucUserToSjis(setOneRow - kFirstUserRow, cell);
  }
  return 0;
}

// The equivalents of the extension kanji, built once from the code page.
struct ExtensionTable {
  std::array<uint16_t, 5 * 188> map{};
  ExtensionTable() {
    std::unordered_map<wchar_t, uint16_t> jis;
    for (int lead = 0x81; lead <= 0xEC; ++lead) {
      if (lead == 0xA0) lead = 0xE0;
      for (int i = 0; i < 188; ++i) {
        uint16_t code = static_cast<uint16_t>(lead << 8 | TrailOfIndex(i));
        wchar_t wc;
        if (qv::Cp932DecodeChar(code, &wc)) jis.emplace(wc, code);  // the lowest code wins
      }
    }
    const uint8_t leads[5] = {0xED, 0xEE, 0xFA, 0xFB, 0xFC};
    for (int l = 0; l < 5; ++l) {
      for (int i = 0; i < 188; ++i) {
        uint16_t code = static_cast<uint16_t>(leads[l] << 8 | TrailOfIndex(i));
        wchar_t wc;
        uint16_t result = kGeta;
        if (qv::Cp932DecodeChar(code, &wc)) {
          auto it = jis.find(wc);
          if (it != jis.end()) result = it->second;
        }
        map[l * 188 + i] = result;
      }
    }
  }
};

int ExtensionLeadIndex(uint8_t lead) {
  switch (lead) {
    case 0xED: return 0;
    case 0xEE: return 1;
    case 0xFA: return 2;
    case 0xFB: return 3;
    case 0xFC: return 4;
    default: return -1;
  }
}

template <bool kHtml>
CharsetKind Detect(std::string_view text) {
  size_t n = TextLength(text);
  CharsetKind state = kCharsetAscii;
  size_t i = 0;
  while (i < n) {
    uint8_t c = At(text, i);
    if (c < 0x80 && c != kEsc) {
      // Below 0x80 only an escape can change the guess.
      i += qv::AsciiRun<kEsc>(text.data() + i, n - i);
      continue;
    }
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
      // HTML text also skips the other user-defined pairs: ISO-2022-JP made
      // here carries them raw, and they may come before the first escape.
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

}  // namespace

uint16_t SjisPairToJis(uint8_t lead, uint8_t trail) {
  int row = (lead < 0xA0 ? 0x21 : 0x5F) + 2 * (lead - (lead < 0xA0 ? 0x81 : 0xE0));
  int cell;
  if (trail < 0x9F) {
    cell = trail - 0x1F;
    if (trail >= 0x80) --cell;
  } else {
    ++row;
    cell = trail - 0x7E;
  }
  return static_cast<uint16_t>((row & 0xFF) << 8 | (cell & 0xFF));
}

uint16_t JisPairToSjis(uint8_t row, uint8_t cell) {
  int lead = ((row - 0x21) >> 1) + (row <= 0x5E ? 0x81 : 0xC1);
  int trail;
  if (row & 1)
    trail = cell + (cell < 0x60 ? 0x1F : 0x20);
  else
    trail = cell + 0x7E;
  return static_cast<uint16_t>((lead & 0xFF) << 8 | (trail & 0xFF));
}

uint16_t EucPairToSjis(uint8_t lead, uint8_t trail) {
  return JisPairToSjis(static_cast<uint8_t>(lead - 0x80), static_cast<uint8_t>(trail - 0x80));
}

uint16_t SjisPairToEuc(uint8_t lead, uint8_t trail) { return SjisPairToJis(lead, trail) | 0x8080; }

int HalfKanaToFull(const uint8_t* text, size_t length, uint16_t* out) {
  if (length == 0 || !IsHalfWidthKana(text[0])) return 0;
  uint8_t kana = text[0];
  if (length >= 2 && HalfKanaClass(kana) == 1) {
    uint16_t combined = text[1] == 0xDE ? VoicedKana(kana) : text[1] == 0xDF ? SemiVoicedKana(kana) : 0;
    if (combined != 0) {
      *out = combined;
      return 2;
    }
  }
  *out = kFullKana[kana - 0xA1];
  return 1;
}

size_t WidenedKanaLength(std::string_view text) {
  size_t n = TextLength(text), length = 0, i = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(text.data());
  while (i < n) {
    uint16_t pair;
    if (int used = HalfKanaToFull(p + i, n - i, &pair)) {
      length += 2;
      i += static_cast<size_t>(used);
    } else if (IsSjisLead(p[i]) && i + 1 < n) {
      length += 2;
      i += 2;
    } else {
      length += 1;
      i += 1;
    }
  }
  return length;
}

uint16_t NormalizeExtensionPair(uint16_t code) {
  int l = ExtensionLeadIndex(static_cast<uint8_t>(code >> 8));
  uint8_t trail = static_cast<uint8_t>(code & 0xFF);
  if (l < 0) return code;
  if (!IsSjisTrail(trail)) return kGeta;
  static const ExtensionTable table;
  return table.map[static_cast<size_t>(l * 188 + TrailIndex(trail))];
}

void SjisToJis(std::string_view in, std::string& out) {
  size_t n = TextLength(in), i = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(in.data());
  bool kanji = false;
  auto toKanji = [&] {
    if (!kanji) out.append("\x1B$B", 3);
    kanji = true;
  };
  auto toAscii = [&] {
    if (kanji) out.append("\x1B(B", 3);
    kanji = false;
  };
  out.reserve(out.size() + n + n / 2 + 8);
  while (i < n) {
    uint8_t c = p[i];
    uint16_t pair;
    if (int used = HalfKanaToFull(p + i, n - i, &pair)) {
      toKanji();
      PutPair(out, SjisPairToJis(static_cast<uint8_t>(pair >> 8), static_cast<uint8_t>(pair)));
      i += static_cast<size_t>(used);
      continue;
    }
    if (IsSjisLead(c)) {
      if (i + 1 >= n) break;  // a lead cut by the end is dropped
      uint8_t t = p[i + 1];
      if (IsSjisTrail(t)) {
        uint16_t code = static_cast<uint16_t>(c << 8 | t);
        if (IsUserDefinedLead(c)) {
          // Pictographs and the other user-defined pairs have no JIS X 0208
          // row: like the pass-through pictographs they travel as raw bytes
          // outside ESC $ B, where 8-bit bytes would corrupt the kanji run.
          toAscii();
          PutPair(out, code);
        } else {
          code = NormalizeExtensionPair(code);
          toKanji();
          PutPair(out, SjisPairToJis(static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)));
        }
        i += 2;
        continue;
      }
    }
    toAscii();
    out.push_back(static_cast<char>(c));
    ++i;
  }
  toAscii();
}

void JisToSjis(std::string& text) {
  enum { kAscii, kKanji, kKana } mode = kAscii;
  size_t n = TextLength(text), r = 0, w = 0;
  auto* p = reinterpret_cast<uint8_t*>(text.data());
  while (r < n) {
    uint8_t c = p[r];
    if (mode == kAscii && c != kEsc && c != 0x0E && c != 0x0F) {
      // Single bytes stand for themselves up to the next shift.
      size_t run = 1 + qv::AsciiRun<kEsc, 0x0E, 0x0F>(text.data() + r + 1, n - r - 1);
      if (w != r) std::memmove(p + w, p + r, run);
      w += run;
      r += run;
      continue;
    }
    if (mode == kKanji) {
      // The common pairs, both bytes in 21-7E, in a tight loop.
      while (r + 1 < n && p[r] >= 0x21 && p[r] <= 0x7E && p[r + 1] >= 0x21 && p[r + 1] <= 0x7E) {
        uint16_t code = JisPairToSjis(p[r], p[r + 1]);
        p[w++] = static_cast<uint8_t>(code >> 8);
        p[w++] = static_cast<uint8_t>(code);
        r += 2;
      }
      if (r >= n) break;
      c = p[r];
    }
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
      // An unknown escape is kept as text so that nothing is lost silently.
    }
    if (c == 0x0E || c == 0x0F) {
      mode = c == 0x0E ? kKana : kAscii;
      ++r;
      continue;
    }
    if (mode == kKanji && c >= 0x21) {
      if (r + 1 >= n) break;  // a pair cut by the end ends the text
      uint8_t d = p[r + 1];
      uint16_t code;
      if (c >= 0xF8 && IsPassThroughPictograph(c, d))
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
      size_t run = 1 + qv::AsciiRun<>(text.data() + r + 1, n - r - 1);
      if (w != r) std::memmove(p + w, p + r, run);
      w += run;
      r += run;
      continue;
    }
    if (r + 1 >= n) break;  // a lead cut by the end ends the text
    uint8_t d = p[r + 1];
    if (IsPassThroughPictograph(c, d)) {
      put(static_cast<uint16_t>(c << 8 | d));
      r += 2;
    } else if (c == 0x8E) {
      // Half-width kana stay single bytes.
      if (IsHalfWidthKana(d))
        p[w++] = d;
      else
        put(kGeta);
      r += 2;
    } else if (c == 0x8F) {
      // Code set 3: the user-defined rows come back, JIS X 0212 has no place.
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

void SjisToEucAppend(std::string_view in, std::string& out) {
  size_t n = TextLength(in), i = 0;
  const auto* p = reinterpret_cast<const uint8_t*>(in.data());
  out.reserve(out.size() + n + 8);
  while (i < n) {
    uint8_t c = p[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (IsHalfWidthKana(c)) {
      out.push_back('\x8E');
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (IsSjisLead(c)) {
      if (i + 1 >= n) break;
      uint8_t t = p[i + 1];
      uint16_t code = static_cast<uint16_t>(c << 8 | t);
      if (!IsSjisTrail(t)) {
        PutPair(out, kGetaEuc);
      } else if (IsPassThroughPictograph(code)) {
        PutPair(out, code);
      } else if (IsUserDefinedLead(c)) {
        uint32_t euc = UserPairToEuc(c, t);
        if (euc > 0xFFFF) out.push_back('\x8F');
        PutPair(out, static_cast<uint16_t>(euc));
      } else {
        code = NormalizeExtensionPair(code);
        PutPair(out, SjisPairToEuc(static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code)));
      }
      i += 2;
    } else {
      PutPair(out, kGetaEuc);  // 80, A0 and FD-FF start no character
      ++i;
    }
  }
}

void SjisToEuc(std::string& text) {
  std::string out;
  SjisToEucAppend(text, out);
  text.swap(out);
}

bool IsUnshiftedAscii(std::string_view text) {
  return qv::AsciiRun<0x00, kEsc, 0x0E, 0x0F>(text.data(), text.size()) == text.size();
}

CharsetKind DetectCharset(std::string_view text) { return Detect<false>(text); }
CharsetKind DetectCharsetHtml(std::string_view text) { return Detect<true>(text); }

}  // namespace content
