// The file system's test seams: the free space reported for every volume and
// faults injected for one device path. Cheap while unset.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

namespace qv::file_seam {

// Free space reported by GetDiskFreeSpaceExW for every path.
QV_PLATFORM_API void SetFreeSpace(ULONGLONG bytes);
QV_PLATFORM_API void ClearFreeSpace();

// ERROR_SHARING_VIOLATION makes opens, moves and deletes of the path fail
// with 32; ERROR_DISK_FULL makes creating or writing it fail with 112;
// ERROR_WRITE_FAULT makes flushing it fail with 29.
// `times` calls fail (-1: until cleared). Paths compare without regard to
// case or the kind of separator.
QV_PLATFORM_API void InjectFault(const std::wstring& devicePath, DWORD error, int times);
QV_PLATFORM_API void ClearFaults();
// Calls on that path the faults have failed so far.
QV_PLATFORM_API int FaultHits(const std::wstring& devicePath);
QV_PLATFORM_API void Reset();

// What the file system reads.
std::optional<ULONGLONG> FreeSpace();
// True when a fault of `error` is armed for the path; the call counts as one
// hit and uses up one of the fault's times.
bool TakeFault(std::wstring_view devicePath, DWORD error);
// The same without using the fault up.
bool HasFault(std::wstring_view devicePath, DWORD error);

}  // namespace qv::file_seam
