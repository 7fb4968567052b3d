// Stored dates are UTC; what a person reads is local time. Both directions
// shift by the one offset below.
#pragma once

#include <cstdint>

#include "platform/kernel/Time.h"

struct QvLocalTime {
  // Local time minus UTC at this moment, in 100 ns units, from one reading of
  // the clock: two readings could straddle a millisecond and put that
  // millisecond into every date converted.
  static int64_t OffsetNow();
  // Moves `t` by `ticks` (100 ns units). A date the file-time form cannot hold
  // is left as it is and false is returned.
  static bool Shift(SYSTEMTIME* t, int64_t ticks);
};
