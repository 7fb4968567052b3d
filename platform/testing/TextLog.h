// What windows wrote, for UI tests that check words rather than pixels: every
// text run drawn while a log lives (on any thread), with its font, colour,
// place in the window and whether the window's clip cut it. Beside the PNG a
// screen test keeps, it answers "is 件名 shown whole, in bold, in black?".
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/TextSeam.h"

namespace qv::seams {

using DrawnText = qv::gdi_seam::DrawnText;

class TextLog {
 public:
  // Records from now on; one log at a time.
  TextLog();
  ~TextLog();
  TextLog(const TextLog&) = delete;
  TextLog& operator=(const TextLog&) = delete;

  void Clear();
  // Everything recorded, in order.
  std::vector<DrawnText> All() const;
  // The runs `window` drew (through its own DCs), in order.
  std::vector<DrawnText> Of(HWND window) const;
  // The last run of `window` (any window when null) whose text contains
  // `part`; false when none did.
  bool Last(HWND window, const std::wstring& part, DrawnText* out) const;
  // The runs of `window` (any window when null) that its clip cut, as
  // "text" lines for a failure message; empty when every run showed whole.
  std::string Clipped(HWND window) const;

 private:
  mutable std::mutex lock_;
  std::vector<DrawnText> seen_;
};

}  // namespace qv::seams
