#include "platform/imaging/ImageCodecs.h"

#include <new>

namespace qv {

namespace imaging {

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

bool CheckSize(ULONGLONG width, ULONGLONG height) {
  if (width == 0 || height == 0) return Fail(ERROR_INVALID_DATA);
  if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels)
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  return true;
}

bool CheckData(const BitmapData& data) {
  if (data.Scan0 == nullptr || data.Width == 0 || data.Height == 0 || data.Width > 65500 ||
      data.Height > 65500)
    return Fail(ERROR_INVALID_PARAMETER);
  if (data.PixelFormat != PixelFormat32bppRGB && data.PixelFormat != PixelFormat32bppARGB)
    return Fail(ERROR_INVALID_PARAMETER);
  LONGLONG stride = data.Stride < 0 ? -static_cast<LONGLONG>(data.Stride) : data.Stride;
  if (stride < static_cast<LONGLONG>(data.Width) * 4) return Fail(ERROR_INVALID_PARAMETER);
  return true;
}

}  // namespace imaging

bool Bitmap::Create(UINT width, UINT height) { return Make(width, height, true); }

bool Bitmap::Allocate(UINT width, UINT height) { return Make(width, height, false); }

bool Bitmap::Make(UINT width, UINT height, bool zeroed) {
  Clear();
  if (width == 0 || height == 0) return imaging::Fail(ERROR_INVALID_PARAMETER);
  if (!imaging::CheckSize(width, height)) return false;
  const size_t bytes = static_cast<size_t>(width) * height * 4;
  try {
    if (zeroed) {
      pixels_.assign(bytes, 0);
    } else {
      pixels_.resize(bytes);
    }
  } catch (const std::bad_alloc&) {
    return imaging::Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  width_ = width;
  height_ = height;
  return true;
}

void Bitmap::Clear() {
  decltype(pixels_)().swap(pixels_);
  width_ = height_ = 0;
}

DWORD Bitmap::Pixel(UINT x, UINT y) const {
  if (x >= width_ || y >= height_) return 0;
  const BYTE* p = Row(y) + static_cast<size_t>(x) * 4;
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}

BitmapData Bitmap::Data() const {
  BitmapData d{};
  d.Width = width_;
  d.Height = height_;
  d.Stride = static_cast<LONG>(Stride());
  d.PixelFormat = PixelFormat32bppARGB;
  d.Scan0 = const_cast<BYTE*>(pixels_.data());
  return d;
}

}  // namespace qv
