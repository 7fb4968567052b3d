// The drawing layer's test seam: an observer of every text run drawn, so that
// a test can read what a window wrote (text, font, colour, place, and whether
// the clip cut it) without reading pixels. Unset, a text call pays one load.
// Tests reach it through platform/testing/TextLog.h.
#pragma once

#include <functional>
#include <string>

#include "platform/base/WinTypes.h"
#include "platform/gdi/GdiTypes.h"

namespace qv::gdi_seam {

struct DrawnText {
  HWND window = nullptr;  // the window whose DC drew it (WindowFromDC); null for memory DCs
  std::wstring text;      // as shown: prefixes taken out, an ellipsis put in, one line a run
  std::wstring face;
  LONG height = 0;        // the cell height of the font
  LONG weight = 0;
  COLORREF color = 0;
  RECT rect{};            // the run's cell in the DC's logical coordinates
  bool clipped = false;   // part of the cell lies outside what the DC may paint
};
using TextObserver = std::function<void(const DrawnText&)>;

// Called on the drawing thread after each run is painted; an empty function
// stops observing.
QV_PLATFORM_API void SetTextObserver(TextObserver observer);

}  // namespace qv::gdi_seam
