// Breaks an edit's text into lines: at its line ends and, when wrapping, at
// the last place a line may break before it grows wider than the view (after
// blanks, and between Japanese characters except before closing marks or
// after opening ones); a word wider than the view is cut where it must be.
// After a change only the paragraphs it touched are laid out again.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace qv::ui::text {

struct Line {
  size_t start = 0;
  size_t end = 0;   // after the last character shown (line break excluded)
  size_t next = 0;  // where the next line starts
  int width = 0;    // pixels
  bool hard = false;  // ends with a line break
};

class LineLayout {
 public:
  // Advance of a character that starts `x` pixels into its line.
  using Measure = std::function<int(char32_t c, int x)>;

  // `multiline` false: one line whatever the text holds. `wrapWidth` <= 0:
  // no wrapping.
  void Configure(bool multiline, int wrapWidth, Measure measure);
  void Rebuild(const std::u16string& text);
  // The text changed at `pos`: `removed` units gave way to `inserted`.
  void Update(const std::u16string& text, size_t pos, size_t removed, size_t inserted);

  const std::vector<Line>& Lines() const { return lines_; }
  size_t Count() const { return lines_.size(); }
  size_t LineOf(size_t pos) const;
  // Pixels from the start of `line` to `pos` (clamped to the line).
  int XOf(const std::u16string& text, size_t line, size_t pos) const;
  // The position in `line` nearest to `x` pixels from its start.
  size_t PosAt(const std::u16string& text, size_t line, int x) const;
  int MaxWidth() const;
  bool Multiline() const { return multiline_; }

  // The character at `i` and the units it takes.
  static char32_t CodeAt(const std::u16string& text, size_t i, size_t* units);
  // Units of the line break at `i` (CR LF, CR or LF), 0 when there is none.
  static size_t BreakAt(const std::u16string& text, size_t i);

 private:
  // Lays out the paragraphs of [from, to) into `out`; `atEnd`: `to` is the
  // end of the text, whose last line comes with them.
  void LayOut(const std::u16string& text, size_t from, size_t to, bool atEnd, std::vector<Line>* out) const;
  void WrapParagraph(const std::u16string& text, size_t from, size_t to, std::vector<Line>* out) const;

  bool multiline_ = true;
  int wrapWidth_ = 0;
  Measure measure_;
  std::vector<Line> lines_{Line{}};
};

}  // namespace qv::ui::text
