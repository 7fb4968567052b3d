// errno to the device's last-error codes. Internal to the platform library.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

namespace qv::kernel {

// The Win32 code for an errno; `hostPath` (when given) tells a missing file
// (2) from a missing folder (3).
DWORD Win32Error(int err, const std::string& hostPath = std::string());
// Sets the last error from errno and returns FALSE.
BOOL FailErrno(const std::string& hostPath = std::string());
// Sets the last error and returns FALSE.
inline BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

}  // namespace qv::kernel
