#include "platform/gdi/ImagingFactory.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <type_traits>

#include "platform/gdi/DeviceContext.h"
#include "platform/imaging/Imaging.h"

namespace {

// Stands for "no second interface" in ComObject.
struct NoInterface {};

// Reference counting and QueryInterface for one interface, or two, beside
// IUnknown (which is the first's).
template <typename First, typename Second = NoInterface>
class ComObject : public First, public Second {
 public:
  explicit ComObject(const IID& first, const IID& second = IID_IUnknown) : first_(first), second_(second) {}
  virtual ~ComObject() = default;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, first_)) {
      *object = static_cast<First*>(this);
    } else if constexpr (!std::is_same_v<Second, NoInterface>) {
      if (IsEqualGUID(iid, second_)) *object = static_cast<Second*>(this);
    }
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  const IID& first_;
  const IID& second_;
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

 const qv::Image& Picture() const { return image_; }

 private:
  qv::Image image_;
};

bool IsOurFormat(PixelFormatID format) { return format == PixelFormat32bppRGB || format == PixelFormat32bppARGB; }

// Decoded pixels behind the bitmap interfaces. The pixels are lent, not
// copied, by LockBits: both 32-bit formats have the same memory layout.
class BitmapObject final : public ComObject<IBitmapImage, IBasicBitmapOps> {
 public:
  BitmapObject(qv::Bitmap&& pixels, PixelFormatID format)
      : ComObject(IID_IBitmapImage, IID_IBasicBitmapOps), pixels_(std::move(pixels)), format_(format) {}

  static HRESULT Make(qv::Bitmap&& pixels, PixelFormatID format, IBitmapImage** out) {
    auto* made = new (std::nothrow) BitmapObject(std::move(pixels), format);
    if (made == nullptr) return E_OUTOFMEMORY;
    *out = made;
    return S_OK;
  }

  HRESULT GetSize(SIZE* size) override {
    if (size == nullptr) return E_INVALIDARG;
    size->cx = static_cast<LONG>(pixels_.Width());
    size->cy = static_cast<LONG>(pixels_.Height());
    return S_OK;
  }
  HRESULT GetPixelFormatID(PixelFormatID* format) override {
    if (format == nullptr) return E_INVALIDARG;
    *format = format_;
    return S_OK;
  }

  HRESULT LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* locked) override {
    if (locked == nullptr || !IsOurFormat(format) || (flags & (ImageLockModeRead | ImageLockModeWrite)) == 0) {
      return E_INVALIDARG;
    }
    if ((flags & ImageLockModeUserInputBuf) != 0) return E_NOTIMPL;
    if (locked_) return E_FAIL;  // one lock at a time
    RECT r = rect ? *rect : RECT{0, 0, static_cast<LONG>(pixels_.Width()), static_cast<LONG>(pixels_.Height())};
    if (r.left < 0 || r.top < 0 || r.right > static_cast<LONG>(pixels_.Width()) ||
        r.bottom > static_cast<LONG>(pixels_.Height()) || r.right <= r.left || r.bottom <= r.top) {
      return E_INVALIDARG;
    }
    locked->Width = static_cast<UINT>(r.right - r.left);
    locked->Height = static_cast<UINT>(r.bottom - r.top);
    locked->Stride = static_cast<LONG>(pixels_.Stride());
    locked->PixelFormat = format;
    locked->Scan0 = pixels_.Row(static_cast<UINT>(r.top)) + static_cast<size_t>(r.left) * 4;
    locked->Reserved = flags;
    locked_ = true;
    return S_OK;
  }
  HRESULT UnlockBits(const BitmapData* locked) override {
    if (locked == nullptr) return E_INVALIDARG;
    if (!locked_) return E_FAIL;
    locked_ = false;
    return S_OK;
  }

  HRESULT Resize(UINT width, UINT height, PixelFormatID format, InterpolationHint, IBitmapImage** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsOurFormat(format) || width == 0 || height == 0) return E_INVALIDARG;
    qv::Bitmap resized;
    if (!qv::ResizeBitmap(Data(), width, height, &resized)) return Failure();
    return Make(std::move(resized), format, out);
  }

  HRESULT Rotate(float angle, InterpolationHint, IBitmapImage** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!std::isfinite(angle) || std::fmod(angle, 90.0f) != 0.0f) return E_NOTIMPL;
    const int degrees = ((static_cast<int>(std::fmod(angle, 360.0f)) % 360) + 360) % 360;
    qv::Bitmap turned;
    if (!qv::RotateBitmap(Data(), degrees, &turned)) return Failure();
    return Make(std::move(turned), format_, out);
  }

 private:
  BitmapData Data() const {
    BitmapData data = pixels_.Data();
    data.PixelFormat = format_;
    return data;
  }
  static HRESULT Failure() { return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_FAIL; }

  qv::Bitmap pixels_;
  PixelFormatID format_;
  bool locked_ = false;
};

// The JPEG encoder on a file and its sink: the pixels gather in a bitmap and
// the file is written once, when the encoder terminates after a good sink.
class JpegFileEncoder final : public ComObject<IImageEncoder, IImageSink> {
 public:
  explicit JpegFileEncoder(std::wstring path)
      : ComObject(IID_IImageEncoder, IID_IImageSink), path_(std::move(path)) {}

  HRESULT GetEncodeSink(IImageSink** sink) override {
    if (sink == nullptr) return E_POINTER;
    if (state_ != State::kFresh) return E_FAIL;
    AddRef();
    *sink = this;
    return S_OK;
  }

  HRESULT TerminateEncoder() override {
    const bool ready = state_ == State::kEnded;
    state_ = State::kDone;
    if (!ready) return E_FAIL;
    BitmapData data = pixels_.Data();
    data.PixelFormat = format_;
    const bool written = qv::SaveJpegFile(data, path_.c_str());
    pixels_.Clear();
    return written ? S_OK : E_FAIL;
  }

  HRESULT BeginSink(ImageInfo* info, RECT* subarea) override {
    if (info == nullptr) return E_INVALIDARG;
    if (state_ != State::kFresh) return E_FAIL;
    if (!IsEqualGUID(info->RawDataFormat, ImageFormatMemoryBMP) || !IsOurFormat(info->PixelFormat)) {
      return E_INVALIDARG;
    }
    if (!pixels_.Create(info->Width, info->Height)) {
      return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_INVALIDARG;
    }
    format_ = info->PixelFormat;
    if (subarea != nullptr) *subarea = RECT{0, 0, static_cast<LONG>(info->Width), static_cast<LONG>(info->Height)};
    state_ = State::kSinking;
    return S_OK;
  }

  HRESULT EndSink(HRESULT status) override {
    if (state_ != State::kSinking) return E_FAIL;
    state_ = SUCCEEDED(status) && lastPassSeen_ ? State::kEnded : State::kDone;
    return S_OK;
  }

  HRESULT SetPalette(const ColorPalette*) override { return state_ == State::kSinking ? S_OK : E_FAIL; }

  HRESULT GetPixelDataBuffer(const RECT*, PixelFormatID, BOOL, BitmapData*) override { return E_NOTIMPL; }
  HRESULT ReleasePixelDataBuffer(const BitmapData*) override { return E_NOTIMPL; }
  HRESULT PushRawData(const void*, UINT) override { return E_NOTIMPL; }

  HRESULT PushPixelData(const RECT* rect, const BitmapData* data, BOOL lastPass) override {
    if (state_ != State::kSinking) return E_FAIL;
    if (rect == nullptr || data == nullptr || data->Scan0 == nullptr || !IsOurFormat(data->PixelFormat)) {
      return E_INVALIDARG;
    }
    const RECT r = *rect;
    if (r.left < 0 || r.top < 0 || r.right > static_cast<LONG>(pixels_.Width()) ||
        r.bottom > static_cast<LONG>(pixels_.Height()) || r.right <= r.left || r.bottom <= r.top ||
        data->Width < static_cast<UINT>(r.right - r.left) || data->Height < static_cast<UINT>(r.bottom - r.top)) {
      return E_INVALIDARG;
    }
    const auto* source = static_cast<const BYTE*>(data->Scan0);
    for (LONG y = r.top; y < r.bottom; ++y) {
      std::memcpy(pixels_.Row(static_cast<UINT>(y)) + static_cast<size_t>(r.left) * 4,
                  source + static_cast<ptrdiff_t>(y - r.top) * data->Stride,
                  static_cast<size_t>(r.right - r.left) * 4);
    }
    if (lastPass) lastPassSeen_ = true;
    return S_OK;
  }

 private:
  enum class State { kFresh, kSinking, kEnded, kDone };
  std::wstring path_;
  qv::Bitmap pixels_;
  PixelFormatID format_ = PixelFormat32bppRGB;
  State state_ = State::kFresh;
  bool lastPassSeen_ = false;
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

  HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormatID format, InterpolationHint,
                                IBitmapImage** bitmap) override {
    if (bitmap == nullptr) return E_POINTER;
    *bitmap = nullptr;
    auto* source = dynamic_cast<ImageObject*>(image);
    if (source == nullptr || !IsOurFormat(format) || (width == 0) != (height == 0)) return E_INVALIDARG;
    qv::Bitmap pixels;
    const bool decoded = width == 0 ? source->Picture().Decode(&pixels)
                                    : source->Picture().Decode(width, height, &pixels);
    if (!decoded) return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_FAIL;
    return BitmapObject::Make(std::move(pixels), format, bitmap);
  }

  HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format, IBitmapImage** bitmap) override {
    if (bitmap == nullptr) return E_POINTER;
    *bitmap = nullptr;
    if (!IsOurFormat(format)) return E_INVALIDARG;
    qv::Bitmap pixels;
    if (!pixels.Create(width, height)) {
      return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_INVALIDARG;
    }
    return BitmapObject::Make(std::move(pixels), format, bitmap);
  }

  HRESULT CreateImageEncoderToFile(const CLSID* clsid, const WCHAR* path, IImageEncoder** encoder) override {
    if (encoder == nullptr) return E_POINTER;
    *encoder = nullptr;
    if (clsid == nullptr || path == nullptr || *path == 0) return E_INVALIDARG;
    if (!IsEqualGUID(*clsid, CLSID_JpegEncoder)) return REGDB_E_CLASSNOTREG;
    auto* made = new (std::nothrow) JpegFileEncoder(path);
    if (made == nullptr) return E_OUTOFMEMORY;
    *encoder = made;
    return S_OK;
  }

  HRESULT GetInstalledEncoders(UINT* count, ImageCodecInfo** encoders) override {
    if (count == nullptr || encoders == nullptr) return E_POINTER;
    *count = 0;
    *encoders = nullptr;
    // One block: the record, then its strings.
    static constexpr const WCHAR* kTexts[] = {L"Built-in JPEG Codec", L"", L"JPEG", L"*.JPG;*.JPEG;*.JPE;*.JFIF",
                                              L"image/jpeg"};
    size_t bytes = sizeof(ImageCodecInfo);
    for (const WCHAR* text : kTexts) bytes += (std::wcslen(text) + 1) * sizeof(WCHAR);
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(static_cast<ULONG>(bytes)));
    if (block == nullptr) return E_OUTOFMEMORY;
    auto* info = new (block) ImageCodecInfo{};
    auto* text = reinterpret_cast<WCHAR*>(block + sizeof(ImageCodecInfo));
    const WCHAR* placed[5];
    for (int i = 0; i < 5; ++i) {
      const size_t n = std::wcslen(kTexts[i]) + 1;
      std::memcpy(text, kTexts[i], n * sizeof(WCHAR));
      placed[i] = text;
      text += n;
    }
    info->Clsid = CLSID_JpegEncoder;
    info->FormatID = ImageFormatJPEG;
    info->CodecName = placed[0];
    info->DllName = placed[1];
    info->FormatDescription = placed[2];
    info->FilenameExtension = placed[3];
    info->MimeType = placed[4];
    info->Flags = 0x00010001;  // encoder, built in
    info->Version = 1;
    *count = 1;
    *encoders = info;
    return S_OK;
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
