// Inside the drawing layer: a DC's state and the pixel-level helpers the
// raster, blit and text files share.
#pragma once

#include <vector>

#include "platform/gdi/GdiObjects.h"

namespace qv::gdi {

// What SaveDC keeps.
struct DcState {
  HPEN pen = nullptr;
  HBRUSH brush = nullptr;
  HFONT font = nullptr;
  HBITMAP bitmap = nullptr;
  std::shared_ptr<PenObject> penObject;
  std::shared_ptr<BrushObject> brushObject;
  std::shared_ptr<FontObject> fontObject;
  std::shared_ptr<BitmapObject> bitmapObject;
  COLORREF textColor = 0;
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int rop2 = R2_COPYPEN;
  UINT textAlign = TA_LEFT | TA_TOP;
  POINT viewport{};
  POINT current{};
  bool hasClip = false;
  RECT clip{};  // the DC's own clip, relative to its origin
};

struct DeviceContext : GdiObject {
  static constexpr Kind kKind = Kind::Dc;
  DeviceContext() : GdiObject(kKind) {}

  bool memory = false;
  HWND window = nullptr;  // the window a screen DC was made for (WindowFromDC)
  std::shared_ptr<Surface> surface;
  POINT origin{};  // where the DC's (0, 0) lies on the surface
  RECT bounds{};   // the part of the surface the DC may touch
  DcState state;
  std::vector<DcState> saved;

  // Derived by Update(): logical to surface offset and the clip on the surface.
  POINT offset{};
  RECT clip{};
  void Update();

  int X(int logical) const { return logical + offset.x; }
  int Y(int logical) const { return logical + offset.y; }
};

std::shared_ptr<DeviceContext> FindDc(HDC dc);

// Clip a rectangle (surface coordinates) to the DC; false when nothing is left.
bool ClipTo(const RECT& clip, RECT* r);
inline bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// R2_* applied to one pixel; alpha stays opaque.
inline DWORD Rop2(int rop, DWORD pen, DWORD dest) {
  DWORD r;
  switch (rop) {
    case R2_COPYPEN: return pen;
    case R2_XORPEN: r = pen ^ dest; break;
    case R2_NOT: r = ~dest; break;
    case R2_NOP: return dest;
    default: {
      // The code less one is the truth table indexed by P<<1 | D.
      unsigned t = static_cast<unsigned>(rop - 1) & 15u;
      r = 0;
      if (t & 8u) r |= pen & dest;
      if (t & 4u) r |= pen & ~dest;
      if (t & 2u) r |= ~pen & dest;
      if (t & 1u) r |= ~pen & ~dest;
    }
  }
  return r | 0xFF000000u;
}

// d + (s - d) * a / 255 per channel, opaque.
inline DWORD Blend(DWORD d, DWORD s, unsigned a) {
  unsigned na = 255 - a;
  DWORD rb = (s & 0xFF00FFu) * a + (d & 0xFF00FFu) * na + 0x800080u;
  DWORD g = (s & 0x00FF00u) * a + (d & 0x00FF00u) * na + 0x008000u;
  rb = ((rb + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
  g = ((g + ((g >> 8) & 0x00FF00u)) >> 8) & 0x00FF00u;
  return 0xFF000000u | rb | g;
}

// How a picture whose alpha marks its opaque pixels (icons, image lists) is drawn.
struct MaskedStyle {
  bool useMask = true;        // else every pixel is drawn
  bool maskOnly = false;      // opaque pixels black, the others left or filled
  bool fillOthers = false;    // the transparent pixels take `background`
  DWORD background = 0;
  DWORD blend = 0;            // mixed into the opaque pixels by blendAlpha / 255
  unsigned blendAlpha = 0;
};
// Draws source's (sx, sy, sw, sh) at (x, y, width, height) on the surface,
// nearest pixel when the sizes differ.
void DrawMasked(DeviceContext& dc, int x, int y, int width, int height, const Surface& source, int sx, int sy,
                int sw, int sh, const MaskedStyle& style);

// Fills [x0, x1) of row y, already clipped, with the pen's raster operation.
void Span(Surface& surface, int y, int x0, int x1, DWORD pixel, int rop);
// Fills a rectangle (surface coordinates) clipped to the DC.
void FillSurfaceRect(DeviceContext& dc, RECT r, DWORD pixel, int rop = R2_COPYPEN);

}  // namespace qv::gdi
