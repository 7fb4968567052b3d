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
  // Every pixel is written below, so the bitmap is not cleared first.
  if (!out->Allocate(across ? h : w, across ? w : h)) return false;
  const DWORD opaque = imaging::DataHasAlpha(source) ? 0u : 0xFF000000u;
  for (UINT y = 0; y < h; ++y) {
    const BYTE* row = imaging::DataRow(source, y);
    auto pixel = [&](UINT x) {
      DWORD p;
      std::memcpy(&p, row + static_cast<size_t>(x) * 4, 4);
      return p | opaque;
    };
    auto put = [&](UINT tx, UINT ty, DWORD p) { std::memcpy(out->Row(ty) + static_cast<size_t>(tx) * 4, &p, 4); };
    // Counterclockwise: the top-right corner goes to the top left.
    switch (turns) {
      case 1: for (UINT x = 0; x < w; ++x) put(y, w - 1 - x, pixel(x)); break;
      case 2: for (UINT x = 0; x < w; ++x) put(w - 1 - x, h - 1 - y, pixel(x)); break;
      case 3: for (UINT x = 0; x < w; ++x) put(h - 1 - y, x, pixel(x)); break;
      default: for (UINT x = 0; x < w; ++x) put(x, y, pixel(x)); break;
    }
  }
  return true;
}

}  // namespace qv
