// For targets whose reader takes a device file: the input becomes the bytes
// of one file below a scratch device root made once per run.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/kernel/DeviceFs.h"

// Points the device root at a scratch folder below $TMPDIR (the runner's own
// folder, removed after the run), once per process.
inline void UseFuzzDeviceRoot() {
  static const bool rooted = [] {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/qv-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) abort();
    qv::SetDeviceRoot(pattern);
    return true;
  }();
  (void)rooted;
}

inline void WriteFuzzDeviceFile(const wchar_t* devicePath, const uint8_t* data, size_t size) {
  UseFuzzDeviceRoot();
  std::string host;
  if (!qv::DeviceToHostPath(devicePath, &host)) abort();
  FILE* f = fopen(host.c_str(), "wb");
  if (f == nullptr) abort();
  if (size != 0 && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}
