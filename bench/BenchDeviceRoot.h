// A device root of a benchmark program's own, made once for the whole run
// and removed at its end; below $TMPDIR when that is set, so that a run can
// be pointed at another file system.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/kernel/DeviceFs.h"

class BenchDeviceRoot {
 public:
  explicit BenchDeviceRoot(const std::string& name) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/qvbench-" + name + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    qv::SetDeviceRoot(path_);
  }
  ~BenchDeviceRoot() {
    qv::SetDeviceRoot("");
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  BenchDeviceRoot(const BenchDeviceRoot&) = delete;
  BenchDeviceRoot& operator=(const BenchDeviceRoot&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
