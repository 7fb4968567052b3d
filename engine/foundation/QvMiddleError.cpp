#include "engine/public/foundation/QvMiddleError.h"

#include <atomic>

namespace {
// One word for the whole process, as callers expect: a code set on one thread
// is visible to a reader on another. Relaxed atomics only keep the plain
// overwrite semantics free of data races.
std::atomic<uint32_t> g_qvMiddleError{0};
}  // namespace

uint32_t GetQvMiddleError() { return g_qvMiddleError.load(std::memory_order_relaxed); }

void SetQvMiddleError(uint32_t code) { g_qvMiddleError.store(code, std::memory_order_relaxed); }
