// Where LoadBitmap and LoadIcon find their pictures: by default the resource
// library's own (FindResourceW: RT_BITMAP, and RT_ICON for icons with alpha);
// tests may install a loader of their own.
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

// Null puts the resource library's loader back. The loader must outlive its use.
QV_PLATFORM_API void SetResourceImages(ResourceImages* images);

}  // namespace qv::gdi
