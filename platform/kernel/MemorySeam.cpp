#include "platform/kernel/MemorySeam.h"

#include <atomic>

namespace qv::memory_seam {
namespace {
constexpr size_t kUnset = ~size_t{0};
std::atomic<size_t> g_available{kUnset};
}  // namespace

void SetAvailable(size_t bytes) { g_available = bytes == kUnset ? kUnset - 1 : bytes; }
void Reset() { g_available = kUnset; }

std::optional<size_t> Available() {
  const size_t v = g_available;
  if (v == kUnset) return std::nullopt;
  return v;
}

}  // namespace qv::memory_seam
