// Reading a host file through its descriptor. Internal to the platform library.
#pragma once

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <string>

namespace qv::kernel {

// Appends what `fd` holds from its position to its end, `limit` bytes at
// most; false on a read error (what was read before it stays in `out`).
inline bool ReadToEnd(int fd, std::string* out, size_t limit = std::string::npos) {
  char buffer[65536];
  size_t taken = 0;
  while (taken < limit) {
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - taken));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    out->append(buffer, static_cast<size_t>(n));
    taken += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace qv::kernel
