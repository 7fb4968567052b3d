// The device's Imaging component as COM: a factory that makes images from
// picture files or memory, and images that tell their size and draw
// themselves into a DC. Decoding is platform/imaging's; drawing scales to the
// destination with the picture's own alpha blended over what is there.
#pragma once

#include "platform/com/Com.h"
#include "platform/gdi/GdiTypes.h"

inline constexpr CLSID CLSID_ImagingFactory = {
    0x327ABDA8, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImagingFactory = {
    0x327ABDA7, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImage = {0x327ABDA9, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// What an image says of itself. Width and Height are the picture's pixels;
// PixelFormat is PixelFormat32bppARGB for every decoded picture.
struct ImageInfo {
  GUID RawDataFormat;
  UINT PixelFormat;
  UINT Width;
  UINT Height;
  UINT TileWidth;
  UINT TileHeight;
  double Xdpi;
  double Ydpi;
  UINT Flags;
};

struct IImage : IUnknown {
  virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
  // Draws the whole picture (or `source`, in pixels) scaled into `destination`
  // (logical coordinates of the DC); E_FAIL when the picture cannot be decoded.
  virtual HRESULT Draw(HDC dc, const RECT* destination, const RECT* source) = 0;

 protected:
  ~IImage() = default;
};

enum BufferDisposalFlag { BufferDisposalFlagNone, BufferDisposalFlagGlobalFree, BufferDisposalFlagCoTaskMemFree,
                          BufferDisposalFlagUnmapView };

struct IImagingFactory : IUnknown {
  // A device path; E_INVALIDARG for a null path, E_FAIL for a file that is
  // missing or holds no picture we decode.
  virtual HRESULT CreateImageFromFile(const WCHAR* path, IImage** image) = 0;
  // The bytes are copied; the disposal flag is accepted and ignored.
  virtual HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal,
                                        IImage** image) = 0;

 protected:
  ~IImagingFactory() = default;
};
