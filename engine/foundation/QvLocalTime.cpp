#include "engine/foundation/QvLocalTime.h"

namespace {

int64_t Ticks(const FILETIME& f) {
  return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

}  // namespace

int64_t QvLocalTime::OffsetNow() {
  FILETIME utc{}, local{};
  GetSystemTimeAsFileTime(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  return Ticks(local) - Ticks(utc);
}

bool QvLocalTime::Shift(SYSTEMTIME* t, int64_t ticks) {
  FILETIME f{};
  if (!SystemTimeToFileTime(t, &f)) return false;
  const int64_t moved = Ticks(f) + ticks;
  if (moved < 0) return false;
  const auto bits = static_cast<uint64_t>(moved);
  FILETIME g{static_cast<DWORD>(bits & 0xFFFFFFFF), static_cast<DWORD>(bits >> 32)};
  SYSTEMTIME out{};
  if (!FileTimeToSystemTime(&g, &out)) return false;
  *t = out;
  return true;
}
