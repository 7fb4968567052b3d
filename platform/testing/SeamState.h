// What the platform reads from the test seams. Internal to the platform
// library; each call is cheap while the seam is unset.
#pragma once

#include <optional>
#include <string>

#include "platform/base/WinTypes.h"

namespace qv::testing::detail {

std::optional<ULONGLONG> FreeSpace();
// True when a fault of `error` is armed for the device path; the call counts
// as one hit and uses up one of the fault's times.
bool TakeFileFault(std::wstring_view devicePath, DWORD error);
// True when a fault of `error` is armed for the path, without using it up.
bool HasFileFault(std::wstring_view devicePath, DWORD error);
// UTC now in 100 ns units since 1601, following the clock seam.
ULONGLONG NowFileTime();
// Milliseconds the clock seam has advanced in total.
LONGLONG ClockAdvance();
LONG TimeZoneBias();
std::optional<size_t> AvailableMemory();
// Asks the Yes/No question seam and counts the question.
int AskQuestion(const std::wstring& text, const std::wstring& caption);

}  // namespace qv::testing::detail
