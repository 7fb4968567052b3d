// Memory status of the device (a test may set the free amount).
#pragma once

#include "platform/base/WinTypes.h"

struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  size_t dwTotalPhys;
  size_t dwAvailPhys;
  size_t dwTotalPageFile;
  size_t dwAvailPageFile;
  size_t dwTotalVirtual;
  size_t dwAvailVirtual;
};

extern "C" QV_PLATFORM_API void GlobalMemoryStatus(MEMORYSTATUS* out);
