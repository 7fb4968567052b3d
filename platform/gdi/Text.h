// Inside the drawing layer: runs of glyphs in one font and their painting,
// shared by the text calls and DrawText's layout.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Font.h"

namespace qv::gdi {

struct TextRun {
  std::vector<const Glyph*> glyphs;
  std::vector<int> advances;
  int width = 0;
};

// The glyphs of the text and their advances (the font's, or `advances` given).
void ShapeRun(FontInstance& font, const WCHAR* text, size_t count, const int* advances, TextRun* run);

// The font a DC draws with (never null: a DC starts with the system font).
FontObject& FontOf(const DeviceContext& dc);

// Paints a run with its cell's top-left corner at (x, top) on the surface,
// with the font's underline and strike-out, inside `clip`.
void PaintRun(DeviceContext& dc, const FontObject& font, const TextRun& run, int x, int top, const RECT& clip,
              DWORD pixel);
// A horizontal bar of the font's line thickness `below` rows under the baseline.
void PaintBar(DeviceContext& dc, int x0, int x1, int y, int thickness, const RECT& clip, DWORD pixel);

// The text seam: whether a test observes drawn text, and the report of one
// run drawn with its cell at logical (x, y) inside `clip` (surface).
bool TextObserved();
void ReportText(const DeviceContext& dc, const FontObject& font, std::wstring shown, int x, int y, int width,
                int height, const RECT& clip);

}  // namespace qv::gdi
