// Blits: BitBlt and PatBlt with the raster operations, StretchBlt by the
// nearest source pixel, transparent copies by key colour. A destination pixel
// whose source lies outside the source surface is left alone.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi/DeviceContext.h"

namespace qv::gdi {

namespace {

BYTE TruthTable(DWORD rop) { return static_cast<BYTE>(rop >> 16); }

// Whether the operation reads the source: its table differs between S=0 and S=1.
bool UsesSource(BYTE t) { return ((t >> 2) & 0x33) != (t & 0x33); }

DWORD Rop3(BYTE t, DWORD p, DWORD s, DWORD d) {
  switch (t) {
    case 0xCC: return s;
    case 0x88: return (s & d) | 0xFF000000u;
    case 0xEE: return (s | d) | 0xFF000000u;
    case 0x66: return (s ^ d) | 0xFF000000u;
    case 0xF0: return p;
    case 0x55: return ~d | 0xFF000000u;
    case 0x00: return 0xFF000000u;
    case 0xFF: return 0xFFFFFFFFu;
    default: break;
  }
  DWORD r = 0;
  for (int i = 0; i < 8; ++i)
    if (t >> i & 1) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r | 0xFF000000u;
}

// One source pixel for each destination column or row, -1 where the source
// has none. Nearest pixel: destination centre scaled into the source.
std::vector<int> Map(int dest, int destSize, int source, int sourceSize, bool mirror, int limit0, int limit1,
                     int from, int to) {
  std::vector<int> map(static_cast<size_t>(to - from));
  for (int i = from; i < to; ++i) {
    // Mirrored: the picture drawn plainly, then flipped in place.
    int j = mirror ? destSize - 1 - (i - dest) : i - dest;
    int s = source + static_cast<int>((2LL * j + 1) * sourceSize / (2LL * destSize));
    map[static_cast<size_t>(i - from)] = s >= limit0 && s < limit1 ? s : -1;
  }
  return map;
}

// Turns a negative extent into a mirror flag.
void Normalize(int* origin, int* size, bool* mirror) {
  if (*size < 0) {
    *origin += *size;
    *size = -*size;
    *mirror = !*mirror;
  }
}

struct Source {
  const Surface* surface = nullptr;
  RECT bounds{};
  int x = 0, y = 0, width = 0, height = 0;  // surface coordinates
};

// Destination rectangle in surface coordinates; `op(dest, source)` returns
// the new pixel, or false to leave the destination alone.
template <class Op>
void Transfer(DeviceContext& dc, int x, int y, int width, int height, const Source& src, Op op) {
  bool mirrorX = false, mirrorY = false;
  int sx = src.x, sy = src.y, sw = src.width, sh = src.height;
  Normalize(&x, &width, &mirrorX);
  Normalize(&y, &height, &mirrorY);
  Normalize(&sx, &sw, &mirrorX);
  Normalize(&sy, &sh, &mirrorY);
  if (width == 0 || height == 0 || sw == 0 || sh == 0) return;
  RECT r{x, y, x + width, y + height};
  if (!ClipTo(dc.clip, &r)) return;
  std::vector<int> columns = Map(x, width, sx, sw, mirrorX, src.bounds.left, src.bounds.right, r.left, r.right);
  std::vector<int> rows = Map(y, height, sy, sh, mirrorY, src.bounds.top, src.bounds.bottom, r.top, r.bottom);
  // The same surface read and written: take each source row before writing,
  // and walk the rows away from the overlap.
  bool same = src.surface == dc.surface.get();
  bool upward = same && sy < y;
  std::vector<DWORD> copy(same ? static_cast<size_t>(src.surface->Width()) : 0);
  int count = r.bottom - r.top;
  for (int n = 0; n < count; ++n) {
    int j = upward ? count - 1 - n : n;
    int s = rows[static_cast<size_t>(j)];
    if (s < 0) continue;
    const DWORD* from = src.surface->Row(s);
    if (same) {
      std::memcpy(copy.data(), from, copy.size() * sizeof(DWORD));
      from = copy.data();
    }
    DWORD* to = dc.surface->Row(r.top + j);
    ForSpans(dc, r.top + j, r.left, r.right, [&](int x0, int x1) {
      for (int i = x0; i < x1; ++i) {
        int c = columns[static_cast<size_t>(i - r.left)];
        if (c >= 0) op(to[i], from[c]);
      }
    });
  }
}

Source SourceOf(const DeviceContext& dc, int x, int y, int width, int height) {
  RECT whole{0, 0, dc.surface->Width(), dc.surface->Height()};
  RECT bounds = dc.memory ? whole : dc.bounds;
  ClipTo(whole, &bounds);
  return Source{dc.surface.get(), bounds, dc.X(x), dc.Y(y), width, height};
}

// SRCCOPY at the same size: whole rows moved at once.
void Copy(DeviceContext& dc, int x, int y, int width, int height, const Source& src) {
  RECT r{x, y, x + width, y + height};
  RECT s = src.bounds;
  OffsetRect(&s, x - src.x, y - src.y);  // the source's bounds where they land
  if (!ClipTo(dc.clip, &r) || !ClipTo(s, &r)) return;
  int dx = src.x - x, dy = src.y - y;
  bool upward = dy < 0;  // rows moved down within one surface start at the bottom
  for (int n = 0; n < r.bottom - r.top; ++n) {
    int row = upward ? r.bottom - 1 - n : r.top + n;
    if (dc.holes.empty()) {
      std::memmove(dc.surface->Row(row) + r.left, src.surface->Row(row + dy) + r.left + dx,
                   static_cast<size_t>(r.right - r.left) * sizeof(DWORD));
      continue;
    }
    // Around what lies over the DC; within one row, a part is moved before
    // the one whose pixels it would overwrite.
    std::vector<std::pair<int, int>> parts;
    ForSpans(dc, row, r.left, r.right, [&](int x0, int x1) { parts.emplace_back(x0, x1); });
    if (dx < 0) std::reverse(parts.begin(), parts.end());
    for (const auto& [x0, x1] : parts) {
      std::memmove(dc.surface->Row(row) + x0, src.surface->Row(row + dy) + x0 + dx,
                   static_cast<size_t>(x1 - x0) * sizeof(DWORD));
    }
  }
}

BOOL Blit(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh, DWORD rop) {
  std::shared_ptr<DeviceContext> dc = FindDc(dest);
  if (!dc) return FALSE;
  BYTE t = TruthTable(rop);
  DWORD pattern = PixelOf(ResolveColor(dc->state.brushObject->color));
  if (dc->state.brushObject->style == BS_NULL) pattern = 0xFF000000u;
  x = dc->X(x), y = dc->Y(y);
  if (!UsesSource(t)) {
    if (width < 0) x += width, width = -width;
    if (height < 0) y += height, height = -height;
    RECT r{x, y, x + width, y + height};
    if (!ClipTo(dc->clip, &r)) return TRUE;
    for (int row = r.top; row < r.bottom; ++row) {
      DWORD* p = dc->surface->Row(row);
      ForSpans(*dc, row, r.left, r.right, [&](int x0, int x1) {
        if (t == 0xF0) {
          std::fill(p + x0, p + x1, pattern);
          return;
        }
        for (int i = x0; i < x1; ++i) p[i] = Rop3(t, pattern, 0, p[i]);
      });
    }
    return TRUE;
  }
  std::shared_ptr<DeviceContext> sdc = FindDc(source);
  if (!sdc) return FALSE;
  Source src = SourceOf(*sdc, sx, sy, sw, sh);
  if (t == 0xCC && sw == width && sh == height && width > 0 && height > 0) {
    Copy(*dc, x, y, width, height, src);
  } else if (t == 0xCC) {
    Transfer(*dc, x, y, width, height, src, [](DWORD& d, DWORD s) { d = s; });
  } else {
    Transfer(*dc, x, y, width, height, src, [t, pattern](DWORD& d, DWORD s) { d = Rop3(t, pattern, s, d); });
  }
  return TRUE;
}

BOOL KeyedCopy(DeviceContext& dc, int x, int y, int width, int height, const Source& src, COLORREF key) {
  DWORD keyPixel = PixelOf(ResolveColor(key)) & 0x00FFFFFFu;
  Transfer(dc, dc.X(x), dc.Y(y), width, height, src, [keyPixel](DWORD& d, DWORD s) {
    if ((s & 0x00FFFFFFu) != keyPixel) d = s | 0xFF000000u;
  });
  return TRUE;
}

}  // namespace

void DrawMasked(DeviceContext& dc, int x, int y, int width, int height, const Surface& source, int sx, int sy,
                int sw, int sh, const MaskedStyle& style) {
  Source src{&source, RECT{0, 0, source.Width(), source.Height()}, sx, sy, sw, sh};
  Transfer(dc, x, y, width, height, src, [&style](DWORD& d, DWORD s) {
    bool opaque = !style.useMask || (s >> 24) >= 128;
    if (!opaque) {
      if (style.fillOthers) d = style.background;
    } else if (style.maskOnly) {
      d = 0xFF000000u;
    } else {
      d = style.blendAlpha ? Blend(s, style.blend, style.blendAlpha) : s | 0xFF000000u;
    }
  });
}

}  // namespace qv::gdi

using namespace qv::gdi;

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
  return Blit(dest, x, y, width, height, source, sx, sy, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sourceWidth,
                int sourceHeight, DWORD rop) {
  return Blit(dest, x, y, width, height, source, sx, sy, sourceWidth, sourceHeight, rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (UsesSource(TruthTable(rop))) return Fail(ERROR_INVALID_PARAMETER);
  return Blit(dc, x, y, width, height, nullptr, 0, 0, 0, 0, rop);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sourceWidth,
                    int sourceHeight, UINT keyColor) {
  std::shared_ptr<DeviceContext> dc = FindDc(dest);
  std::shared_ptr<DeviceContext> sdc = dc ? FindDc(source) : nullptr;
  if (!sdc) return FALSE;
  return KeyedCopy(*dc, x, y, width, height, SourceOf(*sdc, sx, sy, sourceWidth, sourceHeight), keyColor);
}

BOOL TransparentImage(HDC dest, int x, int y, int width, int height, HANDLE source, int sx, int sy, int sourceWidth,
                      int sourceHeight, COLORREF keyColor) {
  std::shared_ptr<DeviceContext> dc = FindDc(dest);
  std::shared_ptr<GdiObject> o = dc ? FindObject(source) : nullptr;
  if (!o) return FALSE;
  if (o->kind == Kind::Dc)
    return TransparentBlt(dest, x, y, width, height, static_cast<HDC>(source), sx, sy, sourceWidth, sourceHeight,
                          keyColor);
  if (o->kind != Kind::Bitmap) return Fail(ERROR_INVALID_HANDLE);
  std::shared_ptr<Surface> surface = static_cast<BitmapObject&>(*o).surface;
  Source src{surface.get(), RECT{0, 0, surface->Width(), surface->Height()}, sx, sy, sourceWidth, sourceHeight};
  return KeyedCopy(*dc, x, y, width, height, src, keyColor);
}
