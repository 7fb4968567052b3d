// The two pictograph sets of the device, as the text of the program meets
// them: each character's place in its set's glyph sheet, or -1 for a
// character of neither set.
#pragma once

constexpr int kPictureCharCount = 163;
constexpr int kWebPictureCharCount = 252;

// The index of `c` in the pictograph set (U+E000..U+E0CC, sheet order), -1 when it is none.
int GetPictureCharIndex(wchar_t c);
// The index of `c` in the web pictograph set (U+E63E..U+E757, sheet order), -1 when it is none.
int GetWebPictureCharIndex(wchar_t c);

inline bool IsPictureChar(wchar_t c) { return GetPictureCharIndex(c) >= 0; }
inline bool IsWebPictureChar(wchar_t c) { return GetWebPictureCharIndex(c) >= 0; }
// A character of either set: drawn from a glyph sheet, not from the font.
inline bool IsPictograph(wchar_t c) { return IsPictureChar(c) || IsWebPictureChar(c); }

// The sets' characters in sheet order, each table ended by 0xFFFF.
const wchar_t* PictureCharTable();
const wchar_t* WebPictureCharTable();
