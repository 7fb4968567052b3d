#include "engine/store/QvMessageInterface.h"

#include "platform/kernel/Time.h"

namespace {

int64_t ToTicks(const SYSTEMTIME& t) {
  FILETIME f{};
  if (!SystemTimeToFileTime(&t, &f)) return 0;
  return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

// `t` moved by (to - from); a date the file-time form cannot hold is kept.
SYSTEMTIME Shift(SYSTEMTIME t, const SYSTEMTIME& from, const SYSTEMTIME& to) {
  FILETIME probe{};
  if (!SystemTimeToFileTime(&t, &probe)) return t;
  int64_t ticks = ToTicks(t) - ToTicks(from) + ToTicks(to);
  if (ticks < 0) return t;
  FILETIME f{static_cast<DWORD>(static_cast<uint64_t>(ticks) & 0xFFFFFFFF), static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
  SYSTEMTIME out{};
  return FileTimeToSystemTime(&f, &out) ? out : t;
}

}  // namespace

SYSTEMTIME QvMessageInterface::LocalTimeToSystemTime(SYSTEMTIME local) {
  SYSTEMTIME localNow{}, utcNow{};
  GetLocalTime(&localNow);
  GetSystemTime(&utcNow);
  return Shift(local, localNow, utcNow);
}

SYSTEMTIME QvMessageInterface::SystemTimeToLocalTime(SYSTEMTIME utc) {
  SYSTEMTIME localNow{}, utcNow{};
  GetLocalTime(&localNow);
  GetSystemTime(&utcNow);
  return Shift(utc, utcNow, localNow);
}
