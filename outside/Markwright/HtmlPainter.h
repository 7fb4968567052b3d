// Text drawing inside the control: through the program's pictograph painter
// when it gave one, else with the font alone.
#pragma once

#include "platform/gdi/GdiTypes.h"

struct HtmlEditTextPainter;

namespace markwright {

void SetPainter(const HtmlEditTextPainter* painter);
// Right edge of each character into `widths`.
int FitText(HDC dc, const wchar_t* text, int length, int* widths, int fontHeight);
void DrawTextRun(HDC dc, int x, int y, const wchar_t* text, int length, int fontHeight);

}  // namespace markwright
