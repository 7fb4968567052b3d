// Text of the mail list drawn into a box: cut with "..." when too wide, its
// pictographs drawn as pictures of the size that suits the list's font.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"
#include "platform/gdi/Gdi.h"

// The longest head of `text` that fits `width` with "..." after it (the
// whole text when it fits), measured in the font selected into `dc`.
std::wstring FitMailListText(HDC dc, const std::wstring& text, int width);
// Draws `text` cut to the box, left-aligned, vertically centred, in the
// colours and font selected into `dc`. `fontHeight` picks the pictographs'
// size.
void DrawMailListText(HDC dc, const std::wstring& text, const RECT& box, int fontHeight);
