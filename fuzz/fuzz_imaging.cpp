// Untrusted pictures (feed images, attachments): reading the header and
// decoding to a thumbnail must fail cleanly on any bytes.
#include <cstddef>
#include <cstdint>

#include "platform/imaging/Imaging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::Image image;
  if (!image.LoadMemory(data, size)) return 0;
  qv::Bitmap thumb;
  if (image.Decode(48, 36, &thumb)) {
    qv::Bitmap turned;
    qv::RotateBitmap(thumb.Data(), 90, &turned);
  }
  return 0;
}
