// Scratch folders of a test run. They live below $TMPDIR (the runner points it
// at a folder of its own and removes that at the end), else below /tmp.
#pragma once

#include <stdlib.h>

#include <string>

namespace qv::test {

// A fresh folder "<tmp>/<prefix>-XXXXXX" (mode 0700), or "" when none can be made.
inline std::string MakeTempFolder(const std::string& prefix) {
  const char* base = ::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
  return ::mkdtemp(templ.data()) ? templ : std::string();
}

}  // namespace qv::test
