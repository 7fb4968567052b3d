// Text in one line: TextOut, ExtTextOut, extents and metrics. Glyphs are
// blended in the text colour by their coverage; the background (OPAQUE mode
// or ETO_OPAQUE) is filled first.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/gdi/Text.h"

namespace qv::gdi {

namespace {

void PaintGlyph(Surface& surface, const Glyph& g, int x, int y, const RECT& clip, DWORD pixel) {
  int x0 = std::max(x, static_cast<int>(clip.left)), x1 = std::min(x + g.width, static_cast<int>(clip.right));
  int y0 = std::max(y, static_cast<int>(clip.top)), y1 = std::min(y + g.height, static_cast<int>(clip.bottom));
  for (int row = y0; row < y1; ++row) {
    const BYTE* cover = g.coverage.data() + static_cast<size_t>(row - y) * g.width;
    DWORD* p = surface.Row(row);
    for (int col = x0; col < x1; ++col) {
      unsigned a = cover[col - x];
      if (a == 255) {
        p[col] = pixel;
      } else if (a != 0) {
        p[col] = Blend(p[col], pixel, a);
      }
    }
  }
}

// The run of a DC's text, or false for a bad handle or text.
bool RunOf(HDC hdc, LPCWSTR text, int count, const int* advances, std::shared_ptr<DeviceContext>* dc,
           TextRun* run) {
  *dc = FindDc(hdc);
  if (!*dc) return false;
  if (!text && count != 0) return Fail(ERROR_INVALID_PARAMETER);
  ShapeRun(*FontOf(**dc).instance, text, static_cast<size_t>(count < 0 ? 0 : count), advances, run);
  return true;
}

}  // namespace

void ShapeRun(FontInstance& font, const WCHAR* text, size_t count, const int* advances, TextRun* run) {
  run->glyphs.resize(count);
  run->advances.resize(count);
  run->width = 0;
  if (count == 0) return;
  font.Lookup(text, count, run->glyphs.data());
  for (size_t i = 0; i < count; ++i) {
    run->advances[i] = advances ? advances[i] : run->glyphs[i]->advance;
    run->width += run->advances[i];
  }
}

FontObject& FontOf(const DeviceContext& dc) {
  FontObject& f = *dc.state.fontObject;
  return f.instance ? f : *StockFont();
}

void PaintBar(DeviceContext& dc, int x0, int x1, int y, int thickness, const RECT& clip, DWORD pixel) {
  RECT r{x0, y, x1, y + thickness};
  if (!ClipTo(clip, &r) || !ClipTo(dc.clip, &r)) return;
  for (int row = r.top; row < r.bottom; ++row) Span(*dc.surface, row, r.left, r.right, pixel, R2_COPYPEN);
}

void PaintRun(DeviceContext& dc, const FontObject& font, const TextRun& run, int x, int top, const RECT& clip,
              DWORD pixel) {
  RECT box = clip;
  if (!ClipTo(dc.clip, &box)) return;
  const FontInstance& f = *font.instance;
  int baseline = top + f.Metrics().tmAscent;
  int pen = x;
  for (size_t i = 0; i < run.glyphs.size(); ++i) {
    const Glyph& g = *run.glyphs[i];
    if (g.width > 0) PaintGlyph(*dc.surface, g, pen + g.left, baseline - g.top, box, pixel);
    pen += run.advances[i];
  }
  if (font.logFont.lfUnderline)
    PaintBar(dc, x, x + run.width, baseline + f.UnderlineTop(), f.LineThickness(), box, pixel);
  if (font.logFont.lfStrikeOut)
    PaintBar(dc, x, x + run.width, baseline - f.StrikeTop(), f.LineThickness(), box, pixel);
}

}  // namespace qv::gdi

using namespace qv::gdi;

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc || !metrics) return FALSE;
  const FontObject& font = FontOf(*dc);
  *metrics = font.instance->Metrics();
  metrics->tmUnderlined = font.logFont.lfUnderline ? 1 : 0;
  metrics->tmStruckOut = font.logFont.lfStrikeOut ? 1 : 0;
  return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR name) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return 0;
  const std::wstring& family = FontOf(*dc).instance->Family();
  if (!name) return static_cast<int>(family.size()) + 1;
  if (count <= 0) return 0;
  size_t n = std::min(family.size(), static_cast<size_t>(count - 1));
  std::wmemcpy(name, family.data(), n);
  name[n] = 0;
  return static_cast<int>(n) + 1;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
  return GetTextExtentExPointW(hdc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, int* fit, int* extents, SIZE* size) {
  std::shared_ptr<DeviceContext> dc;
  TextRun run;
  if (count < 0 || !RunOf(hdc, text, count, nullptr, &dc, &run)) return Fail(ERROR_INVALID_PARAMETER);
  int x = 0, fitted = 0;
  for (int i = 0; i < count; ++i) {
    x += run.advances[static_cast<size_t>(i)];
    if (extents) extents[i] = x;
    if (x <= maxExtent && fitted == i) fitted = i + 1;
  }
  if (fit) *fit = fitted;
  if (size) *size = SIZE{run.width, FontOf(*dc).instance->Metrics().tmHeight};
  return TRUE;
}

BOOL GetCharWidth32W(HDC hdc, UINT first, UINT last, int* widths) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc || !widths || last < first || last - first > 0x10000) return Fail(ERROR_INVALID_PARAMETER);
  for (UINT c = first; c <= last; ++c) {
    WCHAR ch = static_cast<WCHAR>(c);
    const Glyph* g = nullptr;
    FontOf(*dc).instance->Lookup(&ch, 1, &g);
    widths[c - first] = g->advance;
  }
  return TRUE;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* advances) {
  std::shared_ptr<DeviceContext> dc;
  TextRun run;
  if (!RunOf(hdc, text, static_cast<int>(count), advances, &dc, &run)) return FALSE;
  DcState& s = dc->state;
  const FontObject& font = FontOf(*dc);
  const TEXTMETRICW& tm = font.instance->Metrics();
  if (s.textAlign & TA_UPDATECP) x = s.current.x, y = s.current.y;
  UINT horizontal = s.textAlign & TA_CENTER, vertical = s.textAlign & TA_BASELINE;
  if (horizontal == TA_RIGHT) x -= run.width;
  if (horizontal == TA_CENTER) x -= run.width / 2;
  if (vertical == TA_BASELINE) y -= tm.tmAscent;
  if (vertical == TA_BOTTOM) y -= tm.tmHeight;
  if ((s.textAlign & TA_UPDATECP) && horizontal != TA_CENTER)
    s.current.x += horizontal == TA_RIGHT ? -run.width : run.width;

  RECT clip = dc->clip;
  RECT box{};
  if (rect) box = RECT{dc->X(rect->left), dc->Y(rect->top), dc->X(rect->right), dc->Y(rect->bottom)};
  if (rect && (options & ETO_CLIPPED)) ClipTo(box, &clip);
  DWORD background = PixelOf(ResolveColor(s.bkColor));
  if (rect && (options & ETO_OPAQUE)) FillSurfaceRect(*dc, box, background);
  int sx = dc->X(x), sy = dc->Y(y);
  if (s.bkMode == OPAQUE) {
    RECT cell{sx, sy, sx + run.width, sy + tm.tmHeight};
    if (ClipTo(clip, &cell)) FillSurfaceRect(*dc, cell, background);
  }
  PaintRun(*dc, font, run, sx, sy, clip, PixelOf(ResolveColor(s.textColor)));
  if (TextObserved()) ReportText(*dc, font, std::wstring(text, count), x, y, run.width, tm.tmHeight, clip);
  return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
  if (count < 0) return Fail(ERROR_INVALID_PARAMETER);
  return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}
