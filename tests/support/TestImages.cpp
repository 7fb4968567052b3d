#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace qv::test {

namespace {

void Put16(Bytes* b, uint32_t v) {
  b->push_back(static_cast<uint8_t>(v));
  b->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Put32Be(Bytes* b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b->push_back(static_cast<uint8_t>(v >> s));
}
void Set32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Distinct colours in order of first appearance, and each pixel's index.
struct Indexed {
  std::vector<DWORD> palette;
  std::vector<uint8_t> index;
};

Indexed ToIndexed(const Pixels& p) {
  Indexed out;
  std::map<DWORD, uint8_t> seen;
  for (DWORD c : p.argb) {
    auto it = seen.find(c);
    if (it == seen.end()) {
      it = seen.emplace(c, static_cast<uint8_t>(out.palette.size())).first;
      out.palette.push_back(c);
    }
    out.index.push_back(it->second);
  }
  EXPECT_LE(out.palette.size(), 256u);
  return out;
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

Bytes StoredZlib(const Bytes& raw) {
  Bytes z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(raw.size() - pos, 65535);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    Put16(&z, static_cast<uint32_t>(n));
    Put16(&z, static_cast<uint32_t>(~n & 0xFFFF));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  Put32Be(&z, b << 16 | a);
  return z;
}

}  // namespace

Pixels Quarters(UINT width, UINT height) {
  Pixels p{width, height, std::vector<DWORD>(static_cast<size_t>(width) * height)};
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x) {
      bool right = x >= width / 2, bottom = y >= height / 2;
      p.At(x, y) = bottom ? (right ? kWhite : kBlue) : (right ? kGreen : kRed);
    }
  return p;
}

Bitmap ToBitmap(const Pixels& pixels) {
  Bitmap b;
  EXPECT_TRUE(b.Create(pixels.width, pixels.height));
  for (UINT y = 0; y < pixels.height; ++y)
    for (UINT x = 0; x < pixels.width; ++x) {
      DWORD c = pixels.At(x, y);
      BYTE* p = b.Row(y) + x * 4;
      p[0] = static_cast<BYTE>(c), p[1] = static_cast<BYTE>(c >> 8), p[2] = static_cast<BYTE>(c >> 16);
      p[3] = static_cast<BYTE>(c >> 24);
    }
  return b;
}

Bytes MakeBmp(const Pixels& p, BmpKind kind) {
  Indexed ix = ToIndexed(p);
  UINT bits = 24;
  uint32_t compression = 0;
  bool core = kind == BmpKind::Core24;
  switch (kind) {
    case BmpKind::Rgb16: bits = 16; break;
    case BmpKind::Bitfields32Alpha: bits = 32, compression = 3; break;
    case BmpKind::Palette8: bits = 8; break;
    case BmpKind::Palette4: bits = 4; break;
    case BmpKind::Palette1: bits = 1; break;
    case BmpKind::Rle8: bits = 8, compression = 1; break;
    case BmpKind::Rle4: bits = 4, compression = 2; break;
    default: break;
  }
  bool topDown = kind == BmpKind::Rgb24TopDown;
  Bytes b = {'B', 'M'};
  Put32(&b, 0);  // file size, set below
  Put32(&b, 0);
  Put32(&b, 0);  // pixel offset, set below
  if (core) {
    Put32(&b, 12);
    Put16(&b, p.width);
    Put16(&b, p.height);
    Put16(&b, 1);
    Put16(&b, bits);
  } else {
    // A V3 header (56 bytes) carries its masks inside it.
    Put32(&b, compression == 3 ? 56 : 40);
    Put32(&b, p.width);
    Put32(&b, topDown ? static_cast<uint32_t>(-static_cast<int32_t>(p.height)) : p.height);
    Put16(&b, 1);
    Put16(&b, bits);
    Put32(&b, compression);
    for (int i = 0; i < 3; ++i) Put32(&b, 0);
    Put32(&b, bits <= 8 ? static_cast<uint32_t>(ix.palette.size()) : 0);
    Put32(&b, 0);
    if (compression == 3) {
      Put32(&b, 0x00FF0000);
      Put32(&b, 0x0000FF00);
      Put32(&b, 0x000000FF);
      Put32(&b, 0xFF000000);
    }
  }
  if (bits <= 8)
    for (DWORD c : ix.palette) {
      b.push_back(static_cast<uint8_t>(c));
      b.push_back(static_cast<uint8_t>(c >> 8));
      b.push_back(static_cast<uint8_t>(c >> 16));
      b.push_back(0);
    }
  Set32(&b, 10, static_cast<uint32_t>(b.size()));
  for (UINT row = 0; row < p.height; ++row) {
    UINT y = topDown ? row : p.height - 1 - row;
    const uint8_t* idx = ix.index.data() + static_cast<size_t>(y) * p.width;
    Bytes line;
    if (compression == 1 || compression == 2) {
      // Runs of one index; RLE4 runs repeat the same nibble pair.
      for (UINT x = 0; x < p.width;) {
        UINT n = 1;
        while (x + n < p.width && n < 255 && idx[x + n] == idx[x]) ++n;
        line.push_back(static_cast<uint8_t>(n));
        line.push_back(compression == 1 ? idx[x] : static_cast<uint8_t>(idx[x] << 4 | idx[x]));
        x += n;
      }
      line.push_back(0);
      line.push_back(0);
      b.insert(b.end(), line.begin(), line.end());
      continue;
    }
    for (UINT x = 0; x < p.width; ++x) {
      DWORD c = p.At(x, y);
      switch (bits) {
        case 32: Put32(&line, c); break;
        case 24:
          line.push_back(static_cast<uint8_t>(c));
          line.push_back(static_cast<uint8_t>(c >> 8));
          line.push_back(static_cast<uint8_t>(c >> 16));
          break;
        case 16:
          Put16(&line, ((c >> 19) & 0x1F) << 10 | ((c >> 11) & 0x1F) << 5 | ((c >> 3) & 0x1F));
          break;
        case 8: line.push_back(idx[x]); break;
        case 4:
          if (x % 2 == 0) line.push_back(static_cast<uint8_t>(idx[x] << 4));
          else line.back() |= idx[x];
          break;
        case 1:
          if (x % 8 == 0) line.push_back(0);
          line.back() |= static_cast<uint8_t>((idx[x] & 1) << (7 - x % 8));
          break;
      }
    }
    while (line.size() % 4) line.push_back(0);
    b.insert(b.end(), line.begin(), line.end());
  }
  if (compression == 1 || compression == 2) {
    b.push_back(0);
    b.push_back(1);
  }
  Set32(&b, 2, static_cast<uint32_t>(b.size()));
  return b;
}

Bytes PngChunk(const char* type, const Bytes& data) {
  Bytes c;
  Put32Be(&c, static_cast<uint32_t>(data.size()));
  c.insert(c.end(), type, type + 4);
  c.insert(c.end(), data.begin(), data.end());
  Put32Be(&c, Crc32(c.data() + 4, c.size() - 4));
  return c;
}

Bytes MakePngFromParts(const Bytes& ihdr, const Bytes& raw, const Bytes& extraChunks) {
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes h = PngChunk("IHDR", ihdr);
  b.insert(b.end(), h.begin(), h.end());
  b.insert(b.end(), extraChunks.begin(), extraChunks.end());
  Bytes d = PngChunk("IDAT", StoredZlib(raw));
  b.insert(b.end(), d.begin(), d.end());
  Bytes e = PngChunk("IEND", {});
  b.insert(b.end(), e.begin(), e.end());
  return b;
}

Bytes MakePng(const Pixels& p, PngKind kind) {
  Indexed ix = ToIndexed(p);
  uint8_t colorType = 2, depth = 8;
  switch (kind) {
    case PngKind::Rgba: colorType = 6; break;
    case PngKind::Palette:
    case PngKind::PaletteTransparent: colorType = 3; break;
    case PngKind::Gray: colorType = 0; break;
    case PngKind::GrayAlpha: colorType = 4; break;
    case PngKind::Rgb16: depth = 16; break;
    default: break;
  }
  Bytes ihdr;
  Put32Be(&ihdr, p.width);
  Put32Be(&ihdr, p.height);
  bool adam7 = kind == PngKind::RgbInterlaced;
  ihdr.insert(ihdr.end(), {depth, colorType, 0, 0, static_cast<uint8_t>(adam7 ? 1 : 0)});
  Bytes extra;
  if (colorType == 3) {
    Bytes plte, trns;
    for (DWORD c : ix.palette) {
      plte.insert(plte.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
      trns.push_back(static_cast<uint8_t>(c >> 24));
    }
    extra = PngChunk("PLTE", plte);
    if (kind == PngKind::PaletteTransparent) {
      Bytes t = PngChunk("tRNS", trns);
      extra.insert(extra.end(), t.begin(), t.end());
    }
  }
  // Rows of each pass: start x, start y, step x, step y (one pass when not interlaced).
  struct Pass {
    UINT x0, y0, dx, dy;
  };
  std::vector<Pass> passes = {{0, 0, 1, 1}};
  if (adam7) passes = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  Bytes raw;
  for (const Pass& pass : passes)
  for (UINT y = pass.y0; y < p.height; y += pass.dy) {
    if (pass.x0 >= p.width) break;  // an empty pass has no rows
    raw.push_back(0);  // filter: none
    for (UINT x = pass.x0; x < p.width; x += pass.dx) {
      DWORD c = p.At(x, y);
      uint8_t r = static_cast<uint8_t>(c >> 16), g = static_cast<uint8_t>(c >> 8), bl = static_cast<uint8_t>(c);
      switch (colorType) {
        case 0: raw.push_back(r); break;
        case 4: raw.insert(raw.end(), {r, static_cast<uint8_t>(c >> 24)}); break;
        case 3: raw.push_back(ix.index[static_cast<size_t>(y) * p.width + x]); break;
        case 6: raw.insert(raw.end(), {r, g, bl, static_cast<uint8_t>(c >> 24)}); break;
        default:
          if (depth == 16) raw.insert(raw.end(), {r, 0x55, g, 0x55, bl, 0x55});
          else raw.insert(raw.end(), {r, g, bl});
          break;
      }
    }
  }
  return MakePngFromParts(ihdr, raw, extra);
}

Bytes MakeGif(const Pixels& p, bool interlaced, bool withTransparency) {
  Indexed ix = ToIndexed(p);
  int transparent = -1;
  for (size_t i = 0; i < ix.palette.size(); ++i)
    if (withTransparency && (ix.palette[i] >> 24) == 0) transparent = static_cast<int>(i);
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(&b, p.width);
  Put16(&b, p.height);
  b.insert(b.end(), {0xF7, 0, 0});  // global table of 256 entries
  for (int i = 0; i < 256; ++i) {
    DWORD c = i < static_cast<int>(ix.palette.size()) ? ix.palette[static_cast<size_t>(i)] : 0;
    b.insert(b.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
  }
  if (transparent >= 0) b.insert(b.end(), {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(transparent), 0});
  b.push_back(0x2C);
  Put16(&b, 0);
  Put16(&b, 0);
  Put16(&b, p.width);
  Put16(&b, p.height);
  b.push_back(interlaced ? 0x40 : 0);
  b.push_back(8);  // minimum code size
  // Rows in stream order.
  std::vector<UINT> rows;
  if (interlaced) {
    const UINT start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (UINT y = start[pass]; y < p.height; y += step[pass]) rows.push_back(y);
  } else {
    for (UINT y = 0; y < p.height; ++y) rows.push_back(y);
  }
  // Literal codes of 9 bits; a clear code every 250 keeps the width at 9.
  Bytes packed;
  uint32_t acc = 0;
  int nbits = 0;
  auto emit = [&](uint32_t code) {
    acc |= code << nbits;
    nbits += 9;
    while (nbits >= 8) {
      packed.push_back(static_cast<uint8_t>(acc));
      acc >>= 8;
      nbits -= 8;
    }
  };
  int run = 0;
  emit(256);
  for (UINT y : rows)
    for (UINT x = 0; x < p.width; ++x) {
      if (run++ == 250) emit(256), run = 1;
      emit(ix.index[static_cast<size_t>(y) * p.width + x]);
    }
  emit(257);
  if (nbits > 0) packed.push_back(static_cast<uint8_t>(acc));
  for (size_t pos = 0; pos < packed.size(); pos += 255) {
    size_t n = std::min<size_t>(255, packed.size() - pos);
    b.push_back(static_cast<uint8_t>(n));
    b.insert(b.end(), packed.begin() + pos, packed.begin() + pos + n);
  }
  b.push_back(0);
  b.push_back(0x3B);
  return b;
}

Bytes MakeJpeg(const Pixels& pixels, int quality) {
  Bitmap b = ToBitmap(pixels);
  Bytes out;
  EXPECT_TRUE(EncodeJpeg(b.Data(), quality, &out));
  return out;
}

int ColorDistance(DWORD a, DWORD b) {
  int d = 0;
  for (int s = 0; s <= 16; s += 8) d = std::max(d, std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)));
  return d;
}

}  // namespace qv::test
