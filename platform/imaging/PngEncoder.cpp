// PNG writing through libpng's simplified interface, which keeps its own
// error handling (no longjmp through our frames).
#include <png.h>

#include <cstring>
#include <vector>

#include "platform/imaging/ImageCodecs.h"

namespace qv {

bool EncodePng(const BitmapData& source, std::vector<BYTE>* out) {
  if (!out) return imaging::Fail(ERROR_INVALID_PARAMETER);
  if (!imaging::CheckData(source) || !imaging::CheckSize(source.Width, source.Height)) return false;
  // Top row first and tightly packed: B, G, R (and A when the pixels carry it).
  const bool alpha = imaging::DataHasAlpha(source);
  const size_t channels = alpha ? 4 : 3;
  const size_t stride = source.Width * channels;
  std::vector<BYTE> packed(stride * source.Height);
  for (UINT y = 0; y < source.Height; ++y) {
    const BYTE* from = imaging::DataRow(source, y);
    BYTE* to = packed.data() + y * stride;
    if (alpha) {
      std::memcpy(to, from, stride);
      continue;
    }
    for (UINT x = 0; x < source.Width; ++x, from += 4, to += 3) std::memcpy(to, from, 3);
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = source.Width;
  image.height = source.Height;
  image.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  png_alloc_size_t size = 0;
  // The first call measures, the second writes.
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, packed.data(), static_cast<png_int_32>(stride), nullptr)) {
    png_image_free(&image);
    return imaging::Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  out->resize(size);
  if (!png_image_write_to_memory(&image, out->data(), &size, 0, packed.data(), static_cast<png_int_32>(stride),
                                 nullptr)) {
    png_image_free(&image);
    out->clear();
    return imaging::Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  out->resize(size);
  return true;
}

}  // namespace qv
