// The flow layout of the document and its painting with the platform's GDI:
// paragraphs broken into lines the way DrawText breaks them (Latin at blanks,
// Japanese between any two characters but never before closing marks or
// small kana), fonts by the HTML sizes 1..7 over the control's base font,
// pictures on the baseline, rules across the width. Paragraphs are laid out
// on their own, so an edit lays out only the paragraphs it touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "outside/Markwright/HtmlDocument.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

namespace markwright {

struct LineBox {
  size_t start = 0;  // relative to the paragraph's start
  size_t end = 0;    // after the last character of the line
  int y = 0;         // relative to the paragraph's top
  int height = 0;
  int ascent = 0;
  int x0 = 0;        // alignment offset
  int width = 0;
};

struct ParaBox {
  size_t start = 0;  // first character
  size_t length = 0; // characters before its paragraph end
  int y = 0;
  int height = 0;
  std::vector<LineBox> lines;
  std::vector<int> xs;  // x of each character (and of the end) from its line's left
};

struct FontEntry {
  qv::ScopedGdiObject<HFONT> font;
  int height = 0;
  int ascent = 0;
  int descent = 0;
};

class Layout {
 public:
  Layout();
  ~Layout();

  // The base font's pixel height (size 3) and face; the layout width.
  void Configure(const LOGFONTW& base, int width);
  int Width() const { return width_; }
  // Picture sizes by object id (0 x 0 for one that is not shown).
  std::function<SIZE(uint32_t)> objectSize;

  void Build(const Document& doc);
  // The text changed at `pos`: `removed` characters gave way to `inserted`.
  void Update(const Document& doc, size_t pos, size_t removed, size_t inserted);
  int ContentHeight() const;

  size_t ParaIndexOf(size_t pos) const;
  const std::vector<ParaBox>& Paras() const { return paras_; }
  // Client point (document coordinates) of the caret before `pos`, and its line's height.
  POINT PointOf(size_t pos, int* lineHeight = nullptr, int* lineTop = nullptr) const;
  size_t PosAt(POINT p) const;
  // Lines in document order: index of the line holding `pos`, and the
  // position on the line `delta` lines away nearest to x.
  size_t LineCount() const;
  size_t LineIndexOf(size_t pos) const;
  size_t LineStart(size_t lineIndex) const;
  size_t MoveLines(size_t pos, int delta, int x) const;

  FontEntry& FontFor(const Format& f);
  HDC dc() const { return dc_; }

  struct PaintState {
    size_t selFrom = 0, selTo = 0;
    size_t linkFrom = 0, linkTo = 0;  // the focused link, framed
    bool caret = false;
    size_t caretPos = 0;
    int scrollY = 0;
    uint32_t background = 0xFFFFFF;
    bool blinkHidden = false;  // the off phase of blinking runs
    int marqueeStep = -1;      // steps the moving paragraphs have taken; -1: they stand still
    std::function<void(HDC, uint32_t id, const RECT&)> drawObject;
  };
  void Paint(HDC dc, const Document& doc, const RECT& client, const RECT& clip, const PaintState& state);

  static constexpr int kMargin = 4;
  static constexpr int kMarqueePixels = 6;  // a moving paragraph's step

 private:
  void LayOutParagraph(const Document& doc, size_t start, ParaBox* box);
  int Measure(const Document& doc, size_t start, size_t end, std::vector<int>* advances);

  HDC dc_ = nullptr;
  LOGFONTW base_{};
  int width_ = 480;
  std::map<uint32_t, FontEntry> fonts_;  // by size and attributes
  std::vector<ParaBox> paras_;
  std::vector<int> widths_;  // scratch
};

// The line-break rule of DrawText: whether a line may break between the two.
bool CanBreakBetween(wchar_t before, wchar_t after);

}  // namespace markwright
