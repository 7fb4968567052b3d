// The HTTP layer's test seam: how many of its objects (sessions, connections,
// requests) are alive, and the deadlines every response gets. A handle closed
// while a call on it is still running keeps its object until that call
// returns, so a count of 0 after a caller's transfer means no call of it is
// still running.
#pragma once

#include "platform/base/WinTypes.h"

namespace qv::inet_seam {

QV_PLATFORM_API long LiveObjects();

// What a response may take. The header block (connect and request included)
// must be in within `headerMs` of the request's start; a body may take
// `bodyBaseMs` plus its length (announced, or received so far when none was)
// at `floorBytesPerSecond`, and never `idleMs` without a byte. Body time
// counts only while a read waits for the server, never while the caller holds
// the data.
struct Deadlines {
  DWORD headerMs = 30000;
  DWORD bodyBaseMs = 30000;
  DWORD floorBytesPerSecond = 2048;
  DWORD idleMs = 30000;
};
QV_PLATFORM_API Deadlines CurrentDeadlines();
QV_PLATFORM_API void SetDeadlines(const Deadlines& deadlines);
QV_PLATFORM_API void ResetDeadlines();

}  // namespace qv::inet_seam
