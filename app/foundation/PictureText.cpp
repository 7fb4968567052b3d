#include "app/foundation/PictureText.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <vector>

#include "app/foundation/PictureChars.h"
#include "app/foundation/QvPictureCharBitmap.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/ScopedGdi.h"

namespace {

constexpr wchar_t kGeta = 0x3013;  // drawn where a set is missing
constexpr wchar_t kEllipsis[] = L"...";

// What every call needs of the DC's font once.
struct Line {
  int height = 0;      // the font's line height
  int cell = 0;        // a pictograph's advance: that of U+3013
  int fontHeight = 0;  // picks the glyph size
};

Line Measure(HDC dc, int fontHeight) {
  Line line;
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  line.height = metrics.tmHeight;
  SIZE geta{};
  GetTextExtentPoint32W(dc, &kGeta, 1, &geta);
  line.cell = geta.cx;
  line.fontHeight = fontHeight > 0 ? fontHeight : metrics.tmHeight;
  return line;
}

int Length(const wchar_t* text, int length) {
  if (text == nullptr) return 0;
  return length < 0 ? static_cast<int>(std::wcslen(text)) : length;
}

// The end of the run of ordinary characters from `start`.
int RunEnd(const wchar_t* text, int start, int end) {
  int i = start;
  while (i < end && !IsPictograph(text[i])) ++i;
  return i;
}

// Right edges of every character from the text's start.
void Edges(HDC dc, const Line& line, const wchar_t* text, int length, std::vector<int>* edges) {
  edges->resize(length);
  int x = 0;
  for (int i = 0; i < length;) {
    if (IsPictograph(text[i])) {
      x += line.cell;
      (*edges)[i++] = x;
      continue;
    }
    const int end = RunEnd(text, i, length);
    SIZE size{};
    GetTextExtentExPointW(dc, text + i, end - i, INT_MAX, nullptr, edges->data() + i, &size);
    for (int j = i; j < end; ++j) (*edges)[j] += x;
    x += size.cx;
    i = end;
  }
}

int Width(HDC dc, const Line& line, const wchar_t* text, int length) {
  int x = 0;
  for (int i = 0; i < length;) {
    if (IsPictograph(text[i])) {
      x += line.cell;
      ++i;
      continue;
    }
    const int end = RunEnd(text, i, length);
    SIZE size{};
    GetTextExtentPoint32W(dc, text + i, end - i, &size);
    x += size.cx;
    i = end;
  }
  return x;
}

void DrawPictograph(HDC dc, const Line& line, int x, int y, wchar_t c) {
  const RECT cell{x, y, x + line.cell, y + line.height};
  if (GetBkMode(dc) == OPAQUE) {
    qv::ScopedGdiObject<HBRUSH> back(CreateSolidBrush(GetBkColor(dc)));
    FillRect(dc, &cell, back.get());
  }
  const QvPictureCharBitmap* sheet = GetPictureCharBitmapFor(c, line.fontHeight);
  const int side = std::min(line.cell, line.height);
  if (sheet == nullptr || side <= 0) {
    ExtTextOutW(dc, x, y, 0, nullptr, &kGeta, 1, nullptr);
    return;
  }
  const int left = x + (line.cell - side) / 2, top = y + (line.height - side) / 2;
  sheet->DrawCharOver(dc, RECT{left, top, left + side, top + side}, c);
}

int DrawLine(HDC dc, const Line& line, int x, int y, const wchar_t* text, int length) {
  const UINT align = SetTextAlign(dc, TA_TOP | TA_LEFT);
  for (int i = 0; i < length;) {
    if (IsPictograph(text[i])) {
      DrawPictograph(dc, line, x, y, text[i++]);
      x += line.cell;
      continue;
    }
    const int end = RunEnd(text, i, length);
    SIZE size{};
    GetTextExtentPoint32W(dc, text + i, end - i, &size);
    ExtTextOutW(dc, x, y, 0, nullptr, text + i, static_cast<UINT>(end - i), nullptr);
    x += size.cx;
    i = end;
  }
  SetTextAlign(dc, align);
  return x;
}

}  // namespace

SIZE GetPictureTextExtent(HDC dc, const wchar_t* text, int length, int fontHeight) {
  const Line line = Measure(dc, fontHeight);
  return SIZE{Width(dc, line, text, Length(text, length)), line.height};
}

int FitPictureText(HDC dc, const wchar_t* text, int length, int maxWidth, int* widths, int fontHeight) {
  length = Length(text, length);
  const Line line = Measure(dc, fontHeight);
  std::vector<int> edges;
  Edges(dc, line, text, length, &edges);
  if (widths != nullptr) std::copy(edges.begin(), edges.end(), widths);
  return static_cast<int>(std::upper_bound(edges.begin(), edges.end(), maxWidth) - edges.begin());
}

int DrawPictureText(HDC dc, int x, int y, const wchar_t* text, int length, int fontHeight) {
  const Line line = Measure(dc, fontHeight);
  return DrawLine(dc, line, x, y, text, Length(text, length));
}

int DrawPictureTextInBox(HDC dc, const RECT& box, const wchar_t* text, int length, UINT flags, int fontHeight) {
  length = Length(text, length);
  const Line line = Measure(dc, fontHeight);
  const int room = box.right - box.left;
  int shown = length, width = Width(dc, line, text, length);
  bool ellipsis = false;
  if (width > room && (flags & PT_END_ELLIPSIS)) {
    // Cut one character at a time with "..." after it until it fits: the
    // widest prefix whose width plus the ellipsis's stays within the box.
    SIZE dots{};
    GetTextExtentPoint32W(dc, kEllipsis, 3, &dots);
    std::vector<int> edges;
    Edges(dc, line, text, length, &edges);
    shown = static_cast<int>(std::upper_bound(edges.begin(), edges.end(), room - dots.cx) - edges.begin());
    width = (shown > 0 ? edges[shown - 1] : 0) + dots.cx;
    ellipsis = true;
  }
  int x = box.left;
  if (flags & PT_CENTER)
    x += (room - width) / 2;
  else if (flags & PT_RIGHT)
    x = box.right - width;
  int y = box.top;
  if (flags & PT_VCENTER)
    y += (box.bottom - box.top - line.height) / 2;
  else if (flags & PT_BOTTOM)
    y = box.bottom - line.height;
  const int saved = (flags & PT_NOCLIP) ? 0 : SaveDC(dc);
  if (saved) IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
  x = DrawLine(dc, line, x, y, text, shown);
  if (ellipsis) DrawLine(dc, line, x, y, kEllipsis, 3);
  if (saved) RestoreDC(dc, saved);
  return width;
}
