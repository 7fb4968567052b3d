// Small pictures built byte by byte for the imaging tests: BMP in its
// variants, PNG with stored (uncompressed) deflate blocks, GIF with a
// literal-only LZW stream, JPEG through our own encoder.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/imaging/Imaging.h"

namespace qv::test {

using Bytes = std::vector<uint8_t>;

// A picture as 0xAARRGGBB values, top row first.
struct Pixels {
  UINT width = 0;
  UINT height = 0;
  std::vector<DWORD> argb;
  DWORD At(UINT x, UINT y) const { return argb[static_cast<size_t>(y) * width + x]; }
  DWORD& At(UINT x, UINT y) { return argb[static_cast<size_t>(y) * width + x]; }
};

inline constexpr DWORD kRed = 0xFFFF0000u;
inline constexpr DWORD kGreen = 0xFF00FF00u;
inline constexpr DWORD kBlue = 0xFF0000FFu;
inline constexpr DWORD kWhite = 0xFFFFFFFFu;
inline constexpr DWORD kBlack = 0xFF000000u;

// Four solid quarters: red top left, green top right, blue bottom left,
// white bottom right.
Pixels Quarters(UINT width, UINT height);
// A bitmap holding the pixels.
Bitmap ToBitmap(const Pixels& pixels);

enum class BmpKind { Rgb24, Rgb24TopDown, Rgb16, Bitfields32Alpha, Palette8, Palette4, Palette1, Rle8, Rle4, Core24 };
Bytes MakeBmp(const Pixels& pixels, BmpKind kind);

enum class PngKind { Rgb, Rgba, Palette, PaletteTransparent, Gray, GrayAlpha, Rgb16, RgbInterlaced };
Bytes MakePng(const Pixels& pixels, PngKind kind);
// A PNG from a raw IHDR (13 bytes) and filtered image rows.
Bytes MakePngFromParts(const Bytes& ihdr, const Bytes& raw, const Bytes& extraChunks = {});
Bytes PngChunk(const char* type, const Bytes& data);

// Palette picture; pixels with alpha 0 use the transparent index.
Bytes MakeGif(const Pixels& pixels, bool interlaced = false, bool withTransparency = false);

Bytes MakeJpeg(const Pixels& pixels, int quality = 95);

// Per-channel distance of two 0xAARRGGBB values (largest of R, G, B).
int ColorDistance(DWORD a, DWORD b);

}  // namespace qv::test
