#include "engine/content/DateTimeScanner.h"

#include <initializer_list>

#include "engine/content/MailDate.h"
#include "platform/kernel/Time.h"

namespace content {
namespace {

constexpr std::wstring_view kPlaceEnd = L"\r\n:：;；";
constexpr std::wstring_view kPlaceLead = L":：;；】]";
constexpr std::wstring_view kParticles = L"をはがでの";
constexpr std::wstring_view kQuoteMarks = L">＞|｜";

// Calls `fn` with every line of `text`, without its LF or a CR before it.
// Text after the last LF is a line only when it is not empty.
template <typename Fn>
void ForEachLine(std::wstring_view text, Fn fn) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t lf = text.find(L'\n', begin);
    size_t stop = lf == std::wstring_view::npos ? text.size() : lf;
    std::wstring_view line = text.substr(begin, stop - begin);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    fn(line);
    if (lf == std::wstring_view::npos) break;
    begin = lf + 1;
  }
}

size_t SkipLineBlanks(std::wstring_view line, size_t pos) {
  while (pos < line.size() && IsTextBlank(line[pos])) ++pos;
  return pos;
}

int DaysInMonth(int year, int month) {
  return static_cast<int>(JulianDay(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1) -
                          JulianDay(year, month, 1));
}

// The token after a keyword that ends at `k`, or empty when the keyword is
// not followed by a particle or a separator (so "場所柄" names nothing).
std::wstring PlaceAfter(std::wstring_view line, size_t k) {
  if (k >= line.size()) return {};
  bool particle = kParticles.find(line[k]) != std::wstring_view::npos;
  if (!particle && !IsTextBlank(line[k]) && kPlaceLead.find(line[k]) == std::wstring_view::npos) return {};
  size_t p = particle ? k + 1 : k;
  while (p < line.size() && (IsTextBlank(line[p]) || kPlaceLead.find(line[p]) != std::wstring_view::npos)) ++p;
  size_t e = p;
  while (e < line.size() && kPlaceEnd.find(line[e]) == std::wstring_view::npos) ++e;
  while (e > p && IsTextBlank(line[e - 1])) --e;
  return std::wstring(line.substr(p, e - p));
}

std::wstring PlaceAfterKeywords(std::wstring_view line, std::initializer_list<std::wstring_view> keywords) {
  for (size_t i = 0; i < line.size(); ++i) {
    for (std::wstring_view word : keywords) {
      if (!line.substr(i).starts_with(word)) continue;
      std::wstring place = PlaceAfter(line, i + word.size());
      if (!place.empty()) return place;
    }
  }
  return {};
}

}  // namespace

std::wstring FindPlace(std::wstring_view line) {
  std::wstring place = PlaceAfterKeywords(line, {L"場所", L"会場"});
  return place.empty() ? PlaceAfterKeywords(line, {L"於"}) : place;
}

// "送信日時: ...", "> 転送者：...": the word stands before a colon near the
// start of the line. A sentence that only mentions sending is no header.
bool IsForwardHeaderLine(std::wstring_view line) {
  constexpr size_t kHeaderNameLimit = 12;
  size_t p = SkipLineBlanks(line, 0);
  while (p < line.size() && (kQuoteMarks.find(line[p]) != std::wstring_view::npos || IsTextBlank(line[p]))) ++p;
  size_t colon = line.find_first_of(L":：", p);
  if (colon == std::wstring_view::npos || colon - p > kHeaderNameLimit) return false;
  std::wstring_view name = line.substr(p, colon - p);
  return name.find(L"転送") != std::wstring_view::npos || name.find(L"送信") != std::wstring_view::npos;
}

void DateTimeScanner::Scan(std::wstring_view text) {
  GetLocalTime(&now_);
  bool placeFound = false;
  ForEachLine(text, [&](std::wstring_view line) {
    ++lineNumber_;
    if (!placeFound) {
      std::wstring found = FindPlace(line);
      if (!found.empty()) {
        place = std::move(found);
        placeFound = true;
      }
    }
    if (!IsForwardHeaderLine(line)) ScanLine(line);
  });
}

void DateTimeScanner::ScanLine(std::wstring_view line) {
  JapaneseDateReader reader(line);
  lastWasStart_ = false;  // a range does not run across lines
  size_t p = 0;
  while (p < line.size()) {
    if (!reader.CanStart(p)) {
      ++p;
      continue;
    }
    WrittenDateTime w;
    size_t end = p;
    JapaneseDateReader::Result result = reader.Read(p, false, &w, &end);
    if (result == JapaneseDateReader::Result::kNone) {
      p = reader.SkipFailed(p);
      continue;
    }
    p = end > p ? end : p + 1;
    if (result == JapaneseDateReader::Result::kRefused) {
      lastWasStart_ = false;
      continue;
    }
    Take(w, false);
    size_t mark = reader.RangeMarkEnd(p);
    if (mark == std::wstring_view::npos) continue;
    size_t q = reader.SkipBlanks(mark);
    WrittenDateTime tail;
    if (reader.CanStart(q) && reader.Read(q, true, &tail, &end) == JapaneseDateReader::Result::kItem && end > q) {
      Take(tail, true);
      p = end;
    } else {
      p = mark;
    }
  }
}

// Fills in what `w` leaves out and checks that the date exists. A start
// takes the missing parts from the current date; an end from the start,
// moving on a month or a year when it would otherwise lie before it; a later
// item without a date takes the start's.
bool DateTimeScanner::Resolve(const WrittenDateTime& w, Role role, DateTimeItem* out, bool* moved) const {
  bool fromStart = role != Role::kStart && startFound;
  bool endRules = role == Role::kEnd && startFound;
  int y, m, d;
  bool inherited = false;
  if (!w.hasDay) {
    const SYSTEMTIME& base = fromStart ? start : now_;
    y = base.wYear;
    m = base.wMonth;
    d = base.wDay;
    inherited = fromStart;
  } else {
    d = w.day;
    m = w.hasMonth ? w.month : endRules ? start.wMonth : now_.wMonth;
    y = w.hasYear ? w.year : endRules ? start.wYear : now_.wYear;
    if (endRules && !w.hasMonth) {
      if (d < start.wDay) {
        if (++m > 12) {
          m = 1;
          ++y;
        }
      }
    } else if (endRules && !w.hasYear) {
      if (m < start.wMonth || (m == start.wMonth && d < start.wDay)) y = start.wYear + 1;
    }
  }
  // The day must exist: no 31st of a 30-day month, no 29 February outside
  // leap years, no day 0.
  if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;

  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(y);
  t.wMonth = static_cast<WORD>(m);
  t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(w.hasTime ? w.hour : 0);
  t.wMinute = static_cast<WORD>(w.hasTime ? w.minute : 0);
  *moved = false;
  if (t.wHour >= 24) {
    if (inherited && nextDay) {
      t.wHour = static_cast<WORD>(t.wHour - 24);  // the start's date is already the next day
    } else {
      t = AddSeconds(t, 0);
      *moved = true;
    }
  }
  out->year = t.wYear;
  out->month = t.wMonth;
  out->day = t.wDay;
  out->hour = t.wHour;
  out->minute = t.wMinute;
  out->hasDate = w.hasDay;
  out->hasTime = w.hasTime;
  return true;
}

void DateTimeScanner::SetStart(const WrittenDateTime& w) {
  DateTimeItem item;
  bool moved;
  if (!Resolve(w, Role::kStart, &item, &moved)) return;
  start = SYSTEMTIME{};
  start.wYear = static_cast<WORD>(item.year);
  start.wMonth = static_cast<WORD>(item.month);
  start.wDay = static_cast<WORD>(item.day);
  start.wHour = static_cast<WORD>(item.hour);
  start.wMinute = static_cast<WORD>(item.minute);
  start.wDayOfWeek = static_cast<WORD>((JulianDay(item.year, item.month, item.day) + 1) % 7);
  startFound = true;
  startHasTime = w.hasTime;
  nextDay = moved;
  startWritten_ = w;
  startLine_ = lineNumber_;
}

void DateTimeScanner::Take(const WrittenDateTime& w, bool afterRangeMark) {
  DateTimeItem item;
  bool moved;
  if (!startFound) {
    if (!Resolve(w, Role::kStart, &item, &moved)) return;
    items_.push_back(item);
    SetStart(w);
    lastWasStart_ = true;
    return;
  }
  if (afterRangeMark && lastWasStart_ && !endFound) {
    lastWasStart_ = false;
    if (!Resolve(w, Role::kEnd, &item, &moved)) return;
    items_.push_back(item);
    endYear = item.year;
    endMonth = item.month;
    endDay = item.day;
    endHour = item.hour;
    endMinute = item.minute;
    endFound = true;
    endHasTime = w.hasTime;
    return;
  }
  lastWasStart_ = false;
  if (!Resolve(w, Role::kLater, &item, &moved)) return;
  items_.push_back(item);
  // "6月5日 会議 10時～12時": a time later on the start's line is its time.
  if (!endFound && !startHasTime && w.hasTime && !w.hasDay && !afterRangeMark && startLine_ == lineNumber_) {
    WrittenDateTime merged = startWritten_;
    merged.hour = w.hour;
    merged.minute = w.minute;
    merged.hasTime = true;
    SetStart(merged);
    lastWasStart_ = true;
  }
}

void DateTimeScanner::GroupLines(std::wstring& out, std::wstring_view text) const {
  enum { kOwn, kQuoted, kHeader, kKinds };
  std::wstring groups[kKinds];
  int kind = kOwn;
  ForEachLine(text, [&](std::wstring_view line) {
    size_t p = SkipLineBlanks(line, 0);
    if (p < line.size()) {  // a blank line stays with the run it is in
      if (kQuoteMarks.find(line[p]) != std::wstring_view::npos)
        kind = kQuoted;
      else if (IsForwardHeaderLine(line))
        kind = kHeader;
      else
        kind = kOwn;
    }
    groups[kind].append(line);
    groups[kind].push_back(L'\n');
  });
  out.clear();
  for (const std::wstring& g : groups) out += g;
}

}  // namespace content
