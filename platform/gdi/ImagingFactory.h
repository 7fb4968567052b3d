// The device's Imaging component as COM: a factory that makes images from
// picture files or memory, and images that tell their size and draw
// themselves into a DC. Decoding is platform/imaging's; drawing scales to the
// destination with the picture's own alpha blended over what is there.
#pragma once

#include "platform/com/Com.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/imaging/Imaging.h"

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


// The bitmap surface of the Imaging component: decoded pixels that can be
// locked for reading or writing, resized and turned, and the JPEG encoder
// reached through the installed-codec list. Every pixel buffer is
// PixelFormat32bppRGB or PixelFormat32bppARGB (B, G, R, A in memory).
typedef UINT PixelFormatID;

inline constexpr IID IID_IBitmapImage = {0x327ABDAF, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IBasicBitmapOps = {
    0x327ABDAE, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImageSink = {0x327ABDA2, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImageEncoder = {
    0x04C75BF8, 0x3CE1, 0x473B, {0xAC, 0xC5, 0x3C, 0xC4, 0xF5, 0xE9, 0x49, 0x99}};
inline constexpr GUID ImageFormatMemoryBMP = {
    0xB96B3CAA, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr GUID ImageFormatJPEG = {0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr CLSID CLSID_JpegEncoder = {
    0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// LockBits flags.
enum ImageLockMode { ImageLockModeRead = 1, ImageLockModeWrite = 2, ImageLockModeUserInputBuf = 4 };

enum InterpolationHint {
  InterpolationHintDefault,
  InterpolationHintNearestNeighbor,
  InterpolationHintBilinear,
  InterpolationHintAveraging,
  InterpolationHintBicubic
};

struct ColorPalette {
  UINT Flags;
  UINT Count;
  DWORD Entries[1];
};

struct IBitmapImage : IUnknown {
  virtual HRESULT GetSize(SIZE* size) = 0;
  virtual HRESULT GetPixelFormatID(PixelFormatID* format) = 0;
  // Lends the pixels of `rect` (null: all) in `format` (the bitmap's own or
  // the other 32-bit one); one lock at a time. With ImageLockModeWrite the
  // buffer goes back into the bitmap on UnlockBits.
  virtual HRESULT LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* locked) = 0;
  virtual HRESULT UnlockBits(const BitmapData* locked) = 0;

 protected:
  ~IBitmapImage() = default;
};

struct IBasicBitmapOps : IUnknown {
  // A new bitmap of exactly width x height (the aspect ratio is not kept).
  virtual HRESULT Resize(UINT width, UINT height, PixelFormatID format, InterpolationHint hint,
                         IBitmapImage** bitmap) = 0;
  // A new bitmap turned counterclockwise by a multiple of 90 degrees
  // (E_NOTIMPL for any other angle).
  virtual HRESULT Rotate(float angle, InterpolationHint hint, IBitmapImage** bitmap) = 0;

 protected:
  ~IBasicBitmapOps() = default;
};

// What the encoder is told before the pixels come.
struct IImageSink : IUnknown {
  // `info` gives the raw data format (ImageFormatMemoryBMP), pixel format and
  // size; `subarea`, when given, is set to the whole picture.
  virtual HRESULT BeginSink(ImageInfo* info, RECT* subarea) = 0;
  virtual HRESULT EndSink(HRESULT status) = 0;
  // Pictures here are never paletted: any palette is accepted and unused.
  virtual HRESULT SetPalette(const ColorPalette* palette) = 0;
  virtual HRESULT GetPixelDataBuffer(const RECT* rect, PixelFormatID format, BOOL lastPass, BitmapData* locked) = 0;
  virtual HRESULT ReleasePixelDataBuffer(const BitmapData* locked) = 0;
  // Rows of `rect` from `data` (top row first, or bottom-up by a negative stride).
  virtual HRESULT PushPixelData(const RECT* rect, const BitmapData* data, BOOL lastPass) = 0;
  virtual HRESULT PushRawData(const void* buffer, UINT size) = 0;

 protected:
  ~IImageSink() = default;
};

// An encoder on a file: the file is written when the encoder terminates
// after a sink ended with success, and only then; a failed encode leaves no
// file behind.
struct IImageEncoder : IUnknown {
  virtual HRESULT TerminateEncoder() = 0;
  virtual HRESULT GetEncodeSink(IImageSink** sink) = 0;

 protected:
  ~IImageEncoder() = default;
};

struct ImageCodecInfo {
  CLSID Clsid;
  GUID FormatID;
  const WCHAR* CodecName;
  const WCHAR* DllName;
  const WCHAR* FormatDescription;
  const WCHAR* FilenameExtension;
  const WCHAR* MimeType;
  DWORD Flags;
  DWORD Version;
  DWORD SigCount;
  DWORD SigSize;
  const BYTE* SigPattern;
  const BYTE* SigMask;
};

struct IImagingFactory : IUnknown {
  // A device path; E_INVALIDARG for a null path, E_FAIL for a file that is
  // missing or holds no picture we decode.
  virtual HRESULT CreateImageFromFile(const WCHAR* path, IImage** image) = 0;
  // The bytes are copied; the disposal flag is accepted and ignored.
  virtual HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal,
                                        IImage** image) = 0;

  // The picture decoded at width x height (0, 0: its own size) as a bitmap.
  virtual HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormatID format,
                                        InterpolationHint hint, IBitmapImage** bitmap) = 0;
  // An all-zero bitmap of that size.
  virtual HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format, IBitmapImage** bitmap) = 0;
  virtual HRESULT CreateImageEncoderToFile(const CLSID* clsid, const WCHAR* path, IImageEncoder** encoder) = 0;
  // One block from CoTaskMemAlloc holding the array and its strings; the
  // caller frees it with CoTaskMemFree.
  virtual HRESULT GetInstalledEncoders(UINT* count, ImageCodecInfo** encoders) = 0;

 protected:
  ~IImagingFactory() = default;
};
