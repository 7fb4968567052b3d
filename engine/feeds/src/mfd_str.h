// String functions of the feed parser for 8-bit and wide texts. Every
// function takes null pointers without failing. Positions and lengths count
// characters; -1 means "not found".
#pragma once

#include <cstddef>

long MFD_Str_IndexOf(const char* text, const char* part);
long MFD_Str_LastIndexOf(const char* text, const char* part);
// The last character of `text` that is in `set`; an empty or null set
// matches the last character.
long MFD_Str_LastIndexOfAny(const char* text, const char* set);

long MFD_WStr_IndexOf(const wchar_t* text, const wchar_t* part);
long MFD_WStr_LastIndexOf(const wchar_t* text, const wchar_t* part);
size_t MFD_WStr_Length(const wchar_t* text);
// The copies return `target` (null for a null target or, for SubCopy, when
// nothing is to be copied).
wchar_t* MFD_WStr_Copy(wchar_t* target, const wchar_t* text);
// At most n characters, stopping after a NUL; no terminator after n.
wchar_t* MFD_WStr_CopyN(wchar_t* target, const wchar_t* text, size_t n);
// n characters from `start` (fewer where the text ends first), terminated.
wchar_t* MFD_WStr_SubCopy(wchar_t* target, const wchar_t* text, size_t start, size_t n);
wchar_t* MFD_WStr_Cat(wchar_t* target, const wchar_t* text);
int MFD_WStr_Compare(const wchar_t* a, const wchar_t* b);
int MFD_WStr_CompareN(const wchar_t* a, const wchar_t* b, size_t n);
// Length of the leading part that holds no character of `set`.
size_t MFD_WStr_Span(const wchar_t* text, const wchar_t* set);
// Base 10: up to 128 decimal digits; base 16: an optional "0x" or "0X", then
// up to 128 hexadecimal digits. No sign, no blanks. A value beyond the range
// of long stays at its largest value. `end` receives the first unread
// character, the text itself when nothing was read. Other bases give 0.
long MFD_WStr_ToLong(const wchar_t* text, const wchar_t** end, int base);
// Replaces n characters at `start` (fewer where the text ends first) by the
// replacement, in place; the caller provides the room. Nothing happens when
// `start` lies past the end.
wchar_t* MFD_WStr_Replace(wchar_t* text, size_t start, size_t n, const wchar_t* replacement);
// A zero-filled copy from the counting allocator; null for a null text.
wchar_t* MFD_WStr_Dup(const wchar_t* text);
