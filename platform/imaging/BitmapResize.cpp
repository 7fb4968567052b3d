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

BYTE ToByte(float v) { return static_cast<BYTE>(std::clamp(v + 0.5f, 0.0f, 255.0f)); }

// One pixel's b, g, r, a, worked on together.
typedef float Lanes __attribute__((vector_size(16)));
struct Px {
  Lanes v;
};

Lanes Splat(float w) { return Lanes{w, w, w, w}; }

// One source row resized across, as alpha-weighted colour (colours
// premultiplied by a / 255). `line` holds the source row so converted, once
// per row rather than once per tap.
void AcrossRow(const BitmapData& src, UINT y, const Taps& taps, Px* line, Px* out) {
  const BYTE* p = imaging::DataRow(src, y);
  if (imaging::DataHasAlpha(src)) {
    for (UINT x = 0; x < src.Width; ++x, p += 4) {
      const float a = p[3];
      const float f = a / 255.0f;
      line[x].v = Lanes{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]), 255.0f} *
                  Lanes{f, f, f, a / 255.0f};
    }
  } else {
    for (UINT x = 0; x < src.Width; ++x, p += 4) {
      line[x].v = Lanes{static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]), 255.0f};
    }
  }
  const UINT to = static_cast<UINT>(taps.first.size());
  for (UINT i = 0; i < to; ++i) {
    Lanes acc = Splat(0.0f);
    const float* w = taps.weight.data() + taps.offset[i];
    const Px* s = line + taps.first[i];
    for (UINT k = 0; k < taps.count[i]; ++k) acc += Splat(w[k]) * s[k].v;
    out[i].v = acc;
  }
}

void StoreRow(const Px* acc, UINT width, BYTE* p) {
  for (UINT x = 0; x < width; ++x, p += 4) {
    const float a = acc[x].v[3];
    if (a < 0.5f) {
      p[0] = p[1] = p[2] = p[3] = 0;
      continue;
    }
    const Lanes c = acc[x].v * Splat(255.0f / a);
    for (int k = 0; k < 3; ++k) p[k] = ToByte(c[k]);
    p[3] = ToByte(a);
  }
}

}  // namespace

bool ResizeBitmap(const BitmapData& source, UINT width, UINT height, Bitmap* out) {
  if (out == nullptr || width == 0 || height == 0) return Fail(ERROR_INVALID_PARAMETER);
  out->Clear();
  if (!imaging::CheckData(source)) return false;
  if (!imaging::CheckSize(width, height)) return false;
  // Rows are resized across as the rows below need them and kept in a ring
  // just tall enough for one output row's taps, so no picture-sized
  // intermediate is ever held.
  Taps across;
  Taps down;
  std::vector<Px> line;
  std::vector<Px> ring;
  std::vector<Px> acc;
  UINT ringRows = 1;
  try {
    across = MakeTaps(source.Width, width);
    down = MakeTaps(source.Height, height);
    for (UINT n : down.count) ringRows = std::max(ringRows, n);
    line.resize(source.Width);
    ring.resize(static_cast<size_t>(ringRows) * width);
    acc.resize(width);
  } catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (!out->Allocate(width, height)) return false;
  auto slot = [&](UINT s) { return ring.data() + static_cast<size_t>(s % ringRows) * width; };
  UINT next = 0;  // the first source row not yet resized across
  for (UINT y = 0; y < height; ++y) {
    const UINT first = down.first[y], count = down.count[y];
    // The taps only move down, so the rows still needed are all in the ring.
    for (; next < first + count; ++next) AcrossRow(source, next, across, line.data(), slot(next));
    const float* w = down.weight.data() + down.offset[y];
    const Px* top = slot(first);
    const Lanes w0 = Splat(w[0]);
    for (UINT i = 0; i < width; ++i) acc[i].v = w0 * top[i].v;
    for (UINT k = 1; k < count; ++k) {
      const Px* row = slot(first + k);
      const Lanes wk = Splat(w[k]);
      for (UINT i = 0; i < width; ++i) acc[i].v += wk * row[i].v;
    }
    StoreRow(acc.data(), width, out->Row(y));
  }
  return true;
}

}  // namespace qv
