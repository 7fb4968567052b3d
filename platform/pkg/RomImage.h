// The device's ROM as the kernel maps it: reading it needs kernel mode, which
// a thread switches on for the copy only. The image is kept in the kernel's
// own folder below the device root, one file per region, so that a device
// and a test can each be given the ROM they need.
#pragma once

#include <string>

#include "platform/base/WinTypes.h"

#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

extern "C" {

// Switches the calling thread's kernel mode; returns the previous mode.
QV_PLATFORM_API BOOL SetKMode(BOOL kernelMode);

}  // extern "C"

namespace qv::pkg {

// Copies `size` bytes from the kernel address. Fails with ERROR_ACCESS_DENIED
// outside kernel mode and ERROR_NOACCESS where no ROM region lies.
QV_PLATFORM_API bool ReadKernelMemory(DWORD address, void* out, DWORD size);
// Lays a ROM region at `address` (the image a device is built with).
QV_PLATFORM_API bool WriteRomRegion(DWORD address, const std::string& bytes);
// Removes every region.
QV_PLATFORM_API void EraseRom();

}  // namespace qv::pkg
