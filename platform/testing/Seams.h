// Hooks for tests. Every seam has a production default and costs nothing
// while unset; Reset() puts every seam back.
#pragma once

#include <functional>
#include <string>

#include "platform/base/WinTypes.h"

namespace qv::testing {

QV_PLATFORM_API void ResetSeams();

// Free space reported by GetDiskFreeSpaceExW for every path (all volumes).
QV_PLATFORM_API void SetFreeSpace(ULONGLONG bytes);
QV_PLATFORM_API void ClearFreeSpace();

// Injected file faults for one device path (compared without regard to case):
// ERROR_SHARING_VIOLATION makes opens, moves and deletes of that path fail
// with 32; ERROR_DISK_FULL makes creating or writing it fail with 112.
// `times` is the number of calls that fail (-1: until cleared).
QV_PLATFORM_API void InjectFileFault(const std::wstring& devicePath, DWORD error, int times = -1);
QV_PLATFORM_API void ClearFileFaults();
// Number of calls on that path the fault has failed so far.
QV_PLATFORM_API int FileFaultHits(const std::wstring& devicePath);

// Clock: fix UTC at a moment (the clock then stands still unless advanced),
// or shift the real clock. GetTickCount follows the advance.
QV_PLATFORM_API void SetClock(const SYSTEMTIME& utc);
QV_PLATFORM_API void AdvanceClock(LONGLONG milliseconds);
QV_PLATFORM_API void ClearClock();
// Time-zone bias in minutes (UTC = local + bias); the default is JST, -540.
QV_PLATFORM_API void SetTimeZoneBias(LONG minutes);

// Free physical memory reported by GlobalMemoryStatus.
QV_PLATFORM_API void SetAvailableMemory(size_t bytes);

// Answer of a Yes/No question box shown with no one to see it (IDYES, IDNO...).
// The headless default is IDNO. A callback, when set, is asked instead and
// receives the text and caption.
QV_PLATFORM_API void SetQuestionAnswer(int answer);
QV_PLATFORM_API void SetQuestionHandler(std::function<int(const std::wstring& text, const std::wstring& caption)> h);
QV_PLATFORM_API int QuestionCount();

}  // namespace qv::testing
