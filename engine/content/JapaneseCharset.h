// Byte classes, charset detection and the conversions between Shift_JIS (the
// device code page), ISO-2022-JP and EUC-JP. Every function reads only inside
// the text it is given and stops at its first NUL, as the mail text the engine
// handles is NUL-free by construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace content {

// Result of DetectCharset.
enum CharsetKind : int {
  kCharsetAscii = 1,
  kCharsetJis = 2,
  kCharsetSjis = 3,
  kCharsetEuc = 4,
};

inline bool IsPrintableAscii(uint8_t c) { return c >= 0x20 && c <= 0x7E; }
inline bool IsEucByte(uint8_t c) { return c >= 0xA1 && c <= 0xFE; }
inline bool IsEucKanaPrefix(uint8_t c) { return c == 0x8E; }
inline bool IsHalfWidthKana(uint8_t c) { return c >= 0xA1 && c <= 0xDF; }
inline bool IsSjisLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool IsSjisTrail(uint8_t c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
// 0x7F counts as a trail here, unlike IsSjisTrail.
inline bool IsSjisPair(uint8_t lead, uint8_t trail) { return IsSjisLead(lead) && trail >= 0x40 && trail <= 0xFC; }
// 1 for a kana that can take a sound mark slot, 2 for the marks DE and DF.
inline int HalfKanaClass(uint8_t c) { return (c >= 0xA1 && c <= 0xDD) ? 1 : (c == 0xDE || c == 0xDF) ? 2 : 0; }

// Pair arithmetic of JIS X 0208. Results are packed high byte first.
uint16_t SjisPairToJis(uint8_t lead, uint8_t trail);
uint16_t JisPairToSjis(uint8_t row, uint8_t cell);
uint16_t EucPairToSjis(uint8_t lead, uint8_t trail);
uint16_t SjisPairToEuc(uint8_t lead, uint8_t trail);

// Widens the half-width kana at text[0] (and a sound mark after it) into a
// full-width Shift_JIS pair. Returns the bytes consumed: 0 when text[0] is
// no kana, 2 when a sound mark was combined, else 1.
int HalfKanaToFull(const uint8_t* text, size_t length, uint16_t* out);
// Byte length of the text once its half-width kana are widened.
size_t WidenedKanaLength(std::string_view text);

// The IBM and NEC-selected extension kanji (leads ED, EE, FA-FC) have no
// place in ISO-2022-JP or EUC-JP: their JIS X 0208 equivalent, else 81 AC.
// Other pairs are returned unchanged.
uint16_t NormalizeExtensionPair(uint16_t code);

// Shift_JIS to ISO-2022-JP, appended to `out`. User-defined pairs (leads
// F0-F9, the pictographs among them) travel as raw bytes outside ESC $ B.
void SjisToJis(std::string_view in, std::string& out);
// ISO-2022-JP to Shift_JIS in place (the text only shrinks).
void JisToSjis(std::string& text);
// EUC-JP to Shift_JIS in place (the text only shrinks).
void EucToSjis(std::string& text);
// Shift_JIS to EUC-JP in place (half-width kana grow to 8E xx).
void SjisToEuc(std::string& text);
// Shift_JIS to EUC-JP, appended to `out`.
void SjisToEucAppend(std::string_view in, std::string& out);

// ASCII without NUL, ESC, SO or SI: text that every conversion to Shift_JIS
// here leaves as it stands, whatever charset it is labelled with.
bool IsUnshiftedAscii(std::string_view text);

// Guesses the charset of mail text. The HTML twin leaves pass-through
// pictographs and the other user-defined pairs out of the decision.
CharsetKind DetectCharset(std::string_view text);
CharsetKind DetectCharsetHtml(std::string_view text);

}  // namespace content
