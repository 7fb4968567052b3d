// The counting allocator.
#include "engine/feeds/src/mfd_common.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Blocks a thread frees wait, by size, for that thread's next allocations: a
// parse builds its document of thousands of small texts and records, and
// the document freed before feeds the next parse without a trip through
// malloc for each. Each block carries a header naming its size class (0 for
// a block too large to keep); a thread keeps at most kCacheLimit bytes.
constexpr size_t kClassBytes = 16;
constexpr size_t kClasses = 17;  // classes 1 to 16: up to 256 bytes
constexpr size_t kHeader = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;
constexpr size_t kCacheLimit = size_t{2} << 20;

// Kept blocks are closed to the address sanitizer, so that a use after free
// is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define MFD_WITH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MFD_WITH_ASAN 1
#endif
#endif
#if defined(MFD_WITH_ASAN)
extern "C" void __asan_poison_memory_region(void const volatile* address, size_t size);
extern "C" void __asan_unpoison_memory_region(void const volatile* address, size_t size);
void Close(void* block, size_t size) { __asan_poison_memory_region(block, size); }
void Open(void* block, size_t size) { __asan_unpoison_memory_region(block, size); }
#else
void Close(void*, size_t) {}
void Open(void*, size_t) {}
#endif

struct KeptBlock {
  KeptBlock* next;
};

struct BlockCache {
  KeptBlock* heads[kClasses] = {};
  size_t bytes = 0;
  ~BlockCache();
};

// Set once the thread's cache is gone (at thread exit): blocks freed later go
// straight back to the C library.
thread_local bool tCacheGone = false;
thread_local BlockCache tCache;

BlockCache::~BlockCache() {
  tCacheGone = true;
  for (size_t c = 1; c < kClasses; ++c) {
    while (KeptBlock* b = heads[c]) {
      Open(b, kHeader + c * kClassBytes);
      heads[c] = b->next;
      std::free(b);
    }
  }
}

void* Allocate(size_t size, bool zero) {
  if (size == 0) size = 1;
  const bool keepable = size <= (kClasses - 1) * kClassBytes;
  if (!keepable && size > SIZE_MAX - kHeader) return nullptr;
  const size_t cls = keepable ? (size + kClassBytes - 1) / kClassBytes : 0;
  const size_t bytes = kHeader + (keepable ? cls * kClassBytes : size);
  void* block = nullptr;
  if (keepable && !tCacheGone) {
    BlockCache& cache = tCache;
    if (KeptBlock* b = cache.heads[cls]) {
      Open(b, bytes);
      cache.heads[cls] = b->next;
      cache.bytes -= bytes;
      // The kept blocks have long left the processor's cache: fetching the
      // next one now spares the next allocation the wait.
      if (b->next != nullptr) __builtin_prefetch(b->next, 1);
      block = b;
    }
  }
  if (block == nullptr) block = std::malloc(bytes);
  if (block == nullptr) return nullptr;
  auto* header = static_cast<unsigned char*>(block);
  *reinterpret_cast<size_t*>(header) = cls;
  if (zero) std::memset(header + kHeader, 0, size);
  // Only the class and the bytes asked for stay open to the sanitizer.
  Close(header + sizeof(size_t), kHeader - sizeof(size_t));
  Close(header + kHeader + size, bytes - kHeader - size);
  return header + kHeader;
}

void Release(void* pointer) {
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  // A block freed twice is closed by now: the sanitizer stops here.
  const size_t cls = *reinterpret_cast<const size_t*>(block);
  if (cls != 0 && !tCacheGone) {
    BlockCache& cache = tCache;
    const size_t bytes = kHeader + cls * kClassBytes;
    if (cache.bytes + bytes <= kCacheLimit) {
      auto* kept = reinterpret_cast<KeptBlock*>(block);
      kept->next = cache.heads[cls];
      cache.heads[cls] = kept;
      cache.bytes += bytes;
      Close(block, bytes);
      return;
    }
  }
  std::free(block);
}

// The traced calls, kept out of the way of the untraced ones, which are the
// parser's own and come in their thousands per document.
[[gnu::noinline, gnu::cold]] void TracedMalloc(void* p, size_t size, const char* source, long line) {
  std::fprintf(stderr, "%s:%ld: malloc() allocated: at 0x%p (0x%lx bytes) [m:%ld, f:%ld]\n", source, line, p,
               static_cast<unsigned long>(size), gMallocs.load(), gFrees.load());
}

[[gnu::noinline, gnu::cold]] void TracedFree(void* pointer, const char* source, long line) {
  // The trace names the address, so it is written down before the block goes.
  char address[32] = "";
  std::snprintf(address, sizeof address, "%p", pointer);
  const bool absent = pointer == nullptr;
  if (!absent) {
    Release(pointer);
    ++gFrees;
  }
  std::fprintf(stderr, "%s:%ld: free(): at 0x%s [m:%ld, f:%ld]", source, line, address, gMallocs.load(),
               gFrees.load());
  if (absent) std::fprintf(stderr, " *** invalid address; counter not decreased");
  std::fprintf(stderr, "\n");
}

}  // namespace

namespace {

void* Counted(size_t size, bool zero, const char* source, long line, int trace) {
  void* p = InjectedFailure() ? nullptr : Allocate(size, zero);
  if (p != nullptr) ++gMallocs;
  else ++tFailures;
  if (trace) TracedMalloc(p, size, source, line);
  return p;
}

}  // namespace

void* MFD_Malloc(size_t size, const char* source, long line, int trace) {
  return Counted(size, true, source, line, trace);
}

void* MFD_MallocUnfilled(size_t size, const char* source, long line) { return Counted(size, false, source, line, 0); }

void MFD_Free(void* pointer, const char* source, long line, int trace) {
  if (trace) {
    TracedFree(pointer, source, line);
    return;
  }
  if (pointer == nullptr) return;
  Release(pointer);
  ++gFrees;
}

long MFD_AllocationFailures() { return tFailures; }
long MFD_MallocCount() { return gMallocs.load(); }
long MFD_FreeCount() { return gFrees.load(); }
void MFD_FailAllocationAfter(long successes) { gFailAfter = successes; }
