// The framework's point in time: seconds since 1970-01-01 00:00 UTC, read
// and formatted in the device's local time (the platform's time zone).
#pragma once

#include <cstdint>

#include "platform/framework/CString.h"
#include "platform/kernel/Time.h"

class CTime {
 public:
  CTime() = default;
  explicit CTime(int64_t seconds) : time_(seconds) {}
  // A local date and time; fields out of range give the time 0.
  CTime(int year, int month, int day, int hour, int minute, int second);
  explicit CTime(const SYSTEMTIME& local);
  explicit CTime(const FILETIME& utc);

  static CTime GetCurrentTime();

  int64_t GetTime() const { return time_; }
  int GetYear() const { return Local().wYear; }
  int GetMonth() const { return Local().wMonth; }
  int GetDay() const { return Local().wDay; }
  int GetHour() const { return Local().wHour; }
  int GetMinute() const { return Local().wMinute; }
  int GetSecond() const { return Local().wSecond; }
  // 1 Sunday to 7 Saturday.
  int GetDayOfWeek() const { return Local().wDayOfWeek + 1; }
  bool GetAsSystemTime(SYSTEMTIME& out) const;

  // strftime's conversions in local time: %a %A %b %B %c %d %H %I %j %m %M
  // %p %S %U %w %W %x %X %y %Y %z %Z %%, with "#" (no leading zeros) as the
  // framework takes it. An unknown conversion is copied as it stands.
  CString Format(const wchar_t* format) const;
  CString FormatGmt(const wchar_t* format) const;

  bool operator==(const CTime& o) const { return time_ == o.time_; }
  bool operator<(const CTime& o) const { return time_ < o.time_; }

 private:
  SYSTEMTIME Local() const;
  SYSTEMTIME Utc() const;
  static CString FormatFields(const SYSTEMTIME& t, const wchar_t* format, int biasMinutes);

  int64_t time_ = 0;
};
