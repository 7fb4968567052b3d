#include "platform/framework/CTime.h"

#include <string>

#include "platform/base/WinFormat.h"

namespace {

// 100-nanosecond units between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDelta = 116444736000000000LL;
constexpr int64_t kUnitsPerSecond = 10000000LL;

FILETIME ToFileTime(int64_t seconds) {
  const uint64_t units = static_cast<uint64_t>(seconds * kUnitsPerSecond + kEpochDelta);
  return FILETIME{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
}

int64_t FromFileTime(const FILETIME& ft) {
  const int64_t units = static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return (units - kEpochDelta) / kUnitsPerSecond;
}

const wchar_t* const kDays[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonths[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                  L"July",    L"August",   L"September", L"October", L"November", L"December"};

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DayOfYear(const SYSTEMTIME& t) {
  static const int kBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int m = t.wMonth >= 1 && t.wMonth <= 12 ? t.wMonth : 1;
  return kBefore[m - 1] + t.wDay + (m > 2 && IsLeap(t.wYear) ? 1 : 0);
}

int LocalBiasMinutes() {
  TIME_ZONE_INFORMATION tz{};
  GetTimeZoneInformation(&tz);
  return static_cast<int>(tz.Bias);
}

}  // namespace

CTime::CTime(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  *this = CTime(t);
}

CTime::CTime(const SYSTEMTIME& local) {
  FILETIME lft{}, ft{};
  if (SystemTimeToFileTime(&local, &lft) && LocalFileTimeToFileTime(&lft, &ft)) time_ = FromFileTime(ft);
}

CTime::CTime(const FILETIME& utc) : time_(FromFileTime(utc)) {}

CTime CTime::GetCurrentTime() {
  FILETIME ft{};
  GetSystemTimeAsFileTime(&ft);
  return CTime(ft);
}

SYSTEMTIME CTime::Utc() const {
  const FILETIME ft = ToFileTime(time_);
  SYSTEMTIME t{};
  FileTimeToSystemTime(&ft, &t);
  return t;
}

SYSTEMTIME CTime::Local() const {
  const FILETIME ft = ToFileTime(time_);
  FILETIME lft{};
  SYSTEMTIME t{};
  FileTimeToLocalFileTime(&ft, &lft);
  FileTimeToSystemTime(&lft, &t);
  return t;
}

bool CTime::GetAsSystemTime(SYSTEMTIME& out) const {
  out = Local();
  return out.wYear != 0;
}

CString CTime::Format(const wchar_t* format) const { return FormatFields(Local(), format, LocalBiasMinutes()); }

CString CTime::FormatGmt(const wchar_t* format) const { return FormatFields(Utc(), format, 0); }

CString CTime::FormatFields(const SYSTEMTIME& t, const wchar_t* format, int bias) {
  std::wstring out;
  if (!format) return CString();
  auto number = [&out](int value, int width, bool pad) {
    out += pad ? qv::FormatW(L"%0*d", width, value) : qv::FormatW(L"%d", value);
  };
  for (const wchar_t* p = format; *p; ++p) {
    if (*p != L'%' || !p[1]) {
      out.push_back(*p);
      continue;
    }
    const wchar_t* start = p;
    ++p;
    bool pad = true;
    if (*p == L'#' && p[1]) {
      pad = false;
      ++p;
    }
    const int hour12 = t.wHour % 12 == 0 ? 12 : t.wHour % 12;
    const int yday = DayOfYear(t);
    switch (*p) {
      case L'a': out += std::wstring(kDays[t.wDayOfWeek % 7], 3); break;
      case L'A': out += kDays[t.wDayOfWeek % 7]; break;
      case L'b': out += std::wstring(kMonths[(t.wMonth + 11) % 12], 3); break;
      case L'B': out += kMonths[(t.wMonth + 11) % 12]; break;
      case L'c': out += FormatFields(t, L"%m/%d/%y %H:%M:%S", bias).GetString(); break;
      case L'x': out += FormatFields(t, L"%m/%d/%y", bias).GetString(); break;
      case L'X': out += FormatFields(t, L"%H:%M:%S", bias).GetString(); break;
      case L'd': number(t.wDay, 2, pad); break;
      case L'H': number(t.wHour, 2, pad); break;
      case L'I': number(hour12, 2, pad); break;
      case L'j': number(yday, 3, pad); break;
      case L'm': number(t.wMonth, 2, pad); break;
      case L'M': number(t.wMinute, 2, pad); break;
      case L'p': out += t.wHour < 12 ? L"AM" : L"PM"; break;
      case L'S': number(t.wSecond, 2, pad); break;
      case L'U': number((yday + 6 - t.wDayOfWeek) / 7, 2, pad); break;
      case L'W': number((yday + 6 - (t.wDayOfWeek + 6) % 7) / 7, 2, pad); break;
      case L'w': number(t.wDayOfWeek, 1, pad); break;
      case L'y': number(t.wYear % 100, 2, pad); break;
      case L'Y': number(t.wYear, 4, pad); break;
      case L'z':
      case L'Z': {
        // The bias is minutes to add to local time for UTC.
        const int east = -bias;
        const int magnitude = east < 0 ? -east : east;
        out.push_back(east < 0 ? L'-' : L'+');
        out += qv::FormatW(L"%02d%02d", magnitude / 60, magnitude % 60);
        break;
      }
      case L'%': out.push_back(L'%'); break;
      default: out.append(start, p + 1); break;
    }
  }
  return CString(out.c_str());
}
