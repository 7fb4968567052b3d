#include "platform/kernel/Time.h"

#include <algorithm>

#include "platform/kernel/FileObject.h"
#include "platform/kernel/PosixError.h"
#include "platform/kernel/ClockSeam.h"

namespace {

using qv::kernel::FromFileTime;
using qv::kernel::ToFileTime;

constexpr ULONGLONG kTicksPerMs = 10000ULL;
constexpr ULONGLONG kTicksPerDay = 86400ULL * 1000ULL * kTicksPerMs;
// FILETIME values at or above this are refused, as on the device.
constexpr ULONGLONG kMaxFileTime = 0x8000000000000000ULL;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 1601-01-01 (proleptic Gregorian), and back.
int64_t DaysFrom1601(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = y / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // 584694 days from 0000-03-01 to 1601-01-01.
  return era * 146097 + doe - 584694;
}

void CivilFromDays(int64_t days, int* y, int* m, int* d) {
  const int64_t z = days + 584694;
  const int64_t era = z / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

LONGLONG BiasTicks() { return static_cast<LONGLONG>(qv::clock_seam::Bias()) * 60 * 1000 * 10000; }

}  // namespace

extern "C" {

BOOL SystemTimeToFileTime(const SYSTEMTIME* in, LPFILETIME out) {
  if (!in || !out) return qv::kernel::Fail(ERROR_INVALID_PARAMETER);
  const SYSTEMTIME& t = *in;
  if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
      t.wDay > DaysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59 ||
      t.wMilliseconds > 999) {
    return qv::kernel::Fail(ERROR_INVALID_PARAMETER);
  }
  const ULONGLONG days = static_cast<ULONGLONG>(DaysFrom1601(t.wYear, t.wMonth, t.wDay));
  const ULONGLONG ms = ((t.wHour * 60ULL + t.wMinute) * 60ULL + t.wSecond) * 1000ULL + t.wMilliseconds;
  *out = ToFileTime(days * kTicksPerDay + ms * kTicksPerMs);
  return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* in, LPSYSTEMTIME out) {
  if (!in || !out) return qv::kernel::Fail(ERROR_INVALID_PARAMETER);
  const ULONGLONG v = FromFileTime(*in);
  if (v >= kMaxFileTime) return qv::kernel::Fail(ERROR_INVALID_PARAMETER);
  const int64_t days = static_cast<int64_t>(v / kTicksPerDay);
  ULONGLONG ms = (v % kTicksPerDay) / kTicksPerMs;
  int y, m, d;
  CivilFromDays(days, &y, &m, &d);
  out->wYear = static_cast<WORD>(y);
  out->wMonth = static_cast<WORD>(m);
  out->wDay = static_cast<WORD>(d);
  out->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  out->wMilliseconds = static_cast<WORD>(ms % 1000);
  ms /= 1000;
  out->wSecond = static_cast<WORD>(ms % 60);
  ms /= 60;
  out->wMinute = static_cast<WORD>(ms % 60);
  out->wHour = static_cast<WORD>(ms / 60);
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* in, LPFILETIME out) {
  if (!in || !out) return qv::kernel::Fail(ERROR_INVALID_PARAMETER);
  *out = ToFileTime(static_cast<ULONGLONG>(static_cast<LONGLONG>(FromFileTime(*in)) - BiasTicks()));
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* in, LPFILETIME out) {
  if (!in || !out) return qv::kernel::Fail(ERROR_INVALID_PARAMETER);
  *out = ToFileTime(static_cast<ULONGLONG>(static_cast<LONGLONG>(FromFileTime(*in)) + BiasTicks()));
  return TRUE;
}

void GetSystemTimeAsFileTime(LPFILETIME out) { *out = ToFileTime(qv::clock_seam::NowFileTime()); }

void GetSystemTime(LPSYSTEMTIME out) {
  const FILETIME now = ToFileTime(qv::clock_seam::NowFileTime());
  FileTimeToSystemTime(&now, out);
}

void GetLocalTime(LPSYSTEMTIME out) {
  const FILETIME now = ToFileTime(qv::clock_seam::NowFileTime());
  FILETIME local{};
  FileTimeToLocalFileTime(&now, &local);
  FileTimeToSystemTime(&local, out);
}

DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* out) {
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  *out = TIME_ZONE_INFORMATION{};
  out->Bias = qv::clock_seam::Bias();
  if (out->Bias == -540) {
    static const wchar_t kName[] = L"Tokyo Standard Time";
    std::copy(std::begin(kName), std::end(kName), out->StandardName);
    std::copy(std::begin(kName), std::end(kName), out->DaylightName);
  }
  return TIME_ZONE_ID_UNKNOWN;  // no daylight saving
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
  const ULONGLONG x = FromFileTime(*a), y = FromFileTime(*b);
  return x < y ? -1 : x > y ? 1 : 0;
}

}  // extern "C"
