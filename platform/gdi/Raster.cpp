// Lines and filled shapes with GDI's pixel rules: a cosmetic line leaves out
// its end point; a shape covers [left, right) x [top, bottom) less one pixel
// at the right and bottom; a null pen makes the figure one pixel smaller; wide
// pens are centred on the path with round ends. Every pixel is touched once,
// so R2_XORPEN twice restores what was there.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/gdi/DeviceContext.h"

namespace qv::gdi {

namespace {

// Dash patterns of the cosmetic styled pens: on, off, on, off...
struct Dashes {
  int count;
  int length[6];
};
constexpr Dashes kDash{2, {18, 6}};
constexpr Dashes kDot{2, {3, 3}};
constexpr Dashes kDashDot{4, {9, 6, 3, 6}};
constexpr Dashes kDashDotDot{6, {9, 3, 3, 3, 3, 3}};

const Dashes* DashesOf(int style) {
  switch (style) {
    case PS_DASH: return &kDash;
    case PS_DOT: return &kDot;
    case PS_DASHDOT: return &kDashDot;
    case PS_DASHDOTDOT: return &kDashDotDot;
    default: return nullptr;
  }
}

// Pixels a wide figure covers, gathered first so that each is drawn once.
class Mask {
 public:
  explicit Mask(RECT box) : box_(box), width_(box.right - box.left) {
    bits_.assign(static_cast<size_t>(width_) * (box.bottom - box.top), 0);
  }
  void Set(int x, int y) {
    if (x >= box_.left && x < box_.right && y >= box_.top && y < box_.bottom)
      bits_[static_cast<size_t>(y - box_.top) * width_ + (x - box_.left)] = 1;
  }
  void Paint(DeviceContext& dc, DWORD pixel, int rop) const {
    RECT r = box_;
    if (!ClipTo(dc.clip, &r)) return;
    for (int y = r.top; y < r.bottom; ++y) {
      DWORD* row = dc.surface->Row(y);
      const BYTE* bits = &bits_[static_cast<size_t>(y - box_.top) * width_];
      ForSpans(dc, y, r.left, r.right, [&](int x0, int x1) {
        for (int x = x0; x < x1; ++x)
          if (bits[x - box_.left]) row[x] = Rop2(rop, pixel, row[x]);
      });
    }
  }

 private:
  RECT box_;
  int width_;
  std::vector<BYTE> bits_;
};

// The pixels in row y whose centres lie inside the ellipse inscribed in box;
// false when none do.
bool EllipseRow(const RECT& box, int y, int* x0, int* x1) {
  double rx = (box.right - box.left) / 2.0;
  double ry = (box.bottom - box.top) / 2.0;
  if (rx <= 0 || ry <= 0) return false;
  double dy = (y + 0.5 - (box.top + ry)) / ry;
  if (dy * dy > 1.0) return false;
  double dx = rx * std::sqrt(1.0 - dy * dy);
  double cx = box.left + rx;
  *x0 = static_cast<int>(std::ceil(cx - dx - 0.5));
  *x1 = static_cast<int>(std::floor(cx + dx - 0.5)) + 1;
  return *x1 > *x0;
}

void ClippedSpan(DeviceContext& dc, int y, int x0, int x1, DWORD pixel, int rop) {
  if (y < dc.clip.top || y >= dc.clip.bottom) return;
  x0 = std::max(x0, static_cast<int>(dc.clip.left));
  x1 = std::min(x1, static_cast<int>(dc.clip.right));
  ForSpans(dc, y, x0, x1, [&](int a, int b) { Span(*dc.surface, y, a, b, pixel, rop); });
}

// Pen and brush of a shape, resolved for painting.
struct ShapePaint {
  bool pen = false;
  bool brush = false;
  DWORD penPixel = 0;
  DWORD brushPixel = 0;
  int width = 1;
  bool insideFrame = false;
};

ShapePaint PaintOf(const DeviceContext& dc) {
  ShapePaint p;
  const PenObject& pen = *dc.state.penObject;
  const BrushObject& brush = *dc.state.brushObject;
  p.pen = pen.style != PS_NULL;
  p.penPixel = PixelOf(ResolveColor(pen.color));
  p.width = pen.width;
  p.insideFrame = pen.style == PS_INSIDEFRAME;
  p.brush = brush.style != BS_NULL;
  p.brushPixel = PixelOf(ResolveColor(brush.color));
  return p;
}

// The outer edge of a shape's outline and the inner box the brush fills,
// in surface coordinates. False when nothing is drawn.
bool ShapeBoxes(const ShapePaint& p, RECT box, RECT* outer, RECT* inner) {
  if (box.left > box.right) std::swap(box.left, box.right);
  if (box.top > box.bottom) std::swap(box.top, box.bottom);
  if (!p.pen) {
    *outer = *inner = RECT{box.left, box.top, box.right - 1, box.bottom - 1};
    return !Empty(*inner);
  }
  int w = p.width;
  if (Empty(box)) {
    // A wide pen still leaves its round mark where the figure collapses.
    if (w <= 1) return false;
    box.right = std::max(box.right, box.left + 1);
    box.bottom = std::max(box.bottom, box.top + 1);
  }
  if (p.insideFrame || w == 1) {
    *outer = box;
  } else {
    // The path runs through the first and last pixel; the pen is centred on it.
    *outer = RECT{box.left - w / 2, box.top - w / 2, box.right - 1 - w / 2 + w, box.bottom - 1 - w / 2 + w};
  }
  *inner = RECT{outer->left + w, outer->top + w, outer->right - w, outer->bottom - w};
  return true;
}

void DrawLine(DeviceContext& dc, POINT from, POINT to) {
  const PenObject& pen = *dc.state.penObject;
  if (pen.style == PS_NULL) return;
  DWORD pixel = PixelOf(ResolveColor(pen.color));
  int rop = dc.state.rop2;
  int x = dc.X(from.x), y = dc.Y(from.y);
  int ex = dc.X(to.x), ey = dc.Y(to.y);
  int dx = std::abs(ex - x), dy = std::abs(ey - y);
  int sx = x < ex ? 1 : -1, sy = y < ey ? 1 : -1;
  int err = dx - dy;
  int steps = std::max(dx, dy);
  if (pen.width > 1) {
    int w = pen.width;
    Mask mask(RECT{std::min(x, ex) - w, std::min(y, ey) - w, std::max(x, ex) + w, std::max(y, ey) + w});
    // The round pen stamped at every point of the path, both ends included.
    std::vector<POINT> disc;
    double r = w / 2.0;
    for (int j = 0; j < w; ++j)
      for (int i = 0; i < w; ++i) {
        double cx = i + 0.5 - r, cy = j + 0.5 - r;
        if (cx * cx + cy * cy <= r * r) disc.push_back(POINT{i - w / 2, j - w / 2});
      }
    for (int n = 0; n <= steps; ++n) {
      for (const POINT& d : disc) mask.Set(x + d.x, y + d.y);
      int e2 = 2 * err;
      if (e2 > -dy) err -= dy, x += sx;
      if (e2 < dx) err += dx, y += sy;
    }
    mask.Paint(dc, pixel, rop);
    return;
  }
  const Dashes* dashes = DashesOf(pen.style);
  DWORD gapPixel = PixelOf(ResolveColor(dc.state.bkColor));
  bool fillGaps = dc.state.bkMode == OPAQUE;
  int dash = 0, left = dashes ? dashes->length[0] : 0;
  for (int n = 0; n < steps; ++n) {  // the end point is left out
    bool on = dash % 2 == 0;
    if ((on || fillGaps) && Writable(dc, x, y)) {
      DWORD* p = dc.surface->Row(y) + x;
      *p = Rop2(rop, on ? pixel : gapPixel, *p);
    }
    if (dashes && --left == 0) {
      dash = (dash + 1) % dashes->count;
      left = dashes->length[dash];
    }
    int e2 = 2 * err;
    if (e2 > -dy) err -= dy, x += sx;
    if (e2 < dx) err += dx, y += sy;
  }
}

// A shape row by row: the outline where the outer figure is and the inner is
// not, the brush inside the inner figure.
template <class Row>
BOOL DrawShape(HDC hdc, int left, int top, int right, int bottom, Row row) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return FALSE;
  ShapePaint p = PaintOf(*dc);
  RECT outer, inner;
  RECT box{dc->X(left), dc->Y(top), dc->X(right), dc->Y(bottom)};
  if (!ShapeBoxes(p, box, &outer, &inner)) return TRUE;
  int rop = dc->state.rop2;
  for (int y = std::max(outer.top, dc->clip.top); y < std::min(outer.bottom, dc->clip.bottom); ++y) {
    int o0, o1, i0, i1;
    if (!row(outer, y, &o0, &o1)) continue;
    bool hasInner = !Empty(inner) && row(inner, y, &i0, &i1);
    if (!p.pen) {
      if (p.brush) ClippedSpan(*dc, y, o0, o1, p.brushPixel, rop);
      continue;
    }
    if (!hasInner) {
      ClippedSpan(*dc, y, o0, o1, p.penPixel, rop);
      continue;
    }
    ClippedSpan(*dc, y, o0, i0, p.penPixel, rop);
    if (p.brush) ClippedSpan(*dc, y, i0, i1, p.brushPixel, rop);
    ClippedSpan(*dc, y, i1, o1, p.penPixel, rop);
  }
  return TRUE;
}

bool RectRow(const RECT& box, int y, int* x0, int* x1) {
  if (y < box.top || y >= box.bottom || box.right <= box.left) return false;
  *x0 = box.left;
  *x1 = box.right;
  return true;
}

// FillRect's brush: a handle or a system colour index + 1.
bool BrushPixel(HBRUSH brush, DWORD* pixel) {
  std::shared_ptr<BrushObject> b = FindBrush(brush);
  if (!b || b->style == BS_NULL) return false;
  *pixel = PixelOf(ResolveColor(b->color));
  return true;
}

RECT ToSurface(const DeviceContext& dc, const RECT& r) {
  return RECT{dc.X(r.left), dc.Y(r.top), dc.X(r.right), dc.Y(r.bottom)};
}

}  // namespace

}  // namespace qv::gdi

using namespace qv::gdi;

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return CLR_INVALID;
  COLORREF resolved = ResolveColor(color);
  x = dc->X(x), y = dc->Y(y);
  if (!Writable(*dc, x, y)) return CLR_INVALID;
  dc->surface->Row(y)[x] = PixelOf(resolved);
  return resolved;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return CLR_INVALID;
  x = dc->X(x), y = dc->Y(y);
  if (x < dc->clip.left || x >= dc->clip.right || y < dc->clip.top || y >= dc->clip.bottom) return CLR_INVALID;
  return ColorOf(dc->surface->Row(y)[x]);
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.current;
  dc->state.current = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return FALSE;
  DrawLine(*dc, dc->state.current, POINT{x, y});
  dc->state.current = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc) return FALSE;
  if (!points || count < 2) return Fail(ERROR_INVALID_PARAMETER);
  for (int i = 1; i < count; ++i) DrawLine(*dc, points[i - 1], points[i]);
  return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  if (left == right || top == bottom) return FindDc(hdc) ? TRUE : FALSE;
  return DrawShape(hdc, left, top, right, bottom, RectRow);
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return DrawShape(hdc, left, top, right, bottom, EllipseRow);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  DWORD pixel;
  if (!dc || !rect) return 0;
  if (!BrushPixel(brush, &pixel)) return brush && FindBrush(brush) ? 1 : 0;
  FillSurfaceRect(*dc, ToSurface(*dc, *rect), pixel);
  return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  DWORD pixel;
  if (!dc || !rect) return 0;
  if (!BrushPixel(brush, &pixel)) return brush && FindBrush(brush) ? 1 : 0;
  RECT r = ToSurface(*dc, *rect);
  if (Empty(r)) return 1;
  FillSurfaceRect(*dc, RECT{r.left, r.top, r.right, r.top + 1}, pixel);
  FillSurfaceRect(*dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, pixel);
  FillSurfaceRect(*dc, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, pixel);
  FillSurfaceRect(*dc, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, pixel);
  return 1;
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
  std::shared_ptr<DeviceContext> dc = FindDc(hdc);
  if (!dc || !rect) return FALSE;
  FillSurfaceRect(*dc, ToSurface(*dc, *rect), 0, R2_NOT);
  return TRUE;
}
