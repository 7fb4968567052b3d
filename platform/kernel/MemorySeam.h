// The free physical memory GlobalMemoryStatus reports, as a test sets it.
#pragma once

#include <cstddef>
#include <optional>

#include "platform/base/WinTypes.h"

namespace qv::memory_seam {

QV_PLATFORM_API void SetAvailable(size_t bytes);
QV_PLATFORM_API void Reset();
std::optional<size_t> Available();

}  // namespace qv::memory_seam
