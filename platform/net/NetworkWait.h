// The protocol clients wait for their worker threads in steps (1000 ms, at
// most 600 of them); tests shorten both through the seam.
#pragma once

#include "platform/base/WinTypes.h"

namespace qv {

QV_PLATFORM_API DWORD NetworkWaitStep();
QV_PLATFORM_API DWORD NetworkWaitSteps();

}  // namespace qv
