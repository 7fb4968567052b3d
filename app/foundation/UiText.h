// Text helpers of the windows: pictographs taken out of text that cannot
// show them, and the mail addresses inside edited text.
#pragma once

#include "platform/framework/Containers.h"
#include "platform/framework/CString.h"

// Removes the pictographs (and CR and LF with `lineBreaks`) in place; true
// when a pictograph was removed.
bool RemovePictureChars(CString& text, bool lineBreaks);
// The same over every string; true when any lost a pictograph.
bool RemovePictureCharsFromArray(CStringArray& texts, bool lineBreaks);
// True when every character lies in 32..126.
bool IsPrintableAscii(LPCWSTR text);

// A part of a text: its first character, its length and, for a search, 1
// when something was found.
struct QvAddressRange {
  int start = 0;
  int length = 0;
  int kind = 0;
};

constexpr int kMaxAddressLength = 64;

// Finds the address around the last '@' of `text` from `start` on. Found
// (a non-empty local part and a '.' after the '@'), `range` becomes
// (base + its first character, its length, 1); else `range` stays. With
// `checkLength`, a candidate longer than 64 characters is no address.
// Returns the index after the candidate, or the text's length when there is
// no '@'.
int GetAddressRange(const CString& text, int base, int start, QvAddressRange* range, bool checkLength);

enum AddressSyntax {
  kAddressWellFormed = 0,  // the address alone, or in "<" ">" with only blanks after
  kAddressMissing = 1,
  kAddressNotEnclosed = 2,
  kAddressTextAfter = 3,  // something other than blanks after the ">"
};
// Checks one entry of an address list; `found`, when given, gets the
// address's place in `entry` (for every result but kAddressMissing).
int CheckAddressSyntax(const CString& entry, QvAddressRange* found = nullptr);

// Cuts an address list at ',' and ';' outside "..." and (...), each piece
// without its blanks (space, U+3000) at either end.
void SplitAddressList(const CString& text, CArray<QvAddressRange>& ranges);
