// Pieces shared by the picture readers and the bitmap operations; not part of
// the service's interface (see Imaging.h).
#pragma once

#include <cstddef>

#include "platform/imaging/Imaging.h"

namespace qv::imaging {

// Sets the error and returns false, so failures read as one statement.
bool Fail(DWORD error);
// True when a bitmap of that size stays within the limits; else
// ERROR_NOT_ENOUGH_MEMORY (ERROR_INVALID_DATA for an empty size).
bool CheckSize(ULONGLONG width, ULONGLONG height);

ImageFormat SniffFormat(const BYTE* data, size_t size);

bool ReadJpegInfo(const BYTE* data, size_t size, ImageInfo* info);
// Decodes at the smallest of the decoder's scales (1/8 to 1/1) that is at
// least minWidth x minHeight; 0 x 0 asks for the full size.
bool DecodeJpeg(const BYTE* data, size_t size, UINT minWidth, UINT minHeight, Bitmap* out);
bool ReadPngInfo(const BYTE* data, size_t size, ImageInfo* info);
bool DecodePng(const BYTE* data, size_t size, Bitmap* out);
bool ReadGifInfo(const BYTE* data, size_t size, ImageInfo* info);
bool DecodeGif(const BYTE* data, size_t size, Bitmap* out);
bool ReadBmpInfo(const BYTE* data, size_t size, ImageInfo* info);
bool DecodeBmp(const BYTE* data, size_t size, Bitmap* out);

// A caller's BitmapData: valid (non-empty, known format, rows that hold the
// width) or ERROR_INVALID_PARAMETER.
bool CheckData(const BitmapData& data);
inline const BYTE* DataRow(const BitmapData& data, UINT y) {
  return static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
}
inline bool DataHasAlpha(const BitmapData& data) { return data.PixelFormat == PixelFormat32bppARGB; }

}  // namespace qv::imaging
