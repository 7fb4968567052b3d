// Calendar arithmetic for the "Date:" header: names, validity, Julian days,
// adding seconds, the device's zone, and received dates to device local time.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

namespace content {

std::string DayName(int dayOfWeek);
std::string MonthName(int month);
bool DateIsValid(const SYSTEMTIME& date);
long TimeToMs(int hour, int minute, int second, int ms);
void MsToTime(long ms, SYSTEMTIME* out);
long JulianDay(int year, int month, int day);
void JulianDayToDate(long n, int* year, int* month, int* day);
long DaysBetween(const SYSTEMTIME& a, const SYSTEMTIME& b);
SYSTEMTIME AddSeconds(const SYSTEMTIME& date, long seconds);
// Writes the device zone as sign, hours and minutes (five characters, no
// terminator). 0 when the platform has no zone.
int GetTimeZoneText(char out[5]);
SYSTEMTIME DateToLocal(const SYSTEMTIME& date, std::string_view zone);
SYSTEMTIME DateToLocal(const SYSTEMTIME& date, std::wstring_view zone);
// Drops the blanks inside the time that follows `pos` ("12 : 34" gives "12:34").
void CompactTimeText(std::string& text, size_t pos);

}  // namespace content
