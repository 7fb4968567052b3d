// The one pixel store every DC draws on: 32-bit pixels (B, G, R, A in
// memory, 0xAARRGGBB as a DWORD) held in an imaging Bitmap. A DIB section
// with a positive height keeps its rows bottom-up in memory; Row(0) is always
// the top row on screen.
//
// The window system makes the screen's surface and hands out window, client
// and paint DCs on it with CreateSurfaceDC; a window that keeps one DC for its
// life moves it with PlaceSurfaceDC.
#pragma once

#include <memory>

#include "platform/gdi/GdiTypes.h"
#include "platform/imaging/Imaging.h"

namespace qv::gdi {

class QV_PLATFORM_API Surface {
 public:
  // Null with ERROR_INVALID_PARAMETER or ERROR_NOT_ENOUGH_MEMORY.
  static std::shared_ptr<Surface> Create(int width, int height, bool bottomUp = false);
  // Takes decoded pixels as they are (a picture made into a bitmap).
  static std::shared_ptr<Surface> Adopt(Bitmap&& pixels);

  int Width() const { return static_cast<int>(pixels_.Width()); }
  int Height() const { return static_cast<int>(pixels_.Height()); }
  bool BottomUp() const { return bottomUp_; }
  DWORD* Row(int y) { return reinterpret_cast<DWORD*>(pixels_.Row(MemoryRow(y))); }
  const DWORD* Row(int y) const { return reinterpret_cast<const DWORD*>(pixels_.Row(MemoryRow(y))); }
  // The first byte in memory (the bottom row of a bottom-up surface).
  void* Bits() { return pixels_.Row(0); }
  // Top row first, with a negative stride when the rows lie bottom-up.
  BitmapData Data() const;
  // A top-down copy of the pixels with every alpha opaque (for saving).
  Bitmap Snapshot() const;

 private:
  Surface() = default;
  UINT MemoryRow(int y) const { return static_cast<UINT>(bottomUp_ ? Height() - 1 - y : y); }

  Bitmap pixels_;
  bool bottomUp_ = false;
};

// The pixel of a colour: opaque, 0xFFRRGGBB.
inline DWORD PixelOf(COLORREF color) {
  return 0xFF000000u | (color & 0xFFu) << 16 | (color & 0xFF00u) | (color >> 16 & 0xFFu);
}
inline COLORREF ColorOf(DWORD pixel) {
  return (pixel >> 16 & 0xFFu) | (pixel & 0xFF00u) | (pixel & 0xFFu) << 16;
}

// A DC that draws on `surface` with its (0, 0) at `origin` and never outside
// `clip` (surface coordinates), for `window` (what WindowFromDC answers).
// Deleted with DeleteDC.
QV_PLATFORM_API HDC CreateSurfaceDC(std::shared_ptr<Surface> surface, POINT origin, const RECT& clip,
                                    HWND window = nullptr);
// Moves a surface DC (one a window keeps for its life) to a new origin and
// clip: its own clip is dropped; selected objects, colours, modes and viewport
// origin stay, as a kept DC's do between paints.
QV_PLATFORM_API BOOL PlaceSurfaceDC(HDC dc, POINT origin, const RECT& clip);

// The surface a DC draws on or a bitmap holds (null for other handles).
QV_PLATFORM_API std::shared_ptr<Surface> SurfaceOf(HDC dc);
QV_PLATFORM_API std::shared_ptr<Surface> SurfaceOf(HBITMAP bitmap);
// A bitmap over decoded pixels (thumbnails, pictures in mail).
QV_PLATFORM_API HBITMAP CreateBitmapFromPixels(Bitmap&& pixels);

}  // namespace qv::gdi
