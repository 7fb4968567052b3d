// DrawText: "&" prefixes, hard line breaks, word breaks (Latin at blanks,
// Japanese between any two characters, never before a closing bracket, a
// small kana or the other characters Japanese text keeps off the start of a
// line), alignment, end ellipsis, and DT_CALCRECT measuring exactly the
// lines it would draw.
#include <algorithm>
#include <cwchar>
#include <string>

#include "platform/gdi/Text.h"

namespace qv::gdi {

namespace {

constexpr UINT kEllipsisFlags = DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS;
constexpr wchar_t kEllipsis[] = L"...";

bool IsBlank(WCHAR c) { return c == L' ' || c == L'\t' || c == 0x3000; }

// Characters of Japanese (and the other East Asian) text, between any two of
// which a line may break.
bool IsWide(WCHAR c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) ||
         (c >= 0x20000 && c <= 0x3FFFF);
}

// What may not begin a line: closing brackets and quotes, punctuation, small
// kana, iteration marks and the prolonged sound mark.
bool NoLineStart(WCHAR c) {
  static constexpr wchar_t kClosers[] =
      L")]}»’”、。，．・：；？！゛゜ヽヾゝゞ々ー〉》」』】〕〗〙〟）］｝｠｡｣､･ｰ"
      L"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶㇰㇱㇲㇳㇴㇵㇶㇷㇸㇹㇺㇻㇼㇽㇾㇿｧｨｩｪｫｬｭｮｯ,.:;!?";
  return c != 0 && wcschr(kClosers, c) != nullptr;
}

bool CanBreak(WCHAR before, WCHAR after) {
  if (NoLineStart(after) || IsBlank(after)) return false;
  if (IsBlank(before)) return true;
  return IsWide(before) || IsWide(after);
}

struct Line {
  size_t begin = 0;
  size_t end = 0;
  int width = 0;
  bool ellipsis = false;
};

class Layout {
 public:
  Layout(FontInstance& font, UINT format, int tabStop) : font_(font), format_(format), tabStop_(tabStop) {}

  // Removes the prefixes and keeps which characters they mark.
  void SetText(const WCHAR* text, size_t count) {
    bool prefixes = !(format_ & DT_NOPREFIX);
    bool single = format_ & DT_SINGLELINE;
    for (size_t i = 0; i < count; ++i) {
      WCHAR c = text[i];
      if (single && (c == L'\r' || c == L'\n')) continue;
      if (prefixes && c == L'&' && i + 1 < count) {
        c = text[++i];
        if (c != L'&' && !(format_ & DT_HIDEPREFIX)) underlined_.push_back(text_.size());
      }
      text_.push_back(c);
    }
    std::vector<const Glyph*> glyphs(text_.size());
    font_.Lookup(text_.data(), text_.size(), glyphs.data());
    advances_.resize(text_.size());
    for (size_t i = 0; i < text_.size(); ++i) advances_[i] = glyphs[i]->advance;
    TextRun dots;
    ShapeRun(font_, kEllipsis, 3, nullptr, &dots);
    ellipsisWidth_ = dots.width;
  }

  // Lines within `width` (word breaks) or one line per paragraph.
  void Break(int width) {
    bool wrap = (format_ & DT_WORDBREAK) && !(format_ & DT_SINGLELINE);
    size_t start = 0;
    for (;;) {
      size_t end = start;
      if (!(format_ & DT_SINGLELINE))
        while (end < text_.size() && text_[end] != L'\r' && text_[end] != L'\n') ++end;
      else
        end = text_.size();
      if (wrap)
        BreakParagraph(start, end, width);
      else
        AddLine(start, end, false);
      if (end >= text_.size()) break;
      start = end + (text_[end] == L'\r' && end + 1 < text_.size() && text_[end + 1] == L'\n' ? 2 : 1);
    }
  }

  // The last line of the text ends in "..." when it does not fit; so does the
  // last line that fits in `height` when the text is cut there.
  void Ellipsize(int width, int height, int lineHeight) {
    if (!(format_ & kEllipsisFlags) || lines_.empty()) return;
    if (height >= 0 && lineHeight > 0 && (format_ & DT_WORDBREAK) && !(format_ & DT_SINGLELINE)) {
      size_t visible = static_cast<size_t>(std::max(1, height / lineHeight));
      if (lines_.size() > visible) {
        lines_.resize(visible);
        Cut(lines_.back(), width);
        return;
      }
    }
    if (lines_.back().width > width) Cut(lines_.back(), width);
  }

  const std::vector<Line>& Lines() const { return lines_; }
  int Widest() const {
    int w = 0;
    for (const Line& l : lines_) w = std::max(w, l.width);
    return w;
  }

  // The characters of a line as drawn (tabs as blanks, the ellipsis added)
  // and their advances.
  void Shape(const Line& line, TextRun* run, std::wstring* shown = nullptr) const {
    std::wstring s(text_.begin() + static_cast<ptrdiff_t>(line.begin), text_.begin() + static_cast<ptrdiff_t>(line.end));
    std::vector<int> advances;
    int x = 0;
    for (size_t i = line.begin; i < line.end; ++i) {
      advances.push_back(Advance(i, x));
      x += advances.back();
    }
    std::replace(s.begin(), s.end(), L'\t', L' ');
    if (line.ellipsis) {
      TextRun dots;
      ShapeRun(font_, kEllipsis, 3, nullptr, &dots);
      s += kEllipsis;
      advances.insert(advances.end(), dots.advances.begin(), dots.advances.end());
    }
    ShapeRun(font_, s.data(), s.size(), advances.data(), run);
    if (shown) *shown = std::move(s);
  }

  // The marked characters of a line: [x0, x1) from the line's start.
  template <class F>
  void ForEachUnderlined(const Line& line, const TextRun& run, F f) const {
    for (size_t u : underlined_) {
      if (u < line.begin || u >= line.end) continue;
      int x0 = 0;
      for (size_t i = line.begin; i < u; ++i) x0 += run.advances[i - line.begin];
      f(x0, x0 + run.advances[u - line.begin]);
    }
  }

 private:
  int Advance(size_t i, int x) const {
    if (text_[i] == L'\t' && (format_ & DT_EXPANDTABS) && tabStop_ > 0) return tabStop_ - x % tabStop_;
    return advances_[i];
  }

  int Width(size_t begin, size_t end) const {
    int x = 0;
    for (size_t i = begin; i < end; ++i) x += Advance(i, x);
    return x;
  }

  // Broken lines leave their trailing blanks out.
  void AddLine(size_t begin, size_t end, bool trim) {
    if (trim)
      while (end > begin && IsBlank(text_[end - 1])) --end;
    lines_.push_back(Line{begin, end, Width(begin, end), false});
  }

  void BreakParagraph(size_t start, size_t stop, int width) {
    do {
      size_t i = start, lastBreak = 0;
      bool overflow = false;
      for (int x = 0; i < stop; ++i) {
        if (i > start && CanBreak(text_[i - 1], text_[i])) lastBreak = i;
        int w = Advance(i, x);
        if (!IsBlank(text_[i]) && x + w > width && i > start) {
          overflow = true;
          break;
        }
        x += w;
      }
      if (!overflow) {
        AddLine(start, stop, false);
        return;
      }
      size_t end;
      if (lastBreak > start) {
        end = lastBreak;
      } else if (format_ & DT_EDITCONTROL) {
        // A word longer than the line is broken where it overflows, as an edit control does.
        end = i;
        while (end > start + 1 && NoLineStart(text_[end])) --end;
      } else {
        // Otherwise the word stays whole and runs past the edge.
        end = i + 1;
        while (end < stop && !CanBreak(text_[end - 1], text_[end])) ++end;
      }
      AddLine(start, end, true);
      start = end;
    } while (start < stop);
  }

  void Cut(Line& line, int width) {
    size_t k = line.begin;
    int x = 0;
    while (k < line.end && x + Advance(k, x) + ellipsisWidth_ <= width) x += Advance(k++, x);
    line.end = k;
    line.width = x + ellipsisWidth_;
    line.ellipsis = true;
  }

  FontInstance& font_;
  UINT format_;
  int tabStop_;
  std::wstring text_;
  std::vector<int> advances_;
  std::vector<size_t> underlined_;
  std::vector<Line> lines_;
  int ellipsisWidth_ = 0;
};

}  // namespace

}  // namespace qv::gdi

using namespace qv::gdi;

int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT* rect, UINT format) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return 0;
  if (!rect || (!text && count != 0)) return Fail(ERROR_INVALID_PARAMETER);
  if (count < 0) count = static_cast<int>(wcslen(text));
  const FontObject& font = FontOf(*dc);
  const TEXTMETRICW& tm = font.instance->Metrics();
  int lineHeight = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
  int width = rect->right - rect->left, height = rect->bottom - rect->top;

  Layout layout(*font.instance, format, 8 * tm.tmAveCharWidth);
  layout.SetText(text, static_cast<size_t>(count));
  layout.Break(width);
  layout.Ellipsize(width, (format & DT_CALCRECT) ? -1 : height, lineHeight);
  const std::vector<Line>& lines = layout.Lines();
  int total = static_cast<int>(lines.size()) * lineHeight;
  if (count == 0) total = 0;
  if (format & DT_CALCRECT) {
    rect->right = rect->left + (count == 0 ? 0 : layout.Widest());
    rect->bottom = rect->top + total;
    return total;
  }

  int top = rect->top;
  if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) top = rect->top + (height - lineHeight) / 2;
  if ((format & DT_SINGLELINE) && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;
  RECT clip = dc->clip;
  if (!(format & DT_NOCLIP)) ClipTo(RECT{dc->X(rect->left), dc->Y(rect->top), dc->X(rect->right), dc->Y(rect->bottom)}, &clip);
  const DcState& s = dc->state;
  DWORD ink = PixelOf(ResolveColor(s.textColor));
  DWORD background = PixelOf(ResolveColor(s.bkColor));
  const FontInstance& f = *font.instance;
  TextRun run;
  int y = top;
  for (const Line& line : lines) {
    // An edit control shows no partly visible last line.
    if ((format & DT_EDITCONTROL) && y != top && y + lineHeight > rect->bottom) break;
    std::wstring shown;
    layout.Shape(line, &run, TextObserved() ? &shown : nullptr);
    int x = rect->left;
    if (format & DT_CENTER) x = rect->left + (width - run.width) / 2;
    if (format & DT_RIGHT) x = rect->right - run.width;
    int sx = dc->X(x), sy = dc->Y(y);
    if (s.bkMode == OPAQUE) {
      RECT cell{sx, sy, sx + run.width, sy + lineHeight};
      if (ClipTo(clip, &cell)) FillSurfaceRect(*dc, cell, background);
    }
    PaintRun(*dc, font, run, sx, sy, clip, ink);
    if (TextObserved()) ReportText(*dc, font, std::move(shown), x, y, run.width, lineHeight, clip);
    layout.ForEachUnderlined(line, run, [&](int x0, int x1) {
      PaintBar(*dc, sx + x0, sx + x1, sy + tm.tmAscent + f.UnderlineTop(), f.LineThickness(), clip, ink);
    });
    y += lineHeight;
  }
  if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM))) return top - rect->top + lineHeight;
  return total;
}
