// The device's pictographs. Pass-through codes travel as raw Shift_JIS bytes
// in every charset; token codes travel in ISO-2022-JP bodies as tokens such
// as "<#HEART>". Also the replacement of pairs the code page cannot hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace content {

struct PictographToken {
  uint16_t code;      // Shift_JIS pair, lead high
  const char* text;   // "<#NAME>"
  int length;         // characters of text
};

// The 163 tokens, codes ascending.
const PictographToken* PictographTokens(size_t* count);

bool IsPassThroughPictograph(uint16_t code);
inline bool IsPassThroughPictograph(uint8_t lead, uint8_t trail) {
  return IsPassThroughPictograph(static_cast<uint16_t>(lead << 8 | trail));
}
// Leads F0, F1 and F4-F9 (FA-FC hold the IBM extension kanji, which are text).
bool IsTokenPictograph(uint8_t lead, uint8_t trail);

// Size of the tokenised text, counting the token pairs into `pairs`:
// 0 when the text holds no token pictograph, -1 when the heap cannot hold it.
long PictographTokenLength(std::string_view sjis, int* pairs);
// Pictographs to tokens, every "<" outside a pair doubled; at most `pairs`
// pictographs are tokenised. Appends to `out`.
void PictographsToTokens(std::string_view sjis, std::string& out, int pairs);
// Tokens back to pictographs, in place; "<<" becomes "<".
void TokensToPictographs(std::string& text);

// True when the platform's code page cannot convert the pair.
bool IsUnmappableSjis(uint8_t lead, uint8_t trail);
// Every pair the code page cannot hold becomes 81 AC, in place.
void ReplaceUnmappableSjis(std::string& text);

}  // namespace content
