// Time of day. The device keeps local time on JST (bias -540 minutes) unless a
// test sets another zone; tests may also fix or shift the clock
// (platform/testing/Seams.h).
#pragma once

#include "platform/base/WinTypes.h"

#define TIME_ZONE_ID_UNKNOWN 0
#define TIME_ZONE_ID_STANDARD 1
#define TIME_ZONE_ID_DAYLIGHT 2
#define TIME_ZONE_ID_INVALID 0xFFFFFFFFu

struct TIME_ZONE_INFORMATION {
  LONG Bias;  // minutes, UTC = local + Bias
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};

extern "C" {

QV_PLATFORM_API void GetSystemTime(LPSYSTEMTIME out);
QV_PLATFORM_API void GetLocalTime(LPSYSTEMTIME out);
QV_PLATFORM_API DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* out);
QV_PLATFORM_API BOOL SystemTimeToFileTime(const SYSTEMTIME* in, LPFILETIME out);
QV_PLATFORM_API BOOL FileTimeToSystemTime(const FILETIME* in, LPSYSTEMTIME out);
QV_PLATFORM_API BOOL FileTimeToLocalFileTime(const FILETIME* in, LPFILETIME out);
QV_PLATFORM_API BOOL LocalFileTimeToFileTime(const FILETIME* in, LPFILETIME out);
QV_PLATFORM_API void GetSystemTimeAsFileTime(LPFILETIME out);
QV_PLATFORM_API LONG CompareFileTime(const FILETIME* a, const FILETIME* b);

}  // extern "C"
