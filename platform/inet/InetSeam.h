// The HTTP layer's test seam: how many of its objects (sessions, connections,
// requests) are alive. A handle closed while a call on it is still running
// keeps its object until that call returns, so a count of 0 after a caller's
// transfer means no call of it is still running.
#pragma once

#include "platform/base/WinTypes.h"

namespace qv::inet_seam {

QV_PLATFORM_API long LiveObjects();

}  // namespace qv::inet_seam
