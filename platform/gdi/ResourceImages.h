// Where LoadBitmap and LoadIcon find their pictures: the window system's
// resource loader installs itself here. Until then every load fails with
// ERROR_RESOURCE_NAME_NOT_FOUND.
#pragma once

#include "platform/gdi/GdiTypes.h"
#include "platform/imaging/Imaging.h"

namespace qv::gdi {

class ResourceImages {
 public:
  virtual ~ResourceImages() = default;
  // The pixels of a bitmap resource (name or MAKEINTRESOURCEW id); false with
  // the last error set when there is none.
  virtual bool LoadBitmapPixels(HINSTANCE module, LPCWSTR name, Bitmap* out) = 0;
  // An icon's pixels, the alpha byte marking the opaque ones.
  virtual bool LoadIconPixels(HINSTANCE module, LPCWSTR name, Bitmap* out) = 0;
};

// Null puts the stub back. The loader must outlive its use.
QV_PLATFORM_API void SetResourceImages(ResourceImages* images);

}  // namespace qv::gdi
