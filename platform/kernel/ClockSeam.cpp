#include "platform/kernel/ClockSeam.h"

#include <time.h>

#include <atomic>

namespace qv::clock_seam {
namespace {

constexpr LONG kJstBias = -540;
// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr ULONGLONG kUnixEpoch = 116444736000000000ULL;
constexpr ULONGLONG kNotFixed = ~0ULL;

std::atomic<ULONGLONG> g_fixed{kNotFixed};
std::atomic<LONGLONG> g_advanceMs{0};
std::atomic<LONG> g_bias{kJstBias};

}  // namespace

void FixAt(ULONGLONG fileTime) { g_fixed = fileTime; }
void Advance(LONGLONG milliseconds) { g_advanceMs += milliseconds; }

void Clear() {
  g_fixed = kNotFixed;
  g_advanceMs = 0;
}

void SetBias(LONG minutes) { g_bias = minutes; }

void Reset() {
  Clear();
  g_bias = kJstBias;
}

ULONGLONG NowFileTime() {
  const ULONGLONG advance = static_cast<ULONGLONG>(g_advanceMs.load()) * 10000ULL;
  const ULONGLONG fixed = g_fixed.load();
  if (fixed != kNotFixed) return fixed + advance;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return kUnixEpoch + static_cast<ULONGLONG>(ts.tv_sec) * 10000000ULL + static_cast<ULONGLONG>(ts.tv_nsec) / 100 +
         advance;
}

LONGLONG Advanced() { return g_advanceMs; }
LONG Bias() { return g_bias; }

}  // namespace qv::clock_seam
