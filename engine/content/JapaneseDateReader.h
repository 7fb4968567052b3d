// Reads one date or time expression of Japanese text at a given place of a
// line: "2008年6月1日（日）13:00", "六月十五日", "平成20年", "'08/6/1",
// "午後3時半", "10:30", "15日". Knows nothing of the current date: what the
// writer left out stays unwritten and the scanner fills it in.
#pragma once

#include <cstddef>
#include <string_view>

namespace content {

// A date and time as written; the flags say which parts were.
struct WrittenDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;  // 0-29: 24-29 is an hour of the next day
  int minute = 0;
  bool hasYear = false;
  bool hasMonth = false;
  bool hasDay = false;  // every written date has a day
  bool hasTime = false;
};

class JapaneseDateReader {
 public:
  enum class Result {
    kNone,     // no expression here
    kItem,     // an expression, in `out`
    kRefused,  // a whole date whose year is out of bounds: skip it, keep nothing
  };

  static constexpr int kFirstYear = 1950;  // a year must be at least this
  static constexpr int kYearLimit = 2085;  // and below this

  explicit JapaneseDateReader(std::wstring_view line) : s_(line) {}

  // True where an expression may begin: the first digit of a number, an era
  // name, an apostrophe year or a morning/afternoon mark.
  bool CanStart(size_t pos) const;
  // Reads the expression that begins at `pos`. On kItem and kRefused `*end`
  // is just past it. `rangeEnd`: the expression follows a range mark, where
  // an hour of 24-29 may also stand before a colon.
  Result Read(size_t pos, bool rangeEnd, WrittenDateTime* out, size_t* end) const;
  // Where the next try goes after nothing was read at `pos`: past the whole
  // number, so that a run of digits is read once, not once per digit.
  size_t SkipFailed(size_t pos) const;
  // Just past a range mark ("～", "ー", "から"...) that follows `pos` after
  // blanks; npos without one.
  size_t RangeMarkEnd(size_t pos) const;
  // Just past the blanks (half-width, full-width, tab) from `pos`.
  size_t SkipBlanks(size_t pos) const;

 private:
  struct Number {
    int value = 0;
    int digits = 0;  // characters read, "十" included
    size_t end = 0;
  };

  bool ReadNumber(size_t pos, Number* n) const;
  bool ReadYearStart(size_t pos, int* year, size_t* next) const;
  bool EndsNumberCleanly(size_t pos) const;
  Result ReadMonthDay(size_t pos, wchar_t separator, WrittenDateTime* w, size_t* end) const;
  size_t ReadDateTail(size_t pos, bool rangeEnd, WrittenDateTime* w) const;
  bool ReadTime(size_t pos, bool afterDate, bool rangeEnd, WrittenDateTime* w, size_t* end) const;
  int ReadMeridiemPrefix(size_t pos, size_t* next) const;
  int ReadMeridiemSuffix(size_t pos, size_t* next) const;
  size_t SkipWeekday(size_t pos) const;
  bool At(size_t pos, wchar_t c) const { return pos < s_.size() && s_[pos] == c; }
  bool AtText(size_t pos, std::wstring_view text) const { return s_.substr(pos < s_.size() ? pos : s_.size()).starts_with(text); }

  std::wstring_view s_;
};

// The digit value of any of the three written forms, or -1.
int JapaneseDigitValue(wchar_t c);
bool IsTextBlank(wchar_t c);

}  // namespace content
