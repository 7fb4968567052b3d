#include <cstring>

#include "platform/imaging/ImageCodecs.h"

namespace qv {

bool RotateBitmap(const BitmapData& source, int degrees, Bitmap* out) {
  using imaging::Fail;
  if (out == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  out->Clear();
  if (!imaging::CheckData(source)) return false;
  int turns;  // quarter turns counterclockwise
  switch (degrees) {
    case 0: case 360: turns = 0; break;
    case 90: turns = 1; break;
    case 180: turns = 2; break;
    case 270: turns = 3; break;
    default: return Fail(ERROR_INVALID_PARAMETER);
  }
  UINT w = source.Width, h = source.Height;
  bool across = turns % 2 == 1;
  if (!out->Create(across ? h : w, across ? w : h)) return false;
  bool alpha = imaging::DataHasAlpha(source);
  for (UINT y = 0; y < h; ++y) {
    const BYTE* row = imaging::DataRow(source, y);
    for (UINT x = 0; x < w; ++x) {
      // Counterclockwise: the top-right corner goes to the top left.
      UINT tx, ty;
      switch (turns) {
        case 1: tx = y, ty = w - 1 - x; break;
        case 2: tx = w - 1 - x, ty = h - 1 - y; break;
        case 3: tx = h - 1 - y, ty = x; break;
        default: tx = x, ty = y; break;
      }
      BYTE* p = out->Row(ty) + static_cast<size_t>(tx) * 4;
      std::memcpy(p, row + static_cast<size_t>(x) * 4, 4);
      if (!alpha) p[3] = 255;
    }
  }
  return true;
}

}  // namespace qv
