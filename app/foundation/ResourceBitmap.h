// The program's resource bitmaps drawn onto a DC: the pieces of the state
// bars and the canvas's pictures.
#pragma once

#include "platform/gdi/Gdi.h"

// Copies bitmap `id` of the program's resources with its top-left corner at
// (x, y), at its own size. False when the resources hold no such bitmap.
bool DrawResourceBitmap(HDC dc, UINT id, int x, int y);
// The same, stretched over `to`.
bool StretchResourceBitmap(HDC dc, UINT id, const RECT& to);
