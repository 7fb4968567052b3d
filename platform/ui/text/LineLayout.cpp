#include "platform/ui/text/LineLayout.h"

#include <algorithm>

namespace qv::ui::text {
namespace {

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t' || c == 0x3000; }

// Scripts written without spaces: a line may break between any two of them.
bool IsIdeographic(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
         (c >= 0x20000 && c <= 0x3FFFF) || (c >= 0x1F000 && c <= 0x1FAFF);
}

// Marks a line must not start with, and marks it must not end with.
bool NoStart(char32_t c) {
  static constexpr std::u32string_view kMarks = U"、。，．・：；？！ー）」』】〕〉》｝］゛゜ぁぃぅぇぉっゃゅょァィゥェォッャュョ,.!?:;)]}";
  return kMarks.find(c) != std::u32string_view::npos;
}
bool NoEnd(char32_t c) {
  static constexpr std::u32string_view kMarks = U"（「『【〔〈《｛［([{";
  return kMarks.find(c) != std::u32string_view::npos;
}

bool MayBreakBetween(char32_t before, char32_t after) {
  if (IsBlank(before)) return !IsBlank(after);
  if (NoStart(after) || NoEnd(before)) return false;
  return IsIdeographic(before) || IsIdeographic(after);
}

}  // namespace

char32_t LineLayout::CodeAt(const std::u16string& text, size_t i, size_t* units) {
  const char16_t c = text[i];
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
    *units = 2;
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
  }
  *units = 1;
  return c;
}

size_t LineLayout::BreakAt(const std::u16string& text, size_t i) {
  if (i >= text.size()) return 0;
  if (text[i] == u'\r') return i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
  return text[i] == u'\n' ? 1 : 0;
}

void LineLayout::Configure(bool multiline, int wrapWidth, Measure measure) {
  multiline_ = multiline;
  wrapWidth_ = multiline ? wrapWidth : 0;
  measure_ = std::move(measure);
}

void LineLayout::Rebuild(const std::u16string& text) {
  lines_.clear();
  LayOut(text, 0, text.size(), true, &lines_);
}

void LineLayout::Update(const std::u16string& text, size_t pos, size_t removed, size_t inserted) {
  if (!multiline_ || lines_.empty()) {
    Rebuild(text);
    return;
  }
  // The paragraphs the change touched, in the old text.
  const auto paragraphStart = [this](size_t line) {
    while (line > 0 && !lines_[line - 1].hard) --line;
    return line;
  };
  size_t first = paragraphStart(LineOf(pos));
  // A paragraph ended by a lone CR joins the break of an LF that now follows
  // it, so it is laid out again with the change.
  if (first > 0 && text[lines_[first].start - 1] == u'\r') first = paragraphStart(first - 1);
  size_t last = LineOf(pos + removed);
  while (last + 1 < lines_.size() && !lines_[last].hard) ++last;
  const bool atEnd = last + 1 == lines_.size();
  const size_t from = lines_[first].start;
  const size_t oldTo = lines_[last].next;
  const size_t to = oldTo - removed + inserted;
  std::vector<Line> fresh;
  LayOut(text, from, atEnd ? text.size() : to, atEnd, &fresh);
  const ptrdiff_t delta = static_cast<ptrdiff_t>(inserted) - static_cast<ptrdiff_t>(removed);
  for (size_t i = last + 1; i < lines_.size(); ++i) {
    lines_[i].start += delta;
    lines_[i].end += delta;
    lines_[i].next += delta;
  }
  lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(first), lines_.begin() + static_cast<ptrdiff_t>(last) + 1);
  lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(first), fresh.begin(), fresh.end());
}

void LineLayout::LayOut(const std::u16string& text, size_t from, size_t to, bool atEnd,
                        std::vector<Line>* out) const {
  if (!multiline_) {
    out->push_back(Line{0, text.size(), text.size(), XOf(text, 0, text.size()), false});
    return;
  }
  size_t start = from;
  for (;;) {
    size_t brk = start;
    while (brk < to && !BreakAt(text, brk)) ++brk;
    WrapParagraph(text, start, brk, out);
    if (brk >= to) return;  // the text's last paragraph, or the region's end
    out->back().hard = true;
    out->back().next = brk + BreakAt(text, brk);
    start = out->back().next;
    if (start >= to) {
      if (atEnd) out->push_back(Line{start, start, start, 0, false});
      return;
    }
  }
}

void LineLayout::WrapParagraph(const std::u16string& text, size_t from, size_t to, std::vector<Line>* out) const {
  size_t lineStart = from;
  int x = 0;
  size_t lastBreak = 0;  // 0: none in this line yet
  int xAtBreak = 0;
  char32_t prev = 0;
  for (size_t i = from; i < to;) {
    size_t units = 1;
    const char32_t c = CodeAt(text, i, &units);
    if (i > lineStart && MayBreakBetween(prev, c)) {
      lastBreak = i;
      xAtBreak = x;
    }
    const int w = measure_(c, x);
    if (wrapWidth_ > 0 && x + w > wrapWidth_ && i > lineStart && !IsBlank(c)) {
      const size_t cut = lastBreak > lineStart ? lastBreak : i;
      const int cutX = lastBreak > lineStart ? xAtBreak : x;
      out->push_back(Line{lineStart, cut, cut, cutX, false});
      lineStart = cut;
      lastBreak = 0;
      // Lay out again from the cut: what followed it starts the new line.
      x = 0;
      i = cut;
      prev = 0;
      continue;
    }
    x += w;
    prev = c;
    i += units;
  }
  out->push_back(Line{lineStart, to, to, x, false});
}

size_t LineLayout::LineOf(size_t pos) const {
  auto it = std::upper_bound(lines_.begin(), lines_.end(), pos, [](size_t p, const Line& l) { return p < l.start; });
  return it == lines_.begin() ? 0 : static_cast<size_t>(it - lines_.begin()) - 1;
}

int LineLayout::XOf(const std::u16string& text, size_t line, size_t pos) const {
  const size_t start = line < lines_.size() ? lines_[line].start : 0;
  const size_t end = std::min(pos, multiline_ && line < lines_.size() ? lines_[line].end : text.size());
  int x = 0;
  for (size_t i = start; i < end;) {
    size_t units = 1;
    x += measure_(CodeAt(text, i, &units), x);
    i += units;
  }
  return x;
}

size_t LineLayout::PosAt(const std::u16string& text, size_t line, int x) const {
  if (line >= lines_.size()) return text.size();
  const Line& l = lines_[line];
  int at = 0;
  for (size_t i = l.start; i < l.end;) {
    size_t units = 1;
    const int w = measure_(CodeAt(text, i, &units), at);
    if (x < at + (w + 1) / 2) return i;
    at += w;
    i += units;
  }
  return l.end;
}

int LineLayout::MaxWidth() const {
  int most = 0;
  for (const Line& l : lines_) most = std::max(most, l.width);
  return most;
}

}  // namespace qv::ui::text
