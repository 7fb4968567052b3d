// Windows bitmaps, read by hand: the core (12-byte) and info (40-byte and
// longer) headers; 1, 4, 8, 16, 24 and 32 bits; uncompressed, bit fields and
// run-length (RLE8, RLE4). Rows are bottom-up unless the height is negative.
#include <bit>
#include <vector>

#include "platform/imaging/ImageCodecs.h"

namespace qv::imaging {

namespace {

constexpr DWORD kBiRgb = 0;
constexpr DWORD kBiRle8 = 1;
constexpr DWORD kBiRle4 = 2;
constexpr DWORD kBiBitfields = 3;
constexpr DWORD kBiJpeg = 4;
constexpr DWORD kBiPng = 5;
constexpr DWORD kBiAlphaBitfields = 6;

UINT U16(const BYTE* p) { return p[0] | p[1] << 8; }
DWORD U32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}

// One colour channel given by a bit mask, widened to 8 bits.
struct Channel {
  DWORD mask = 0;
  int shift = 0;
  DWORD max = 0;
  explicit Channel(DWORD m = 0) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  BYTE Of(DWORD pixel, BYTE absent) const {
    if (max == 0) return absent;
    return static_cast<BYTE>(static_cast<ULONGLONG>((pixel & mask) >> shift) * 255 / max);
  }
};

struct BmpHeader {
  UINT width = 0;
  UINT height = 0;
  bool topDown = false;
  UINT bits = 0;
  DWORD compression = kBiRgb;
  size_t pixelOffset = 0;
  Channel red, green, blue, alpha;
  std::vector<DWORD> palette;  // 0xAARRGGBB
};

bool ParseHeader(const BYTE* data, size_t size, BmpHeader* h) {
  if (size < 26) return Fail(ERROR_INVALID_DATA);
  h->pixelOffset = U32(data + 10);
  DWORD headerSize = U32(data + 14);
  size_t masksAt = 0;      // where bit-field masks are, 0: none given
  size_t paletteAt = 0;
  size_t entrySize = 4;
  DWORD colorsUsed = 0;
  if (headerSize == 12) {
    h->width = U16(data + 18);
    h->height = U16(data + 20);
    h->bits = U16(data + 24);
    paletteAt = 26;
    entrySize = 3;
  } else if (headerSize >= 40 && headerSize <= 1024) {
    if (size < 14 + static_cast<size_t>(headerSize)) return Fail(ERROR_INVALID_DATA);
    auto width = static_cast<int32_t>(U32(data + 18));
    auto height = static_cast<int32_t>(U32(data + 22));
    if (width <= 0 || height == 0 || height == INT32_MIN) return Fail(ERROR_INVALID_DATA);
    h->width = static_cast<UINT>(width);
    h->topDown = height < 0;
    h->height = static_cast<UINT>(height < 0 ? -height : height);
    h->bits = U16(data + 28);
    h->compression = U32(data + 30);
    colorsUsed = U32(data + 46);
    paletteAt = 14 + headerSize;
    if (h->compression == kBiBitfields || h->compression == kBiAlphaBitfields) {
      masksAt = 54;
      // A bare info header is followed by the masks; longer headers hold them.
      if (headerSize == 40) paletteAt += h->compression == kBiAlphaBitfields ? 16 : 12;
    }
  } else {
    return Fail(ERROR_INVALID_DATA);
  }
  if (h->width == 0 || h->height == 0) return Fail(ERROR_INVALID_DATA);

  switch (h->compression) {
    case kBiRgb:
      if (h->bits != 1 && h->bits != 4 && h->bits != 8 && h->bits != 16 && h->bits != 24 && h->bits != 32)
        return Fail(ERROR_INVALID_DATA);
      break;
    case kBiRle8:
    case kBiRle4:
      if (h->bits != (h->compression == kBiRle8 ? 8u : 4u) || h->topDown) return Fail(ERROR_INVALID_DATA);
      break;
    case kBiBitfields:
    case kBiAlphaBitfields:
      if (h->bits != 16 && h->bits != 32) return Fail(ERROR_INVALID_DATA);
      break;
    case kBiJpeg:
    case kBiPng:
      return Fail(ERROR_NOT_SUPPORTED);
    default:
      return Fail(ERROR_INVALID_DATA);
  }

  if (masksAt != 0) {
    bool withAlpha = h->compression == kBiAlphaBitfields || headerSize >= 56;
    if (size < masksAt + (withAlpha ? 16 : 12)) return Fail(ERROR_INVALID_DATA);
    h->red = Channel(U32(data + masksAt));
    h->green = Channel(U32(data + masksAt + 4));
    h->blue = Channel(U32(data + masksAt + 8));
    if (withAlpha) h->alpha = Channel(U32(data + masksAt + 12));
  } else if (h->bits == 16) {
    h->red = Channel(0x7C00), h->green = Channel(0x03E0), h->blue = Channel(0x001F);
  } else if (h->bits == 32) {
    h->red = Channel(0xFF0000), h->green = Channel(0xFF00), h->blue = Channel(0xFF);
  }

  if (h->bits <= 8) {
    DWORD count = colorsUsed != 0 ? colorsUsed : 1u << h->bits;
    if (count > (1u << h->bits)) return Fail(ERROR_INVALID_DATA);
    if (paletteAt + count * entrySize > size) return Fail(ERROR_INVALID_DATA);
    h->palette.resize(count);
    for (DWORD i = 0; i < count; ++i) {
      const BYTE* e = data + paletteAt + i * entrySize;
      h->palette[i] = 0xFF000000u | static_cast<DWORD>(e[2]) << 16 | static_cast<DWORD>(e[1]) << 8 | e[0];
    }
  }
  if (h->pixelOffset == 0 || h->pixelOffset >= size) return Fail(ERROR_INVALID_DATA);
  return true;
}

void Put(Bitmap* out, UINT x, UINT y, DWORD argb) {
  BYTE* p = out->Row(y) + static_cast<size_t>(x) * 4;
  p[0] = static_cast<BYTE>(argb), p[1] = static_cast<BYTE>(argb >> 8), p[2] = static_cast<BYTE>(argb >> 16);
  p[3] = static_cast<BYTE>(argb >> 24);
}

DWORD PaletteColor(const BmpHeader& h, UINT index) {
  return index < h.palette.size() ? h.palette[index] : 0xFF000000u;  // beyond the palette: black
}

bool DecodeUncompressed(const BmpHeader& h, const BYTE* data, size_t size, Bitmap* out) {
  ULONGLONG stride = (static_cast<ULONGLONG>(h.width) * h.bits + 31) / 32 * 4;
  if (h.pixelOffset + stride * h.height > size) return Fail(ERROR_INVALID_DATA);
  bool opaque32 = h.compression == kBiRgb;  // the fourth byte of plain 32-bit pixels is unused
  for (UINT row = 0; row < h.height; ++row) {
    const BYTE* src = data + h.pixelOffset + stride * row;
    UINT y = h.topDown ? row : h.height - 1 - row;
    for (UINT x = 0; x < h.width; ++x) {
      DWORD argb;
      switch (h.bits) {
        case 1: argb = PaletteColor(h, (src[x / 8] >> (7 - x % 8)) & 1); break;
        case 4: argb = PaletteColor(h, (src[x / 2] >> (x % 2 ? 0 : 4)) & 0xF); break;
        case 8: argb = PaletteColor(h, src[x]); break;
        case 24: {
          const BYTE* p = src + static_cast<size_t>(x) * 3;
          argb = 0xFF000000u | static_cast<DWORD>(p[2]) << 16 | static_cast<DWORD>(p[1]) << 8 | p[0];
          break;
        }
        default: {
          DWORD v = h.bits == 16 ? U16(src + static_cast<size_t>(x) * 2) : U32(src + static_cast<size_t>(x) * 4);
          BYTE a = opaque32 ? 255 : h.alpha.Of(v, 255);
          argb = static_cast<DWORD>(a) << 24 | static_cast<DWORD>(h.red.Of(v, 0)) << 16 |
                 static_cast<DWORD>(h.green.Of(v, 0)) << 8 | h.blue.Of(v, 0);
          break;
        }
      }
      Put(out, x, y, argb);
    }
  }
  return true;
}

// Run-length data: (count, index) runs; 0 0 ends a line, 0 1 the picture,
// 0 2 dx dy moves, 0 n is n literal indices padded to a 16-bit boundary.
// Pixels the runs skip stay transparent.
bool DecodeRunLength(const BmpHeader& h, const BYTE* data, size_t size, Bitmap* out) {
  bool four = h.compression == kBiRle4;
  size_t pos = h.pixelOffset;
  ULONGLONG x = 0, row = 0;
  auto put = [&](UINT index) {
    if (x < h.width && row < h.height) Put(out, static_cast<UINT>(x), h.height - 1 - static_cast<UINT>(row), PaletteColor(h, index));
    ++x;
  };
  while (row < h.height) {
    if (size - pos < 2) return Fail(ERROR_INVALID_DATA);
    UINT count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      for (UINT i = 0; i < count; ++i) put(four ? (i % 2 ? value & 0xF : value >> 4) : value);
    } else if (value == 0) {
      x = 0, ++row;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (size - pos < 2) return Fail(ERROR_INVALID_DATA);
      x += data[pos], row += data[pos + 1];
      pos += 2;
    } else {
      size_t bytes = four ? (value + 1) / 2 : value;
      size_t padded = (bytes + 1) & ~static_cast<size_t>(1);
      if (size - pos < padded) return Fail(ERROR_INVALID_DATA);
      for (UINT i = 0; i < value; ++i) {
        BYTE b = data[pos + (four ? i / 2 : i)];
        put(four ? (i % 2 ? b & 0xF : b >> 4) : b);
      }
      pos += padded;
    }
  }
  return true;  // ran past the last line: complete even without the end mark
}

}  // namespace

bool ReadBmpInfo(const BYTE* data, size_t size, ImageInfo* info) {
  BmpHeader h;
  if (!ParseHeader(data, size, &h)) return false;
  info->width = h.width;
  info->height = h.height;
  info->format = ImageFormat::Bmp;
  return true;
}

bool DecodeBmp(const BYTE* data, size_t size, Bitmap* out) {
  BmpHeader h;
  if (!ParseHeader(data, size, &h) || !out->Create(h.width, h.height)) return false;
  bool ok = h.compression == kBiRle8 || h.compression == kBiRle4 ? DecodeRunLength(h, data, size, out)
                                                                  : DecodeUncompressed(h, data, size, out);
  if (!ok) out->Clear();
  return ok;
}

}  // namespace qv::imaging
