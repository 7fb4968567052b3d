#include "outside/Markwright/HtmlLayout.h"

#include <algorithm>
#include <cwchar>

#include "outside/Markwright/HtmlEditCtrl.h"
#include "outside/Markwright/HtmlPainter.h"

namespace markwright {

namespace {

const HtmlEditTextPainter* g_painter = nullptr;

// HTML sizes 1..7 over size 3, in eighths.
constexpr int kSizeEighths[8] = {8, 5, 6, 8, 9, 12, 16, 24};
constexpr uint32_t kDefaultText = 0x000000;
constexpr uint32_t kLinkColor = 0xFF0000;  // blue as COLORREF

// A text colour too close to the page's own (white text on a cell colour the
// layout does not draw) falls back to the default, so nothing is unreadable.
uint32_t Readable(uint32_t color, uint32_t background) {
  int worst = 0;
  for (int shift : {0, 8, 16}) {
    const int d = std::abs(static_cast<int>((color >> shift) & 0xFF) - static_cast<int>((background >> shift) & 0xFF));
    worst = std::max(worst, d);
  }
  return worst < 64 ? kDefaultText : color;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == 0x3000; }

bool IsWide(wchar_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
         (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

bool NoLineStart(wchar_t c) {
  static constexpr wchar_t kClosers[] =
      L")]}»’”、。，．・：；？！゛゜ヽヾゝゞ々ー〉》」』】〕〗〙〟）］｝｠｡｣､･ｰ"
      L"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョヮヵヶㇰㇱㇲㇳㇴㇵㇶㇷㇸㇹㇺㇻㇼㇽㇾㇿｧｨｩｪｫｬｭｮｯ,.:;!?";
  return c != 0 && std::wcschr(kClosers, c) != nullptr;
}

uint32_t FontKey(const Format& f, bool link) {
  return static_cast<uint32_t>(f.size) | ((f.attrs & (kBold | kItalic | kUnderline | kStrike)) << 4) |
         (link ? 0x10000u : 0u);
}

}  // namespace

void SetPainter(const HtmlEditTextPainter* painter) { g_painter = painter; }

int FitText(HDC dc, const wchar_t* text, int length, int* widths, int fontHeight) {
  // The sets have glyphs up to 32 pixels: larger text takes the largest.
  if (g_painter && g_painter->fit) return g_painter->fit(dc, text, length, 0x3FFFFFFF, widths, std::min(fontHeight, 32));
  int fit = 0;
  SIZE size{};
  GetTextExtentExPointW(dc, text, length, 0x3FFFFFFF, &fit, widths, &size);
  return fit;
}

void DrawTextRun(HDC dc, int x, int y, const wchar_t* text, int length, int fontHeight) {
  if (g_painter && g_painter->draw) {
    g_painter->draw(dc, x, y, text, length, std::min(fontHeight, 32));
    return;
  }
  ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

bool CanBreakBetween(wchar_t before, wchar_t after) {
  if (NoLineStart(after) || IsBlank(after)) return false;
  if (IsBlank(before)) return true;
  return IsWide(before) || IsWide(after);
}

Layout::Layout() : dc_(CreateCompatibleDC(nullptr)) {
  base_.lfHeight = -24;
  std::wcscpy(base_.lfFaceName, L"ＭＳ Ｐゴシック");
  base_.lfCharSet = 1;
}

Layout::~Layout() {
  fonts_.clear();
  if (dc_) DeleteDC(dc_);
}

void Layout::Configure(const LOGFONTW& base, int width) {
  base_ = base;
  if (base_.lfHeight == 0) base_.lfHeight = -24;
  width_ = std::max(width, 2 * kMargin + 8);
  fonts_.clear();
}

FontEntry& Layout::FontFor(const Format& f) {
  const bool link = !f.link.empty();
  const uint32_t key = FontKey(f, link);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  LOGFONTW lf = base_;
  const int baseHeight = std::abs(base_.lfHeight);
  lf.lfHeight = -std::max(6, baseHeight * kSizeEighths[std::clamp(f.size, 1, 7)] / 8);
  lf.lfWeight = (f.attrs & kBold) ? 700 : 400;
  lf.lfItalic = (f.attrs & kItalic) ? 1 : 0;
  lf.lfUnderline = ((f.attrs & kUnderline) || link) ? 1 : 0;
  lf.lfStrikeOut = (f.attrs & kStrike) ? 1 : 0;
  FontEntry e;
  e.font.reset(CreateFontIndirectW(&lf));
  qv::ScopedSelectObject select(dc_, e.font.get());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_, &tm);
  e.height = tm.tmHeight;
  e.ascent = tm.tmAscent;
  e.descent = tm.tmHeight - tm.tmAscent;
  return fonts_.emplace(key, std::move(e)).first->second;
}

// Advances of [start, end) into `advances`; the height of the tallest font.
int Layout::Measure(const Document& doc, size_t start, size_t end, std::vector<int>* advances) {
  advances->assign(end - start, 0);
  size_t i = start;
  const std::wstring& chars = doc.Chars();
  while (i < end) {
    const wchar_t c = chars[i];
    if (c == kObject) {
      const Object& o = doc.ObjectOf(doc.Tag(i));
      (*advances)[i - start] = o.kind == Object::kRule ? width_ - 2 * kMargin : (objectSize ? objectSize(doc.Tag(i)).cx : 0);
      ++i;
      continue;
    }
    if (c == kLineBreak) {
      ++i;
      continue;
    }
    const uint32_t tag = doc.Tag(i);
    size_t runEnd = i;
    while (runEnd < end && runEnd - i < 4096 && doc.Tag(runEnd) == tag && chars[runEnd] != kObject && chars[runEnd] != kLineBreak)
      ++runEnd;
    FontEntry& font = FontFor(doc.FormatOf(tag));
    qv::ScopedSelectObject select(dc_, font.font.get());
    const int n = static_cast<int>(runEnd - i);
    widths_.resize(static_cast<size_t>(n));
    FitText(dc_, chars.data() + i, n, widths_.data(), font.height);
    int previous = 0;
    for (int k = 0; k < n; ++k) {
      (*advances)[i - start + static_cast<size_t>(k)] = widths_[static_cast<size_t>(k)] - previous;
      previous = widths_[static_cast<size_t>(k)];
    }
    i = runEnd;
  }
  return 0;
}

void Layout::LayOutParagraph(const Document& doc, size_t start, ParaBox* box) {
  const size_t end = doc.ParagraphEnd(start);
  const std::wstring& chars = doc.Chars();
  box->start = start;
  box->length = end - start;
  box->lines.clear();
  std::vector<int> adv;
  Measure(doc, start, end, &adv);
  const int avail = width_ - 2 * kMargin;
  const int align = doc.StyleOf(doc.Tag(end)).align;
  box->xs.assign(box->length + 1, 0);
  auto lineMetrics = [&](size_t from, size_t to, LineBox* line) {
    int ascent = 0, descent = 0;
    uint32_t lastTag = UINT32_MAX;
    for (size_t i = from; i < to || (i == from && i <= to); ++i) {
      const size_t at = start + i;
      if (i >= to) {
        // An empty line takes the height of the format before it (or the default).
        const FontEntry& f = FontFor(at > 0 && chars[at - 1] != kParagraphEnd ? doc.FormatAt(at - 1) : Format{});
        ascent = std::max(ascent, f.ascent);
        descent = std::max(descent, f.descent);
        break;
      }
      const wchar_t c = chars[at];
      if (c == kObject) {
        const Object& o = doc.ObjectOf(doc.Tag(at));
        if (o.kind == Object::kRule) {
          ascent = std::max(ascent, 12);
          descent = std::max(descent, 4);
        } else {
          const int h = objectSize ? objectSize(doc.Tag(at)).cy : 0;
          ascent = std::max(ascent, h);
        }
        continue;
      }
      // A run of one format needs its font looked up once.
      const uint32_t tag = c == kLineBreak ? UINT32_MAX : doc.Tag(at);
      if (tag != UINT32_MAX && tag == lastTag) continue;
      lastTag = tag;
      const FontEntry& f = FontFor(c == kLineBreak ? (i > 0 ? doc.FormatAt(at - 1) : Format{}) : doc.FormatOf(tag));
      ascent = std::max(ascent, f.ascent);
      descent = std::max(descent, f.descent);
    }
    line->ascent = ascent;
    line->height = ascent + descent;
  };
  int y = 0;
  size_t lineStart = 0;
  auto closeLine = [&](size_t lineEnd, size_t next) {
    LineBox line;
    line.start = lineStart;
    line.end = lineEnd;
    line.y = y;
    int x = 0;
    for (size_t k = lineStart; k < next && k < box->length; ++k) {
      box->xs[k] = x;
      x += adv[k];
    }
    if (next >= box->length) box->xs[box->length] = x;
    // Blanks at the end of a line hang: they do not count for alignment.
    int shown = 0;
    for (size_t k = lineStart; k < lineEnd; ++k) shown = box->xs[k] + adv[k];
    size_t last = lineEnd;
    while (last > lineStart && IsBlank(chars[start + last - 1])) --last;
    if (last > lineStart) shown = box->xs[last - 1] + adv[last - 1];
    else shown = 0;
    line.width = shown;
    line.x0 = align == 2 ? std::max(0, (avail - shown) / 2) : align == 3 ? std::max(0, avail - shown) : 0;
    lineMetrics(lineStart, lineEnd, &line);
    y += line.height;
    box->lines.push_back(line);
    lineStart = next;
  };
  int x = 0;
  size_t lastBreak = 0;  // a line may break before this index (0: none yet)
  for (size_t i = 0; i < box->length; ++i) {
    const wchar_t c = chars[start + i];
    if (c == kLineBreak) {
      closeLine(i + 1, i + 1);
      x = 0;
      lastBreak = 0;
      continue;
    }
    if (i > lineStart && (chars[start + i - 1] == kObject || c == kObject || CanBreakBetween(chars[start + i - 1], c)))
      lastBreak = i;
    if (x + adv[i] > avail && i > lineStart && !IsBlank(c)) {
      const size_t at = lastBreak > lineStart ? lastBreak : i;
      closeLine(at, at);
      x = 0;
      for (size_t k = at; k < i; ++k) x += adv[k];
      lastBreak = 0;
    }
    x += adv[i];
  }
  closeLine(box->length, box->length);
  // The last x when the paragraph ends right after a line break.
  if (box->length > 0 && chars[end - 1] == kLineBreak) box->xs[box->length] = 0;
  box->height = y;
}

void Layout::Build(const Document& doc) {
  paras_.clear();
  size_t pos = 0;
  int y = kMargin;
  const size_t total = doc.Chars().size();
  while (pos < total) {
    ParaBox box;
    LayOutParagraph(doc, pos, &box);
    box.y = y;
    y += box.height;
    pos += box.length + 1;
    paras_.push_back(std::move(box));
  }
}

void Layout::Update(const Document& doc, size_t pos, size_t removed, size_t inserted) {
  if (paras_.empty()) {
    Build(doc);
    return;
  }
  // Old paragraphs [a, b] held the changed range; new text [from, to] replaces them.
  const size_t a = ParaIndexOf(pos);
  const size_t b = ParaIndexOf(pos + removed);
  const size_t from = paras_[a].start;
  const size_t oldEnd = paras_[b].start + paras_[b].length + 1;
  const size_t newEnd = oldEnd + inserted - removed;
  const int top = paras_[a].y;
  const int oldBottom = paras_[b].y + paras_[b].height;
  std::vector<ParaBox> fresh;
  int y = top;
  for (size_t p = from; p < newEnd;) {
    ParaBox box;
    LayOutParagraph(doc, p, &box);
    box.y = y;
    y += box.height;
    p += box.length + 1;
    fresh.push_back(std::move(box));
  }
  const long shift = static_cast<long>(inserted) - static_cast<long>(removed);
  const int dy = y - oldBottom;
  paras_.erase(paras_.begin() + static_cast<std::ptrdiff_t>(a), paras_.begin() + static_cast<std::ptrdiff_t>(b + 1));
  paras_.insert(paras_.begin() + static_cast<std::ptrdiff_t>(a), std::make_move_iterator(fresh.begin()),
                std::make_move_iterator(fresh.end()));
  for (size_t k = a + fresh.size(); k < paras_.size(); ++k) {
    paras_[k].start = static_cast<size_t>(static_cast<long>(paras_[k].start) + shift);
    paras_[k].y += dy;
  }
}

int Layout::ContentHeight() const {
  return paras_.empty() ? 2 * kMargin : paras_.back().y + paras_.back().height + kMargin;
}

size_t Layout::ParaIndexOf(size_t pos) const {
  auto it = std::upper_bound(paras_.begin(), paras_.end(), pos,
                             [](size_t p, const ParaBox& box) { return p < box.start; });
  return it == paras_.begin() ? 0 : static_cast<size_t>(it - paras_.begin() - 1);
}

POINT Layout::PointOf(size_t pos, int* lineHeight, int* lineTop) const {
  if (paras_.empty()) return POINT{kMargin, kMargin};
  const ParaBox& p = paras_[ParaIndexOf(pos)];
  const size_t rel = std::min(pos - p.start, p.length);
  size_t li = 0;
  while (li + 1 < p.lines.size() && p.lines[li + 1].start <= rel) ++li;
  const LineBox& line = p.lines[li];
  if (lineHeight) *lineHeight = line.height;
  if (lineTop) *lineTop = p.y + line.y;
  return POINT{kMargin + line.x0 + p.xs[rel], p.y + line.y};
}

size_t Layout::PosAt(POINT pt) const {
  if (paras_.empty()) return 0;
  auto it = std::upper_bound(paras_.begin(), paras_.end(), pt.y, [](int y, const ParaBox& box) { return y < box.y; });
  const ParaBox& p = it == paras_.begin() ? paras_.front() : *(it - 1);
  size_t li = 0;
  while (li + 1 < p.lines.size() && p.lines[li + 1].y + p.y <= pt.y) ++li;
  const LineBox& line = p.lines[li];
  const int x = pt.x - kMargin - line.x0;
  // The place after a wrapped line's last character is the next line's
  // start; a line break is not stepped over.
  size_t last = p.length;
  if (li + 1 < p.lines.size()) last = line.end > line.start ? line.end - 1 : line.start;
  size_t best = line.start;
  for (size_t k = line.start; k <= last; ++k) {
    if (p.xs[k] <= x) {
      best = k;
      continue;
    }
    if (p.xs[k] - x < x - p.xs[best]) best = k;
    break;
  }
  return p.start + best;
}

size_t Layout::LineCount() const {
  size_t n = 0;
  for (const ParaBox& p : paras_) n += p.lines.size();
  return n;
}

size_t Layout::LineIndexOf(size_t pos) const {
  const size_t pi = ParaIndexOf(pos);
  size_t n = 0;
  for (size_t k = 0; k < pi; ++k) n += paras_[k].lines.size();
  const ParaBox& p = paras_[pi];
  const size_t rel = pos - p.start;
  size_t li = 0;
  while (li + 1 < p.lines.size() && p.lines[li + 1].start <= rel) ++li;
  return n + li;
}

size_t Layout::LineStart(size_t lineIndex) const {
  for (const ParaBox& p : paras_) {
    if (lineIndex < p.lines.size()) return p.start + p.lines[lineIndex].start;
    lineIndex -= p.lines.size();
  }
  return paras_.empty() ? 0 : paras_.back().start + paras_.back().length;
}

size_t Layout::MoveLines(size_t pos, int delta, int x) const {
  int lineHeight = 0, top = 0;
  PointOf(pos, &lineHeight, &top);
  const long target = static_cast<long>(LineIndexOf(pos)) + delta;
  if (target < 0) return 0;
  if (static_cast<size_t>(target) >= LineCount()) return paras_.back().start + paras_.back().length;
  const size_t start = LineStart(static_cast<size_t>(target));
  int h = 0, t = 0;
  PointOf(start, &h, &t);
  return PosAt(POINT{x, t + h / 2});
}

void Layout::Paint(HDC dc, const Document& doc, const RECT& client, const RECT& clip, const PaintState& s) {
  qv::ScopedGdiObject<HBRUSH> back(CreateSolidBrush(s.background));
  FillRect(dc, &clip, back.get());
  if (paras_.empty()) return;
  SetBkMode(dc, TRANSPARENT);
  const std::wstring& chars = doc.Chars();
  const int top = clip.top + s.scrollY;
  const int bottom = clip.bottom + s.scrollY;
  auto it = std::upper_bound(paras_.begin(), paras_.end(), top, [](int y, const ParaBox& box) { return y < box.y; });
  size_t pi = it == paras_.begin() ? 0 : static_cast<size_t>(it - paras_.begin() - 1);
  const DWORD highlight = GetSysColor(COLOR_HIGHLIGHT);
  const DWORD highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  for (; pi < paras_.size() && paras_[pi].y < bottom; ++pi) {
    const ParaBox& p = paras_[pi];
    const ParagraphStyle& style = doc.StyleOf(doc.Tag(p.start + p.length));
    const bool moving = s.marqueeStep >= 0 && (style.scroll || style.swing);
    for (const LineBox& line : p.lines) {
      const int ly = p.y + line.y - s.scrollY;
      if (ly + line.height < clip.top || ly > clip.bottom) continue;
      int lx = client.left + kMargin + line.x0;
      if (moving) {
        // Scrolling text leaves at the left and comes back at the right;
        // swinging text goes from side to side within the width.
        const int avail = width_ - 2 * kMargin;
        const long travelled = static_cast<long>(s.marqueeStep) * kMarqueePixels;
        if (style.swing) {
          const int range = std::max(0, avail - line.width);
          const long at = range > 0 ? travelled % (2L * range) : 0;
          lx = client.left + kMargin + static_cast<int>(at <= range ? at : 2L * range - at);
        } else {
          // It starts where the layout put it, so the first screen shows it.
          const long period = std::max(1L, static_cast<long>(avail) + line.width);
          long at = line.x0 - travelled % period;
          if (at < -line.width) at += period;
          lx = client.left + kMargin + static_cast<int>(at);
        }
      }
      const int baseline = ly + line.ascent;
      size_t k = line.start;
      while (k < line.end) {
        const size_t at = p.start + k;
        const wchar_t c = chars[at];
        const bool selected = at >= s.selFrom && at < s.selTo;
        const int x = lx + p.xs[k];
        if (c == kLineBreak) {
          ++k;
          continue;
        }
        if (c == kObject) {
          const uint32_t id = doc.Tag(at);
          const Object& o = doc.ObjectOf(id);
          if (o.kind == Object::kRule) {
            RECT r{client.left + kMargin, baseline - 7, client.right - kMargin, baseline - 5};
            qv::ScopedGdiObject<HBRUSH> gray(CreateSolidBrush(0x808080));
            FillRect(dc, &r, gray.get());
          } else if (objectSize && s.drawObject) {
            const SIZE size = objectSize(id);
            const RECT r{x, baseline - size.cy, x + size.cx, baseline};
            s.drawObject(dc, id, r);
            if (selected) InvertRect(dc, &r);
          }
          ++k;
          continue;
        }
        // A run: one tag, one selection state.
        const uint32_t tag = doc.Tag(at);
        size_t e = k + 1;
        while (e < line.end && doc.Tag(p.start + e) == tag && chars[p.start + e] != kObject &&
               chars[p.start + e] != kLineBreak && ((p.start + e >= s.selFrom && p.start + e < s.selTo) == selected))
          ++e;
        const Format& f = doc.FormatOf(tag);
        FontEntry& font = FontFor(f);
        const int runWidth = (e < p.xs.size() ? p.xs[e] : p.xs.back()) - p.xs[k];
        if (selected) {
          qv::ScopedGdiObject<HBRUSH> hb(CreateSolidBrush(highlight));
          const RECT r{x, ly, x + runWidth, ly + line.height};
          FillRect(dc, &r, hb.get());
        }
        const uint32_t color = selected ? highlightText
                               : !f.link.empty() ? (f.color != kNoColor ? f.color : kLinkColor)
                               : f.color != kNoColor ? Readable(f.color, s.background) : kDefaultText;
        SetTextColor(dc, color);
        qv::ScopedSelectObject select(dc, font.font.get());
        if (!(s.blinkHidden && (f.attrs & kBlink)))
          DrawTextRun(dc, x, baseline - font.ascent, chars.data() + at, static_cast<int>(e - k), font.height);
        if (!f.link.empty() && at < s.linkTo && p.start + e > s.linkFrom) {
          // The focused link: a frame along the top and bottom of its runs.
          qv::ScopedGdiObject<HBRUSH> black(CreateSolidBrush(0));
          RECT r{x, ly, x + runWidth, ly + 1};
          FillRect(dc, &r, black.get());
          r = RECT{x, ly + line.height - 1, x + runWidth, ly + line.height};
          FillRect(dc, &r, black.get());
          if (at == s.linkFrom) {
            r = RECT{x, ly, x + 1, ly + line.height};
            FillRect(dc, &r, black.get());
          }
          if (p.start + e == s.linkTo) {
            r = RECT{x + runWidth - 1, ly, x + runWidth, ly + line.height};
            FillRect(dc, &r, black.get());
          }
        }
        k = e;
      }
    }
  }
  if (s.caret) {
    int h = 0, t = 0;
    const POINT c = PointOf(s.caretPos, &h, &t);
    RECT r{client.left + c.x, t - s.scrollY, client.left + c.x + 2, t - s.scrollY + h};
    qv::ScopedGdiObject<HBRUSH> black(CreateSolidBrush(0));
    FillRect(dc, &r, black.get());
  }
}

}  // namespace markwright
