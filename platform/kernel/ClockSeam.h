// The clock's test seam: a fixed or shifted UTC clock and the time-zone bias.
// Unset, the clock is the host's real clock and the zone is JST.
#pragma once

#include "platform/base/WinTypes.h"

namespace qv::clock_seam {

// Fixes UTC at a moment (100 ns units since 1601); it stands still unless advanced.
QV_PLATFORM_API void FixAt(ULONGLONG fileTime);
// Moves the clock (fixed or real) on; GetTickCount follows.
QV_PLATFORM_API void Advance(LONGLONG milliseconds);
// Back to the real clock, no advance.
QV_PLATFORM_API void Clear();
// Minutes, UTC = local + bias; JST is -540.
QV_PLATFORM_API void SetBias(LONG minutes);
QV_PLATFORM_API void Reset();

// What the kernel's time functions read.
ULONGLONG NowFileTime();
LONGLONG Advanced();
LONG Bias();

}  // namespace qv::clock_seam
