#include "engine/public/store/QvMessageFields.h"

#include "platform/kernel/Time.h"

namespace {

int64_t Ticks(const FILETIME& f) {
  return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

// Local time minus UTC, both taken from one reading of the clock: two
// readings could straddle a millisecond and put that millisecond into every
// date converted.
int64_t LocalOffsetNow() {
  FILETIME utc{}, local{};
  GetSystemTimeAsFileTime(&utc);
  if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
  return Ticks(local) - Ticks(utc);
}

// `t` moved by `ticks`; a date the file-time form cannot hold is kept.
SYSTEMTIME Shift(SYSTEMTIME t, int64_t ticks) {
  FILETIME f{};
  if (!SystemTimeToFileTime(&t, &f)) return t;
  int64_t moved = Ticks(f) + ticks;
  if (moved < 0) return t;
  const auto bits = static_cast<uint64_t>(moved);
  FILETIME g{static_cast<DWORD>(bits & 0xFFFFFFFF), static_cast<DWORD>(bits >> 32)};
  SYSTEMTIME out{};
  return FileTimeToSystemTime(&g, &out) ? out : t;
}

}  // namespace

SYSTEMTIME QvMessageFields::LocalTimeToSystemTime(SYSTEMTIME local) { return Shift(local, -LocalOffsetNow()); }

SYSTEMTIME QvMessageFields::SystemTimeToLocalTime(SYSTEMTIME utc) { return Shift(utc, LocalOffsetNow()); }
