#include "platform/gdi/ImagingFactory.h"

#include <algorithm>
#include <atomic>
#include <new>

#include "platform/gdi/DeviceContext.h"
#include "platform/imaging/Imaging.h"

namespace {

// Reference counting and QueryInterface for one interface beside IUnknown.
template <typename Interface>
class ComObject : public Interface {
 public:
  ComObject(const IID& iid) : iid_(iid) {}
  virtual ~ComObject() = default;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, iid_)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  const IID& iid_;
  std::atomic<ULONG> references_{1};
};

class ImageObject final : public ComObject<IImage> {
 public:
  explicit ImageObject(qv::Image&& image) : ComObject(IID_IImage), image_(std::move(image)) {}

  HRESULT GetImageInfo(ImageInfo* info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = ImageInfo{};
    info->PixelFormat = PixelFormat32bppARGB;
    info->Width = info->TileWidth = image_.Info().width;
    info->Height = info->TileHeight = image_.Info().height;
    info->Xdpi = info->Ydpi = 72.0;
    return S_OK;
  }

  HRESULT Draw(HDC hdc, const RECT* destination, const RECT* source) override {
    std::shared_ptr<qv::gdi::DeviceContext> dc = qv::gdi::FindDc(hdc);
    if (!dc || destination == nullptr) return E_INVALIDARG;
    const LONG width = destination->right - destination->left;
    const LONG height = destination->bottom - destination->top;
    if (width <= 0 || height <= 0) return S_OK;
    const UINT w = image_.Info().width, h = image_.Info().height;
    RECT part = source ? *source : RECT{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
    if (part.left < 0 || part.top < 0 || part.right > static_cast<LONG>(w) || part.bottom > static_cast<LONG>(h) ||
        part.right <= part.left || part.bottom <= part.top) {
      return E_INVALIDARG;
    }
    // Decoded at the size the whole picture has on the destination, so that a
    // large JPEG is scaled while it is decoded, not afterwards.
    const UINT fullW = static_cast<UINT>(std::max<int64_t>(1, int64_t{width} * w / (part.right - part.left)));
    const UINT fullH = static_cast<UINT>(std::max<int64_t>(1, int64_t{height} * h / (part.bottom - part.top)));
    qv::Bitmap pixels;
    if (!image_.Decode(fullW, fullH, &pixels)) return E_FAIL;
    const LONG ox = static_cast<LONG>(int64_t{part.left} * fullW / w);
    const LONG oy = static_cast<LONG>(int64_t{part.top} * fullH / h);

    RECT onSurface{dc->X(destination->left), dc->Y(destination->top), dc->X(destination->right),
                   dc->Y(destination->bottom)};
    if (!qv::gdi::ClipTo(dc->clip, &onSurface)) return S_OK;
    qv::gdi::Surface& surface = *dc->surface;
    for (LONG y = onSurface.top; y < onSurface.bottom; ++y) {
      const LONG sy = std::min<LONG>(oy + (y - dc->Y(destination->top)), static_cast<LONG>(fullH) - 1);
      const auto* row = reinterpret_cast<const DWORD*>(pixels.Row(static_cast<UINT>(sy)));
      DWORD* out = surface.Row(y);
      qv::gdi::ForSpans(*dc, static_cast<int>(y), static_cast<int>(onSurface.left), static_cast<int>(onSurface.right),
                        [&](int x0, int x1) {
        for (LONG x = x0; x < x1; ++x) {
          const LONG sx = std::min<LONG>(ox + (x - dc->X(destination->left)), static_cast<LONG>(fullW) - 1);
          const DWORD s = row[sx];
          const unsigned a = s >> 24;
          out[x] = a == 255 ? s : a == 0 ? out[x] : qv::gdi::Blend(out[x], s, a);
        }
      });
    }
    return S_OK;
  }

 private:
  qv::Image image_;
};

class FactoryObject final : public ComObject<IImagingFactory> {
 public:
  FactoryObject() : ComObject(IID_IImagingFactory) {}

  HRESULT CreateImageFromFile(const WCHAR* path, IImage** image) override {
    if (image == nullptr) return E_POINTER;
    *image = nullptr;
    if (path == nullptr) return E_INVALIDARG;
    qv::Image picture;
    if (!picture.LoadFile(path)) return E_FAIL;
    return Make(std::move(picture), image);
  }

  HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag, IImage** image) override {
    if (image == nullptr) return E_POINTER;
    *image = nullptr;
    if (buffer == nullptr || size == 0) return E_INVALIDARG;
    qv::Image picture;
    if (!picture.LoadMemory(buffer, size)) return E_FAIL;
    return Make(std::move(picture), image);
  }

 private:
  static HRESULT Make(qv::Image&& picture, IImage** image) {
    auto* made = new (std::nothrow) ImageObject(std::move(picture));
    if (made == nullptr) return E_OUTOFMEMORY;
    *image = made;
    return S_OK;
  }
};

HRESULT CreateFactory(REFIID iid, void** object) {
  auto* factory = new (std::nothrow) FactoryObject();
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

const bool gRegistered = [] {
  qv::com::RegisterComClass(CLSID_ImagingFactory, CreateFactory);
  return true;
}();

}  // namespace
