// The counting allocator.
#include "engine/feeds/src/mfd_common.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<long> gMallocs{0};
std::atomic<long> gFrees{0};
std::atomic<long> gFailAfter{-1};
thread_local long tFailures = 0;

bool InjectedFailure() {
  long left = gFailAfter.load();
  while (left >= 0) {
    if (gFailAfter.compare_exchange_weak(left, left - 1)) return left == 0;
  }
  return false;
}
}  // namespace

void* MFD_Malloc(size_t size, const char* source, long line, int trace) {
  void* p = InjectedFailure() ? nullptr : std::calloc(1, size == 0 ? 1 : size);
  if (p != nullptr) ++gMallocs;
  else ++tFailures;
  if (trace)
    std::fprintf(stderr, "%s:%ld: malloc() allocated: at 0x%p (0x%lx bytes) [m:%ld, f:%ld]\n", source, line, p,
                 static_cast<unsigned long>(size), gMallocs.load(), gFrees.load());
  return p;
}

void MFD_Free(void* pointer, const char* source, long line, int trace) {
  if (pointer != nullptr) {
    std::free(pointer);
    ++gFrees;
  }
  if (trace) {
    std::fprintf(stderr, "%s:%ld: free(): at 0x%p [m:%ld, f:%ld]", source, line, pointer, gMallocs.load(),
                 gFrees.load());
    if (pointer == nullptr) std::fprintf(stderr, " *** invalid address; counter not decreased");
    std::fprintf(stderr, "\n");
  }
}

long MFD_AllocationFailures() { return tFailures; }
long MFD_MallocCount() { return gMallocs.load(); }
long MFD_FreeCount() { return gFrees.load(); }
void MFD_FailAllocationAfter(long successes) { gFailAfter = successes; }
