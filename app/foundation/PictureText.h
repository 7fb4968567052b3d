// Text with pictographs, drawn the one way every control of the program
// draws it: ordinary characters in the DC's font and colours (one text-output
// call per run), each pictograph of either set (IsPictureChar,
// IsWebPictureChar) as its glyph from the set's sheet for the font height
// (13, 24 or 32 pixels; GetPictureCharBitmap), and U+3013 where the set has
// no sheet for that height or is not installed.
//
// A pictograph takes the cell of U+3013 in the DC's font, so a text is as
// wide with the sets as without them, and measuring never loads a sheet. Its
// glyph is centred in the cell over the line; with OPAQUE background mode
// the cell is first filled with the background colour, as ExtTextOut fills
// behind text.
//
// Lines are single: CR, LF and TAB are drawn as the font draws them; callers
// that break lines measure and draw line by line.
#pragma once

#include "platform/gdi/GdiTypes.h"

// `length` -1 means up to the terminating zero, as for DrawText.
// `fontHeight` picks the glyph size; 0 takes the DC font's height (tmHeight).

// Width and height (the font's line height) of the text as DrawPictureText draws it.
SIZE GetPictureTextExtent(HDC dc, const wchar_t* text, int length, int fontHeight = 0);

// How many leading characters fit into `maxWidth` pixels; `widths` (may be
// null, `length` entries) receives the right edge of each character from the
// text's start, as GetTextExtentExPoint reports it.
int FitPictureText(HDC dc, const wchar_t* text, int length, int maxWidth, int* widths = nullptr,
                   int fontHeight = 0);

// Draws the text with its top-left corner at (x, y); returns the x after it.
// The DC's text alignment is ignored (always top-left).
int DrawPictureText(HDC dc, int x, int y, const wchar_t* text, int length, int fontHeight = 0);

// Placement in a box for DrawPictureTextInBox.
constexpr UINT PT_LEFT = 0x0;
constexpr UINT PT_CENTER = 0x1;
constexpr UINT PT_RIGHT = 0x2;
constexpr UINT PT_TOP = 0x0;
constexpr UINT PT_VCENTER = 0x4;
constexpr UINT PT_BOTTOM = 0x8;
// Too wide: shorten one character at a time with "..." appended until it fits
// (a pictograph is never cut in half; "..." alone when nothing else fits).
constexpr UINT PT_END_ELLIPSIS = 0x10;
// Draw outside the box too (by default nothing is drawn outside it).
constexpr UINT PT_NOCLIP = 0x20;

// Draws one line of text into `box` placed by `flags`; returns the width drawn.
int DrawPictureTextInBox(HDC dc, const RECT& box, const wchar_t* text, int length, UINT flags, int fontHeight = 0);
