// The date and place scanner over any text, read both as Shift_JIS mail text
// and as raw UTF-16 units: every date it keeps must exist, every time be of
// the day, the place must be text of the input, and regrouping keeps every
// line.
#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/public/content/CharsetText.h"
#include "engine/content/DateTimeScanner.h"
#include "engine/content/MailDate.h"

using namespace content;

namespace {

bool DayExists(int y, int m, int d) {
  if (m < 1 || m > 12 || d < 1) return false;
  long first = JulianDay(y, m, 1);
  long next = JulianDay(m == 12 ? y + 1 : y, m == 12 ? 1 : m + 1, 1);
  return d <= next - first;
}

void Check(const std::wstring& text) {
  DateTimeScanner s;
  s.Scan(text);
  for (const DateTimeItem& i : s.Items()) {
    if (!DayExists(i.year, i.month, i.day) || i.hour < 0 || i.hour > 23 || i.minute < 0 || i.minute > 59)
      __builtin_trap();
  }
  if (s.startFound && (!DayExists(s.start.wYear, s.start.wMonth, s.start.wDay) || s.start.wHour > 23 ||
                       s.start.wMinute > 59))
    __builtin_trap();
  if (s.endFound && (!s.startFound || !DayExists(s.endYear, s.endMonth, s.endDay) || s.endHour > 23 ||
                     s.endMinute > 59))
    __builtin_trap();
  if (!s.place.empty() && text.find(s.place) == std::wstring::npos) __builtin_trap();

  std::wstring grouped;
  s.GroupLines(grouped, text);
  if (grouped.size() > text.size() + 1) __builtin_trap();
  size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), L'\n'));
  if (!text.empty() && text.back() != L'\n') ++lines;
  if (static_cast<size_t>(std::count(grouped.begin(), grouped.end(), L'\n')) != lines) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::wstring wide;
  if (MultiByteToWString(bytes, wide) >= 0) Check(wide);
  std::wstring units;
  for (size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  Check(units);
  return 0;
}
