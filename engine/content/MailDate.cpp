#include "engine/content/MailDate.h"

#include <cstdlib>

#include "platform/kernel/Time.h"

namespace content {
namespace {

constexpr long kMsPerDay = 86400000L;
constexpr long kSecondsPerDay = 86400L;

long MinutesOfDay(const SYSTEMTIME& t) { return t.wHour * 60L + t.wMinute; }

// The decimal number the leading digits of `pair` give; 0 without a digit.
int LeadingNumber(std::string_view pair) {
  int value = 0;
  for (char c : pair) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

long ZoneLetterMinutes(char c) {
  switch (c) {
    case 'A': return -60;
    case 'M': return -720;
    case 'N': return 60;
    case 'Y': return 720;
    default: return 0;  // "Z" and anything unknown
  }
}

}  // namespace

std::string DayName(int dayOfWeek) {
  static const char* const kNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  return (dayOfWeek >= 0 && dayOfWeek <= 6) ? kNames[dayOfWeek] : "";
}

std::string MonthName(int month) {
  static const char* const kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return (month >= 1 && month <= 12) ? kNames[month - 1] : "";
}

bool DateIsValid(const SYSTEMTIME& d) {
  // A second of 60 is a leap second; an hour of 24 or a minute of 60 is no time.
  return d.wYear >= 1900 && d.wYear <= 2100 && d.wMonth >= 1 && d.wMonth <= 12 && d.wDay >= 1 && d.wDay <= 31 &&
         d.wHour <= 23 && d.wMinute <= 59 && d.wSecond <= 60;
}

long TimeToMs(int hour, int minute, int second, int ms) {
  return ((hour * 60L + minute) * 60L + second) * 1000L + ms;
}

void MsToTime(long ms, SYSTEMTIME* out) {
  out->wHour = static_cast<WORD>(ms / 3600000L);
  out->wMinute = static_cast<WORD>(ms % 3600000L / 60000L);
  out->wSecond = static_cast<WORD>(ms / 1000L % 60L);
  out->wMilliseconds = static_cast<WORD>(ms % 1000L);
}

long JulianDay(int year, int month, int day) {
  long y = year <= 99 ? year + 1900 : year;
  long m = month;
  if (m <= 2) {
    y -= 1;
    m += 9;
  } else {
    m -= 3;
  }
  return (153 * m + 2) / 5 + (y % 100) * 1461 / 4 + (y / 100) * 146097 / 4 + day + 1721119;
}

void JulianDayToDate(long n, int* year, int* month, int* day) {
  long j = 4 * (n - 1721119) - 1;
  long century = j / 146097;
  long d = (j - 146097 * century) & ~3L;
  long y = (d + 3) / 1461;
  long e = 5 * ((d - 1461 * y + 7) / 4);
  long m = (e - 3) / 153;
  *day = static_cast<int>((e - 153 * m + 2) / 5);
  long yr = 100 * century + y;
  if (m < 10) {
    *month = static_cast<int>(m + 3);
  } else {
    *month = static_cast<int>(m - 9);
    ++yr;
  }
  *year = static_cast<int>(yr);
}

long DaysBetween(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return JulianDay(a.wYear, a.wMonth, a.wDay) - JulianDay(b.wYear, b.wMonth, b.wDay);
}

SYSTEMTIME AddSeconds(const SYSTEMTIME& date, long s) {
  long oldN = JulianDay(date.wYear, date.wMonth, date.wDay);
  long n = oldN;
  if (std::labs(s) >= kSecondsPerDay) {
    n += s / kSecondsPerDay;
    s %= kSecondsPerDay;
  }
  long long t = TimeToMs(date.wHour, date.wMinute, date.wSecond, date.wMilliseconds) + s * 1000LL;
  if (t < 0) {
    long long days = (kMsPerDay - 1 - t) / kMsPerDay;
    n -= static_cast<long>(days);
    t += days * kMsPerDay;
  } else if (t >= kMsPerDay) {
    n += static_cast<long>(t / kMsPerDay);
    t %= kMsPerDay;
  }
  SYSTEMTIME out{};
  int y, m, d;
  JulianDayToDate(n, &y, &m, &d);
  out.wYear = static_cast<WORD>(y);
  out.wMonth = static_cast<WORD>(m);
  out.wDay = static_cast<WORD>(d);
  MsToTime(static_cast<long>(t), &out);
  long dow = (date.wDayOfWeek + (n - oldN)) % 7;
  out.wDayOfWeek = static_cast<WORD>(dow < 0 ? dow + 7 : dow);
  return out;
}

int GetTimeZoneText(char out[5]) {
  TIME_ZONE_INFORMATION tz{};
  if (GetTimeZoneInformation(&tz) == TIME_ZONE_ID_INVALID) return 0;
  long bias = tz.Bias;
  long a = std::labs(bias);
  out[0] = bias < 0 ? '+' : '-';
  out[1] = static_cast<char>('0' + a / 60 / 10 % 10);
  out[2] = static_cast<char>('0' + a / 60 % 10);
  out[3] = static_cast<char>('0' + a % 60 / 10);
  out[4] = static_cast<char>('0' + a % 60 % 10);
  return 1;
}

SYSTEMTIME DateToLocal(const SYSTEMTIME& date, std::string_view zone) {
  long shift;
  if (zone.size() == 1) {
    shift = ZoneLetterMinutes(zone[0]);
  } else {
    // Both from one reading of the clock, so a minute cannot turn between them.
    FILETIME utcTicks{}, localTicks{};
    GetSystemTimeAsFileTime(&utcTicks);
    SYSTEMTIME local{}, utc{};
    if (!FileTimeToLocalFileTime(&utcTicks, &localTicks) || !FileTimeToSystemTime(&utcTicks, &utc) ||
        !FileTimeToSystemTime(&localTicks, &local)) {
      GetLocalTime(&local);
      GetSystemTime(&utc);
    }
    long device = DaysBetween(local, utc) * 1440 + MinutesOfDay(local) - MinutesOfDay(utc);
    auto part = [&](size_t at) { return at < zone.size() ? zone.substr(at, 2) : std::string_view(); };
    long minutes = LeadingNumber(part(1)) * 60L + LeadingNumber(part(3));
    if (!zone.empty() && zone[0] == '-') minutes = -minutes;
    shift = device - minutes;
  }
  return AddSeconds(date, shift * 60);
}

SYSTEMTIME DateToLocal(const SYSTEMTIME& date, std::wstring_view zone) {
  std::string narrow;
  for (wchar_t c : zone) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return DateToLocal(date, narrow);
}

void CompactTimeText(std::string& text, size_t pos) {
  if (text.empty() || text.size() <= pos) return;
  std::string out = text.substr(0, pos + 1);
  int colons = 0;
  size_t i = pos + 1;
  while (i < text.size()) {
    char c = text[i];
    if (colons == 2) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') out.push_back(text[i++]);
      break;
    }
    if ((c >= '0' && c <= '9') || c == ':') {
      if (c == ':') ++colons;
      out.push_back(c);
      ++i;
    } else if (c == ' ' || c == '\t') {
      ++i;
    } else {
      out.push_back(' ');
      break;
    }
  }
  out.append(text, i, std::string::npos);
  text.swap(out);
}

}  // namespace content
