#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/kernel/Memory.h"
#include "platform/kernel/MemorySeam.h"

namespace {

// A device process sees a 2 GB address space.
constexpr size_t kVirtualSpace = size_t{2} << 30;

// Values of /proc/meminfo in bytes (its unit is kB).
void ReadMeminfo(size_t* total, size_t* avail, size_t* swapTotal, size_t* swapFree) {
  *total = *avail = *swapTotal = *swapFree = 0;
  FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long kb = 0;
    char key[64];
    if (std::sscanf(line, "%63[^:]: %llu", key, &kb) != 2) continue;
    const size_t bytes = static_cast<size_t>(kb) * 1024;
    if (!std::strcmp(key, "MemTotal")) *total = bytes;
    else if (!std::strcmp(key, "MemAvailable")) *avail = bytes;
    else if (!std::strcmp(key, "SwapTotal")) *swapTotal = bytes;
    else if (!std::strcmp(key, "SwapFree")) *swapFree = bytes;
  }
  std::fclose(f);
}

// The engine asks before every decode; a reading a few milliseconds old is
// as good as a fresh one and spares a read of /proc for each small mail.
void CachedMeminfo(size_t* total, size_t* avail, size_t* swapTotal, size_t* swapFree) {
  using Clock = std::chrono::steady_clock;
  static std::mutex lock;
  static Clock::time_point readAt;
  static size_t values[4];
  static bool read = false;
  std::lock_guard<std::mutex> hold(lock);
  const auto now = Clock::now();
  if (!read || now - readAt > std::chrono::milliseconds(50)) {
    ReadMeminfo(&values[0], &values[1], &values[2], &values[3]);
    readAt = now;
    read = true;
  }
  *total = values[0];
  *avail = values[1];
  *swapTotal = values[2];
  *swapFree = values[3];
}

}  // namespace

extern "C" void GlobalMemoryStatus(MEMORYSTATUS* out) {
  if (!out) return;
  size_t total, avail, swapTotal, swapFree;
  CachedMeminfo(&total, &avail, &swapTotal, &swapFree);
  if (auto seam = qv::memory_seam::Available()) {
    avail = *seam;
    if (total < avail) total = avail;
  }
  out->dwLength = sizeof(MEMORYSTATUS);
  out->dwMemoryLoad = total ? static_cast<DWORD>((total - avail) * 100 / total) : 0;
  out->dwTotalPhys = total;
  out->dwAvailPhys = avail;
  out->dwTotalPageFile = swapTotal;
  out->dwAvailPageFile = swapFree;
  out->dwTotalVirtual = kVirtualSpace;
  out->dwAvailVirtual = kVirtualSpace - std::min(kVirtualSpace, total - avail);
}
