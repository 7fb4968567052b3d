// Debug print: wide, Windows-style format; goes to the file named by
// $QVMAIL_DEBUG (appended, UTF-8), else nowhere.
#pragma once

#include "platform/base/WinTypes.h"

extern "C" QV_PLATFORM_API void NKDbgPrintfW(LPCWSTR format, ...);
extern "C" QV_PLATFORM_API void OutputDebugStringW(LPCWSTR text);
