#include "engine/content/JapaneseDateReader.h"

namespace content {
namespace {

constexpr int kNumberCap = 1000000;  // a longer number is no date part anyway

bool IsNumberChar(wchar_t c) { return JapaneseDigitValue(c) >= 0 || c == L'十'; }

bool IsDateSeparator(wchar_t c) {
  return c == L'/' || c == L'／' || c == L'・' || c == L'.' || c == L'．' || c == L'-';
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
bool IsMorningLetter(wchar_t c) { return c == L'A' || c == L'a' || c == L'Ａ' || c == L'ａ'; }
bool IsAfternoonLetter(wchar_t c) { return c == L'P' || c == L'p' || c == L'Ｐ' || c == L'ｐ'; }
bool IsMeridiemM(wchar_t c) { return c == L'M' || c == L'm' || c == L'Ｍ' || c == L'ｍ'; }
bool IsApostrophe(wchar_t c) { return c == L'\'' || c == L'’' || c == L'＇'; }

bool IsKanji(wchar_t c) { return c >= 0x4E00 && c <= 0x9FFF; }

int TwoDigitYear(int n) { return n < 70 ? 2000 + n : 1900 + n; }

}  // namespace

int JapaneseDigitValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'０' && c <= L'９') return c - L'０';
  switch (c) {
    case L'〇': return 0;
    case L'一': return 1;
    case L'二': return 2;
    case L'三': return 3;
    case L'四': return 4;
    case L'五': return 5;
    case L'六': return 6;
    case L'七': return 7;
    case L'八': return 8;
    case L'九': return 9;
    default: return -1;
  }
}

bool IsTextBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'　'; }

size_t JapaneseDateReader::SkipBlanks(size_t pos) const {
  while (pos < s_.size() && IsTextBlank(s_[pos])) ++pos;
  return pos;
}

// Digits in any form, positional ("二〇〇八" 2008) or with "十" ("二十五" 25,
// "十" 10). The value saturates so that a hostile run cannot overflow; a
// malformed kanji number reads as that cap, which no date part accepts.
bool JapaneseDateReader::ReadNumber(size_t pos, Number* n) const {
  size_t p = SkipBlanks(pos);
  long total = 0, current = 0;
  int count = 0, afterTen = -1;  // digits since the last "十"
  bool malformed = false;
  for (; p < s_.size() && IsNumberChar(s_[p]); ++p, ++count) {
    if (s_[p] == L'十') {
      malformed |= afterTen >= 0;  // "十十", "二十五十"
      total += (current == 0 ? 1 : current) * 10;
      current = 0;
      afterTen = 0;
    } else {
      current = current * 10 + JapaneseDigitValue(s_[p]);
      if (afterTen >= 0 && ++afterTen > 1) malformed = true;  // "二十〇〇" is no number
    }
    if (current > kNumberCap) current = kNumberCap;
    if (total > kNumberCap) total = kNumberCap;
  }
  if (count == 0) return false;
  long value = malformed ? kNumberCap : total + current;
  n->value = static_cast<int>(value > kNumberCap ? kNumberCap : value);
  n->digits = count;
  n->end = p;
  return true;
}

// A number without marks ends cleanly before blanks, punctuation, particles
// and range marks, not inside a word or before a unit.
bool JapaneseDateReader::EndsNumberCleanly(size_t pos) const {
  if (pos >= s_.size()) return true;
  wchar_t c = s_[pos];
  if (IsAsciiLetter(c) || (c >= L'0' && c <= L'9') || c == L'%' || c == L'％') return false;
  if (c >= L'Ａ' && c <= L'ｚ') return false;
  if (c >= 0x30A0 && c <= 0x30FF && c != L'ー') return false;  // katakana
  return !IsKanji(c);
}

bool JapaneseDateReader::CanStart(size_t pos) const {
  if (pos >= s_.size()) return false;
  wchar_t c = s_[pos];
  if (IsNumberChar(c)) return pos == 0 || !IsNumberChar(s_[pos - 1]);
  if (AtText(pos, L"平成") || AtText(pos, L"昭和") || AtText(pos, L"午前") || AtText(pos, L"午後")) return true;
  if (IsApostrophe(c)) return pos + 1 < s_.size() && JapaneseDigitValue(s_[pos + 1]) >= 0;
  if ((IsMorningLetter(c) || IsAfternoonLetter(c)) && pos + 1 < s_.size() && IsMeridiemM(s_[pos + 1]))
    return pos == 0 || !IsAsciiLetter(s_[pos - 1]);
  return false;
}

size_t JapaneseDateReader::SkipFailed(size_t pos) const {
  if (pos < s_.size() && IsNumberChar(s_[pos])) {
    while (pos < s_.size() && IsNumberChar(s_[pos])) ++pos;
    return pos;
  }
  return pos + 1;
}

size_t JapaneseDateReader::RangeMarkEnd(size_t pos) const {
  size_t q = SkipBlanks(pos);
  if (q >= s_.size()) return std::wstring_view::npos;
  switch (s_[q]) {
    case L'ｰ': case L'ー': case L'－': case L'～': case L'〜': case L'~': case L'-':
      return q + 1;
    default:
      return AtText(q, L"から") ? q + 2 : std::wstring_view::npos;
  }
}

// 1 for a morning mark, 2 for an afternoon mark, 0 for none.
int JapaneseDateReader::ReadMeridiemPrefix(size_t pos, size_t* next) const {
  if (AtText(pos, L"午前") || AtText(pos, L"午後")) {
    *next = pos + 2;
    return s_[pos + 1] == L'前' ? 1 : 2;
  }
  if (pos + 1 < s_.size() && IsMeridiemM(s_[pos + 1]) && (pos == 0 || !IsAsciiLetter(s_[pos - 1]))) {
    int kind = IsMorningLetter(s_[pos]) ? 1 : IsAfternoonLetter(s_[pos]) ? 2 : 0;
    if (kind) *next = pos + 2;
    return kind;
  }
  return 0;
}

int JapaneseDateReader::ReadMeridiemSuffix(size_t pos, size_t* next) const {
  size_t q = SkipBlanks(pos);
  if (q + 1 >= s_.size() || !IsMeridiemM(s_[q + 1])) return 0;
  if (q + 2 < s_.size() && IsAsciiLetter(s_[q + 2])) return 0;  // a word, not a mark
  int kind = IsMorningLetter(s_[q]) ? 1 : IsAfternoonLetter(s_[q]) ? 2 : 0;
  if (kind) *next = q + 2;
  return kind;
}

// "（月）", "(火曜)", "（水曜日）" after a date carry nothing the date lacks.
size_t JapaneseDateReader::SkipWeekday(size_t pos) const {
  static constexpr std::wstring_view kDays = L"月火水木金土日";
  size_t q = SkipBlanks(pos);
  if (!At(q, L'（') && !At(q, L'(')) return pos;
  size_t r = q + 1;
  if (r >= s_.size() || kDays.find(s_[r]) == std::wstring_view::npos) return pos;
  ++r;
  if (At(r, L'曜')) ++r;
  if (At(r, L'日')) ++r;
  return (At(r, L'）') || At(r, L')')) ? r + 1 : pos;
}

// [午前|午後|AM|PM] hour (時 [minute [分] | 半] | : two-digit minute) [AM|PM],
// or an hour of 12 or less with AM/PM alone. Alone a colon time is 0:00-23:59;
// after a date or a range mark, hours 24-29 are the next day's and a minute
// above 59 counts as 0.
bool JapaneseDateReader::ReadTime(size_t pos, bool afterDate, bool rangeEnd, WrittenDateTime* w, size_t* end) const {
  size_t p = pos;
  int meridiem = ReadMeridiemPrefix(pos, &p);
  Number h;
  if (!ReadNumber(p, &h)) return false;
  size_t q = SkipBlanks(h.end);
  int hour = h.value, minute = 0;
  size_t e;
  if (At(q, L'時')) {
    // "2時間" is a length of time, "一時的" no time at all.
    if (At(q + 1, L'間') || At(q + 1, L'的') || At(q + 1, L'期')) return false;
    if (hour > 29) return false;
    e = q + 1;
    size_t r = SkipBlanks(e);
    Number m;
    if (At(r, L'半')) {
      minute = 30;
      e = r + 1;
    } else if (ReadNumber(e, &m) && !At(m.end, L'時') && !At(m.end, L'日') && !At(m.end, L'月')) {
      size_t marker = SkipBlanks(m.end);
      if (At(marker, L'分')) {
        minute = m.value <= 59 ? m.value : 0;
        e = marker + 1;
      } else if (r == e) {  // "10時30" with the minute marker left out
        minute = m.value <= 59 ? m.value : 0;
        e = m.end;
      }
    }
  } else if (At(q, L':') || At(q, L'：')) {
    if (h.digits > 2) return false;
    Number m;
    if (!ReadNumber(q + 1, &m) || m.digits != 2 || m.end != q + 3) return false;
    if (!afterDate && !rangeEnd) {
      if (hour > 23 || m.value > 59) return false;
    } else if (hour > 29) {
      return false;
    }
    minute = m.value <= 59 ? m.value : 0;
    e = m.end;
  } else {
    size_t next;
    int suffix = ReadMeridiemSuffix(h.end, &next);
    if (!suffix || hour > 12) return false;
    meridiem = suffix;
    e = next;
  }
  size_t next;
  if (int suffix = ReadMeridiemSuffix(e, &next)) {
    meridiem = suffix;
    e = next;
  }
  if (meridiem == 2 && hour < 12) hour += 12;
  w->hour = hour;
  w->minute = minute;
  w->hasTime = true;
  *end = e;
  return true;
}

// Month and day. `separator` is the mark the month must carry: "月" after
// "年", the year's own separator after a separator, 0 for "月" or any
// separator. After "月" the day needs its "日". The shape with a month or day
// out of range ("13月1日", "2008/4/32") is refused whole, so that no part of
// it is read again as a date of its own.
JapaneseDateReader::Result JapaneseDateReader::ReadMonthDay(size_t pos, wchar_t separator, WrittenDateTime* w,
                                                            size_t* end) const {
  Number m, d;
  if (!ReadNumber(pos, &m)) return Result::kNone;
  size_t q = SkipBlanks(m.end);
  if (q >= s_.size()) return Result::kNone;
  bool marker = s_[q] == L'月';
  if (separator ? s_[q] != separator : !marker && !IsDateSeparator(s_[q])) return Result::kNone;
  if (!ReadNumber(q + 1, &d)) return Result::kNone;
  size_t r = SkipBlanks(d.end);
  if (At(r, L'日')) {
    if (At(r + 1, L'間')) return Result::kNone;
    *end = r + 1;
  } else if (marker || !EndsNumberCleanly(d.end)) {
    return Result::kNone;  // "6月1", and "6.5時間", "1.5倍", which are numbers
  } else {
    *end = d.end;
  }
  if (m.value < 1 || m.value > 12 || d.value < 1 || d.value > 31) return Result::kRefused;
  w->month = m.value;
  w->day = d.value;
  w->hasMonth = w->hasDay = true;
  return Result::kItem;
}

// The weekday and the time that may follow a date; the end of it all.
size_t JapaneseDateReader::ReadDateTail(size_t pos, bool rangeEnd, WrittenDateTime* w) const {
  size_t p = SkipWeekday(pos);
  size_t e;
  if (ReadTime(SkipBlanks(p), true, rangeEnd, w, &e)) return e;
  return p;
}

// A year and its separator: era name and number, apostrophe and two digits,
// or a number before "年" or a date separator. The year may be out of
// bounds; `*next` is past the separator.
bool JapaneseDateReader::ReadYearStart(size_t pos, int* year, size_t* next) const {
  Number n;
  size_t q;
  if (AtText(pos, L"平成") || AtText(pos, L"昭和")) {
    if (!ReadNumber(pos + 2, &n) || n.value < 1) return false;
    *year = n.value + (s_[pos] == L'平' ? 1988 : 1925);
  } else if (pos < s_.size() && IsApostrophe(s_[pos])) {
    if (!ReadNumber(pos + 1, &n) || n.digits != 2 || n.end != pos + 3) return false;
    *year = TwoDigitYear(n.value);
  } else {
    if (!ReadNumber(pos, &n)) return false;
    *year = n.value >= 100 ? n.value : TwoDigitYear(n.value);
  }
  q = SkipBlanks(n.end);
  if (!At(q, L'年') && !(q < s_.size() && IsDateSeparator(s_[q]))) return false;
  *next = q + 1;
  return true;
}

JapaneseDateReader::Result JapaneseDateReader::Read(size_t pos, bool rangeEnd, WrittenDateTime* out,
                                                    size_t* end) const {
  WrittenDateTime w;
  size_t next;
  if (ReadMeridiemPrefix(pos, &next)) {
    if (!ReadTime(pos, false, rangeEnd, &w, end)) return Result::kNone;
    *out = w;
    return Result::kItem;
  }

  // A whole date: year, month, day.
  int year = 0;
  if (ReadYearStart(pos, &year, &next)) {
    wchar_t separator = s_[next - 1] == L'年' ? L'月' : s_[next - 1];
    size_t e;
    Result r = ReadMonthDay(next, separator, &w, &e);
    if (r != Result::kNone) {
      w.year = year;
      w.hasYear = true;
      if (r == Result::kItem) e = ReadDateTail(e, rangeEnd, &w);
      *end = e;
      if (r == Result::kRefused || year < kFirstYear || year >= kYearLimit) return Result::kRefused;
      *out = w;
      return Result::kItem;
    }
    w = WrittenDateTime{};
  }

  Number n;
  if (!ReadNumber(pos, &n)) return Result::kNone;
  size_t q = SkipBlanks(n.end);
  if (q < s_.size() && (s_[q] == L'月' || IsDateSeparator(s_[q]))) {
    // Month and day of no year: "6月1日", "6/1" (a third "/n" was a year's).
    size_t e;
    Result r = ReadMonthDay(pos, 0, &w, &e);
    if (r == Result::kNone) return r;
    *end = e;
    if (r == Result::kRefused) return r;
    *end = ReadDateTail(e, rangeEnd, &w);
    *out = w;
    return Result::kItem;
  }
  if (At(q, L'日')) {
    if (n.value < 1 || n.value > 31 || At(q + 1, L'間')) return Result::kNone;
    w.day = n.value;
    w.hasDay = true;
    *end = ReadDateTail(q + 1, rangeEnd, &w);
    *out = w;
    return Result::kItem;
  }
  if (!ReadTime(pos, false, rangeEnd, &w, end)) return Result::kNone;
  *out = w;
  return Result::kItem;
}

}  // namespace content
