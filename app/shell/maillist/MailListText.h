// Text of the mail list drawn into a box: cut with "..." when too wide, its
// pictographs drawn as pictures of the size that suits the list's font.
#pragma once

#include <string>

#include "platform/gdi/GdiTypes.h"

// Draws `text` cut to the box, left-aligned, vertically centred, in the
// colours and font selected into `dc`. `fontHeight` picks the pictographs'
// size (the dialog font's height).
void DrawMailListText(HDC dc, const std::wstring& text, const RECT& box, int fontHeight);
