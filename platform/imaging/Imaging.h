// Pictures: reading JPEG, PNG, GIF and BMP, resizing to an exact size,
// quarter turns, JPEG and PNG writing. It stands in for the device's imaging
// factory: `Image` is the loaded picture (its file bytes and header),
// `Bitmap` the decoded pixels, `BitmapData` the device's description of a
// block of pixels that the operations read.
//
// Pictures come from mail and feeds, so they are untrusted: a decoded bitmap
// is at most kMaxImageSide pixels on a side and kMaxImagePixels in all, checked
// from the header before any pixel memory is taken (a large JPEG asked for at a
// small size is decoded at 1/2, 1/4 or 1/8 first, so it may exceed the limits
// itself); a damaged or truncated picture is a failure, never a partial
// picture. Failures return false and set GetLastError: ERROR_FILE_NOT_FOUND
// and the other file errors, ERROR_NOT_SUPPORTED (not one of the four
// formats), ERROR_INVALID_DATA (damaged), ERROR_NOT_ENOUGH_MEMORY (over the
// limits), ERROR_INVALID_PARAMETER.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/base/WinTypes.h"

// Pixel formats, with the device's values. Both are four bytes a pixel,
// B, G, R, A in memory; 32bppRGB ignores the fourth byte (opaque).
#define PixelFormat32bppRGB 0x00022009u
#define PixelFormat32bppARGB 0x0026200Au

// A block of pixels owned by someone else. Scan0 is the top row; Stride is the
// distance in bytes from one row to the next (negative when the rows lie
// bottom-up in memory, as in a DIB section).
struct BitmapData {
  UINT Width;
  UINT Height;
  LONG Stride;
  UINT PixelFormat;
  void* Scan0;
  ULONG_PTR Reserved;
};

namespace qv {

enum class ImageFormat { Unknown, Jpeg, Png, Gif, Bmp };

struct ImageInfo {
  UINT width = 0;
  UINT height = 0;
  ImageFormat format = ImageFormat::Unknown;
};

inline constexpr UINT kMaxImageSide = 8192;
inline constexpr ULONGLONG kMaxImagePixels = 4096ull * 4096;  // 64 MB as 32-bit pixels
inline constexpr size_t kMaxImageFileBytes = 64u * 1024 * 1024;
inline constexpr int kDefaultJpegQuality = 75;

namespace imaging {

// Leaves elements made without a value unset, so that a picture-sized buffer
// that its writer fills anyway is not cleared first.
template <typename T, typename Base = std::allocator<T>>
class UnsetAllocator : public Base {
  using Traits = std::allocator_traits<Base>;

 public:
  template <typename U>
  struct rebind {
    using other = UnsetAllocator<U, typename Traits::template rebind_alloc<U>>;
  };
  using Base::Base;
  template <typename U>
  void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    Traits::construct(static_cast<Base&>(*this), at, std::forward<Args>(args)...);
  }
};

}  // namespace imaging

// Decoded pixels: top row first, B, G, R, A each, alpha not premultiplied
// (opaque pictures have 255 throughout).
class QV_PLATFORM_API Bitmap {
 public:
  // Makes a bitmap of that size, all pixels 0 (transparent black); false with
  // ERROR_NOT_ENOUGH_MEMORY over the limits, ERROR_INVALID_PARAMETER when empty.
  bool Create(UINT width, UINT height);
  // The same with the pixels left unset, for a writer that fills every one.
  bool Allocate(UINT width, UINT height);
  void Clear();

  UINT Width() const { return width_; }
  UINT Height() const { return height_; }
  UINT Stride() const { return width_ * 4; }
  bool Empty() const { return pixels_.empty(); }
  BYTE* Row(UINT y) { return pixels_.data() + static_cast<size_t>(y) * Stride(); }
  const BYTE* Row(UINT y) const { return pixels_.data() + static_cast<size_t>(y) * Stride(); }
  // 0xAARRGGBB of one pixel.
  DWORD Pixel(UINT x, UINT y) const;
  // The pixels as a BitmapData (PixelFormat32bppARGB), valid while the bitmap lives.
  BitmapData Data() const;

 private:
  UINT width_ = 0;
  UINT height_ = 0;
  bool Make(UINT width, UINT height, bool zeroed);

  std::vector<BYTE, imaging::UnsetAllocator<BYTE>> pixels_;
};

// A picture file held in memory with its header read; nothing is decoded yet.
class QV_PLATFORM_API Image {
 public:
  // Reads a device path ("\My Documents\a.jpg"); files over
  // kMaxImageFileBytes are refused.
  bool LoadFile(LPCWSTR devicePath);
  bool LoadMemory(const void* data, size_t size);
  const ImageInfo& Info() const { return info_; }

  // The whole picture at its own size.
  bool Decode(Bitmap* out) const;
  // The whole picture scaled to exactly width x height; the aspect ratio is
  // not kept.
  bool Decode(UINT width, UINT height, Bitmap* out) const;

 private:
  std::vector<BYTE> bytes_;
  ImageInfo info_;
};

// Format and size from the header alone.
QV_PLATFORM_API bool GetImageInfo(LPCWSTR devicePath, ImageInfo* info);
QV_PLATFORM_API bool GetImageInfo(const void* data, size_t size, ImageInfo* info);

// Scales to exactly width x height (area-weighted when shrinking).
QV_PLATFORM_API bool ResizeBitmap(const BitmapData& source, UINT width, UINT height, Bitmap* out);
// Turns counterclockwise by 0, 90, 180, 270 or 360 degrees, as the device does.
QV_PLATFORM_API bool RotateBitmap(const BitmapData& source, int degrees, Bitmap* out);

// Baseline JPEG of the pixels; quality 1..100. Transparent pixels are written
// as if drawn over white.
QV_PLATFORM_API bool EncodeJpeg(const BitmapData& source, int quality, std::vector<BYTE>* out);
// PNG of the pixels, 8 bits a channel: RGB for PixelFormat32bppRGB, RGBA
// (not premultiplied) for PixelFormat32bppARGB.
QV_PLATFORM_API bool EncodePng(const BitmapData& source, std::vector<BYTE>* out);
// Encodes first and writes the file only when that succeeded; a failed write
// leaves no file behind.
QV_PLATFORM_API bool SaveJpegFile(const BitmapData& source, LPCWSTR devicePath,
                                  int quality = kDefaultJpegQuality);

}  // namespace qv
