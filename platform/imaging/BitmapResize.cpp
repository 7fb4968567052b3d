// Resizing in two one-dimensional passes with a triangle filter widened by
// the shrink factor (bilinear when enlarging, area-weighted when shrinking).
// Colours are weighted by alpha, so transparent pixels lend no colour to
// their neighbours.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/imaging/ImageCodecs.h"

namespace qv {

namespace {

using imaging::Fail;

// For each target position: the first source position and its weights.
struct Taps {
  std::vector<UINT> first;
  std::vector<UINT> count;
  std::vector<size_t> offset;
  std::vector<float> weight;
};

Taps MakeTaps(UINT from, UINT to) {
  Taps t;
  double scale = static_cast<double>(from) / to;
  double radius = std::max(1.0, scale);
  t.first.resize(to);
  t.count.resize(to);
  t.offset.resize(to);
  for (UINT i = 0; i < to; ++i) {
    double center = (i + 0.5) * scale;
    auto lo = static_cast<long>(std::floor(center - radius));
    auto hi = static_cast<long>(std::ceil(center + radius));
    lo = std::max(lo, 0L);
    hi = std::min(hi, static_cast<long>(from));
    t.first[i] = static_cast<UINT>(lo);
    t.offset[i] = t.weight.size();
    double sum = 0;
    for (long j = lo; j < hi; ++j) {
      double w = std::max(0.0, 1.0 - std::fabs(j + 0.5 - center) / radius);
      t.weight.push_back(static_cast<float>(w));
      sum += w;
    }
    size_t n = t.weight.size() - t.offset[i];
    if (sum <= 0) {  // cannot happen with a radius of at least 1, kept for safety
      t.weight.resize(t.offset[i]);
      t.weight.push_back(1.0f);
      t.first[i] = static_cast<UINT>(std::min<long>(static_cast<long>(center), from - 1));
      n = 1;
      sum = 1;
    }
    for (size_t k = 0; k < n; ++k) t.weight[t.offset[i] + k] = static_cast<float>(t.weight[t.offset[i] + k] / sum);
    t.count[i] = static_cast<UINT>(n);
  }
  return t;
}

// Alpha-weighted colour, scaled by 256 to keep fractions between passes.
struct Plane {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint16_t> v;  // 4 per pixel: b, g, r, a (premultiplied)
  uint16_t* At(UINT x, UINT y) { return v.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

void Premultiplied(const BitmapData& src, UINT x, UINT y, float out[4]) {
  const BYTE* p = imaging::DataRow(src, y) + static_cast<size_t>(x) * 4;
  float a = imaging::DataHasAlpha(src) ? p[3] : 255.0f;
  out[0] = p[0] * a / 255.0f;
  out[1] = p[1] * a / 255.0f;
  out[2] = p[2] * a / 255.0f;
  out[3] = a;
}

uint16_t Keep(float v) { return static_cast<uint16_t>(std::clamp(v * 256.0f + 0.5f, 0.0f, 65535.0f)); }

BYTE ToByte(float v) { return static_cast<BYTE>(std::clamp(v + 0.5f, 0.0f, 255.0f)); }

void Store(Bitmap* out, UINT x, UINT y, const float acc[4]) {
  BYTE* p = out->Row(y) + static_cast<size_t>(x) * 4;
  float a = acc[3];
  if (a < 0.5f) {
    p[0] = p[1] = p[2] = p[3] = 0;
    return;
  }
  for (int c = 0; c < 3; ++c) p[c] = ToByte(acc[c] * 255.0f / a);
  p[3] = ToByte(a);
}

// First pass: source -> plane along one axis (horizontal when `alongX`).
void FirstPass(const BitmapData& src, const Taps& taps, bool alongX, Plane* plane) {
  UINT lines = alongX ? src.Height : src.Width;
  UINT to = static_cast<UINT>(taps.first.size());
  for (UINT line = 0; line < lines; ++line) {
    for (UINT i = 0; i < to; ++i) {
      float acc[4] = {0, 0, 0, 0};
      for (UINT k = 0; k < taps.count[i]; ++k) {
        UINT s = taps.first[i] + k;
        float px[4];
        Premultiplied(src, alongX ? s : line, alongX ? line : s, px);
        float w = taps.weight[taps.offset[i] + k];
        for (int c = 0; c < 4; ++c) acc[c] += w * px[c];
      }
      uint16_t* dst = alongX ? plane->At(i, line) : plane->At(line, i);
      for (int c = 0; c < 4; ++c) dst[c] = Keep(acc[c]);
    }
  }
}

// Second pass: plane -> bitmap along the other axis.
void SecondPass(Plane* plane, const Taps& taps, bool alongX, Bitmap* out) {
  UINT lines = alongX ? plane->height : plane->width;
  UINT to = static_cast<UINT>(taps.first.size());
  for (UINT line = 0; line < lines; ++line) {
    for (UINT i = 0; i < to; ++i) {
      float acc[4] = {0, 0, 0, 0};
      for (UINT k = 0; k < taps.count[i]; ++k) {
        UINT s = taps.first[i] + k;
        const uint16_t* px = alongX ? plane->At(s, line) : plane->At(line, s);
        float w = taps.weight[taps.offset[i] + k] / 256.0f;
        for (int c = 0; c < 4; ++c) acc[c] += w * px[c];
      }
      Store(out, alongX ? i : line, alongX ? line : i, acc);
    }
  }
}

}  // namespace

bool ResizeBitmap(const BitmapData& source, UINT width, UINT height, Bitmap* out) {
  if (out == nullptr || width == 0 || height == 0) return Fail(ERROR_INVALID_PARAMETER);
  out->Clear();
  if (!imaging::CheckData(source)) return false;
  if (!imaging::CheckSize(width, height)) return false;
  // The intermediate plane is the smaller of the two orders' (width first:
  // target width x source height).
  bool widthFirst = static_cast<ULONGLONG>(width) * source.Height <= static_cast<ULONGLONG>(source.Width) * height;
  Plane plane;
  plane.width = widthFirst ? width : source.Width;
  plane.height = widthFirst ? source.Height : height;
  if (!imaging::CheckSize(plane.width, plane.height)) return false;
  Taps across;
  Taps down;
  try {
    across = MakeTaps(source.Width, width);
    down = MakeTaps(source.Height, height);
    plane.v.resize(static_cast<size_t>(plane.width) * plane.height * 4);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (!out->Create(width, height)) return false;
  FirstPass(source, widthFirst ? across : down, widthFirst, &plane);
  SecondPass(&plane, widthFirst ? down : across, !widthFirst, out);
  return true;
}

}  // namespace qv
