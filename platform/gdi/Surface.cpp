#include "platform/gdi/Surface.h"

#include <cstring>

namespace qv::gdi {

std::shared_ptr<Surface> Surface::Create(int width, int height, bool bottomUp) {
  if (width <= 0 || height <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Bitmap pixels;
  if (!pixels.Create(static_cast<UINT>(width), static_cast<UINT>(height))) return nullptr;
  std::shared_ptr<Surface> s = Adopt(std::move(pixels));
  s->bottomUp_ = bottomUp;
  return s;
}

std::shared_ptr<Surface> Surface::Adopt(Bitmap&& pixels) {
  if (pixels.Empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<Surface> s(new Surface);
  s->pixels_ = std::move(pixels);
  return s;
}

BitmapData Surface::Data() const {
  BitmapData d = pixels_.Data();
  if (bottomUp_) {
    d.Scan0 = const_cast<DWORD*>(Row(0));
    d.Stride = -d.Stride;
  }
  return d;
}

Bitmap Surface::Snapshot() const {
  Bitmap out;
  if (!out.Create(pixels_.Width(), pixels_.Height())) return out;
  for (int y = 0; y < Height(); ++y) {
    const DWORD* from = Row(y);
    DWORD* to = reinterpret_cast<DWORD*>(out.Row(static_cast<UINT>(y)));
    for (int x = 0; x < Width(); ++x) to[x] = from[x] | 0xFF000000u;
  }
  return out;
}

}  // namespace qv::gdi
