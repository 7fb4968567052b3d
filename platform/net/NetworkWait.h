// The protocol clients wait for their worker threads in steps (1000 ms, at
// most 600 of them) for a reply's first byte; tests shorten both through the seam.
#pragma once

#include <cstdint>

#include "platform/base/WinTypes.h"

namespace qv {

QV_PLATFORM_API DWORD NetworkWaitStep();
QV_PLATFORM_API DWORD NetworkWaitSteps();

// Every reply has a deadline of its own, counted from its first byte, so that
// a peer trickling bytes cannot hold a session: an answer line must be whole
// within a few seconds, a transfer of `bytes` (announced, or received so far)
// within that plus its size at a low floor rate (production: 30 s and
// 1 KiB a second; tests set both through the seam).
QV_PLATFORM_API uint64_t ReplyDeadline(uint64_t bytes);

}  // namespace qv
