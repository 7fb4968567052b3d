#include "platform/gdi/ResourceImages.h"

#include <atomic>
#include <cstring>

#include "platform/gdi/GdiObjects.h"
#include "platform/kernel/Resource.h"

namespace qv::gdi {

namespace {

// The pictures of a resource library: 32-bit DIBs (a BITMAPINFOHEADER, then
// rows bottom-up for a positive height, top-down for a negative one). Icons
// carry their alpha; bitmaps are opaque.
class ModuleResources : public ResourceImages {
 public:
  bool LoadBitmapPixels(HINSTANCE module, LPCWSTR name, Bitmap* out) override {
    return Read(module, name, RT_BITMAP, out);
  }
  bool LoadIconPixels(HINSTANCE module, LPCWSTR name, Bitmap* out) override {
    return Read(module, name, RT_ICON, out);
  }

 private:
  static bool Read(HINSTANCE module, LPCWSTR name, LPCWSTR type, Bitmap* out) {
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) return false;  // FindResourceW said why
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    int32_t header = 0, width = 0, height = 0;
    uint16_t bits = 0;
    if (bytes == nullptr || size < 40) return Fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    std::memcpy(&header, bytes, 4);
    std::memcpy(&width, bytes + 4, 4);
    std::memcpy(&height, bytes + 8, 4);
    std::memcpy(&bits, bytes + 14, 2);
    const bool bottomUp = height > 0;
    const int64_t rows = bottomUp ? height : -static_cast<int64_t>(height);
    // Only what our resource compiler writes; anything else is refused, never read past.
    if (header < 40 || bits != 32 || width <= 0 || rows <= 0 ||
        static_cast<uint64_t>(header) + static_cast<uint64_t>(width) * rows * 4 > size) {
      return Fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    if (!out->Create(static_cast<UINT>(width), static_cast<UINT>(rows))) return false;
    const BYTE* pixels = bytes + header;
    for (UINT y = 0; y < out->Height(); ++y) {
      const UINT source = bottomUp ? out->Height() - 1 - y : y;
      std::memcpy(out->Row(y), pixels + static_cast<size_t>(source) * out->Stride(), out->Stride());
    }
    return true;
  }
};

ModuleResources moduleResources;
std::atomic<ResourceImages*> installed{&moduleResources};

}  // namespace

void SetResourceImages(ResourceImages* images) { installed = images ? images : &moduleResources; }

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
