#include "platform/gdi/ResourceImages.h"

#include <atomic>

#include "platform/gdi/GdiObjects.h"

namespace qv::gdi {

namespace {

// Until the window system brings the resources, no name is found.
class NoResources : public ResourceImages {
 public:
  bool LoadBitmapPixels(HINSTANCE, LPCWSTR, Bitmap*) override { return Fail(ERROR_RESOURCE_NAME_NOT_FOUND); }
  bool LoadIconPixels(HINSTANCE, LPCWSTR, Bitmap*) override { return Fail(ERROR_RESOURCE_NAME_NOT_FOUND); }
};

NoResources stub;
std::atomic<ResourceImages*> installed{&stub};

}  // namespace

void SetResourceImages(ResourceImages* images) { installed = images ? images : &stub; }

}  // namespace qv::gdi

using namespace qv::gdi;

HBITMAP LoadBitmapW(HINSTANCE module, LPCWSTR name) {
  qv::Bitmap pixels;
  if (!name || !installed.load()->LoadBitmapPixels(module, name, &pixels)) return nullptr;
  for (UINT y = 0; y < pixels.Height(); ++y)  // a bitmap is opaque
    for (UINT x = 0; x < pixels.Width(); ++x) pixels.Row(y)[x * 4 + 3] = 0xFF;
  return CreateBitmapFromPixels(std::move(pixels));
}

HICON LoadIconW(HINSTANCE module, LPCWSTR name) {
  qv::Bitmap pixels;
  if (!name || !installed.load()->LoadIconPixels(module, name, &pixels)) return nullptr;
  return AddIcon(Surface::Adopt(std::move(pixels)));
}
