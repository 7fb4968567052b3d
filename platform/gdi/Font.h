// Inside the drawing layer: a font realised from a LOGFONT (one face file at
// one pixel size and weight) and its cache of rendered glyphs. FreeType and
// fontconfig stay in Font.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/GdiTypes.h"

namespace qv::gdi {

// One character rendered: coverage 0..255, `left` columns right of the pen
// position and `top` rows above the baseline.
struct Glyph {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int advance = 0;
  std::vector<BYTE> coverage;
};

class FontInstance {
 public:
  struct Impl;
  explicit FontInstance(std::unique_ptr<Impl> impl);
  ~FontInstance();
  FontInstance(const FontInstance&) = delete;
  FontInstance& operator=(const FontInstance&) = delete;

  // Metrics without the LOGFONT's underline and strike-out (FontObject adds them).
  const TEXTMETRICW& Metrics() const { return metrics_; }
  const std::wstring& Family() const { return family_; }
  // Rows below the baseline where the underline starts, and its thickness.
  int UnderlineTop() const { return underlineTop_; }
  int LineThickness() const { return lineThickness_; }
  // Rows above the baseline of the strike-out line's top.
  int StrikeTop() const { return strikeTop_; }

  // The glyphs of `count` characters, rendered on first use; the pointers
  // stay valid while the instance lives. Any thread may call it.
  void Lookup(const WCHAR* text, size_t count, const Glyph** out);

 private:
  friend std::shared_ptr<FontInstance> RealizeFont(const LOGFONTW& font);
  std::unique_ptr<Impl> impl_;
  TEXTMETRICW metrics_{};
  std::wstring family_;
  int underlineTop_ = 1;
  int lineThickness_ = 1;
  int strikeTop_ = 1;
};

// The font a DC starts with and the stock fonts are.
LOGFONTW SystemLogFont();
// Shared between every LOGFONT that comes to the same face, size and weight;
// null with ERROR_NOT_SUPPORTED when no font is installed at all. Instances
// no font holds are kept for reuse up to a bound, least recently used first out.
std::shared_ptr<FontInstance> RealizeFont(const LOGFONTW& font);
// How many instances the cache holds (in use or waiting for reuse).
size_t CachedFontInstances();

}  // namespace qv::gdi
