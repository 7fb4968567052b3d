// Picks out of the text of a Japanese mail what a schedule entry needs: the
// start date and time, the end of its range, and the place.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/content/JapaneseDateReader.h"
#include "platform/base/WinTypes.h"

namespace content {

// One recognised date or time, with what was not written filled in.
struct DateTimeItem {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  bool hasDate = false;  // a date was written
  bool hasTime = false;  // a time was written
};

class DateTimeScanner {
 public:
  // Scans every line of `text` (LF ends a line, a CR before it is dropped)
  // against the device's local time read now. Items are appended to Items();
  // the first becomes the start, the item after a range mark that follows
  // it the end. A place found replaces the one held.
  void Scan(std::wstring_view text);
  // The lines of `text` regrouped, each kind kept in its order: the writer's
  // own lines first, then quoted lines, then the header lines of forwarded or
  // sent mail. Scanning the result finds the writer's dates before any quoted
  // ones. Each line of `out` ends with LF.
  void GroupLines(std::wstring& out, std::wstring_view text) const;

  const std::vector<DateTimeItem>& Items() const { return items_; }

  SYSTEMTIME start{};
  bool startFound = false;
  bool startHasTime = false;
  int endYear = 0;
  int endMonth = 0;
  int endDay = 0;
  int endHour = 0;
  int endMinute = 0;
  bool endFound = false;
  bool endHasTime = false;
  // The start's hour was 24-29 and it was moved onto the next day; an end
  // that takes the start's date then has 24 taken off its own such hour.
  bool nextDay = false;
  std::wstring place;

 private:
  enum class Role { kStart, kEnd, kLater };

  void ScanLine(std::wstring_view line);
  void Take(const WrittenDateTime& w, bool afterRangeMark);
  bool Resolve(const WrittenDateTime& w, Role role, DateTimeItem* out, bool* moved) const;
  void SetStart(const WrittenDateTime& w);

  SYSTEMTIME now_{};
  std::vector<DateTimeItem> items_;
  WrittenDateTime startWritten_;
  size_t startLine_ = 0;
  size_t lineNumber_ = 0;
  bool lastWasStart_ = false;  // the item just read is the start (or its time)
};

// The place a line names after "場所" or "会場" (failing both, "於"), or
// empty.
std::wstring FindPlace(std::wstring_view line);
// A header line of forwarded or sent mail ("送信日時: ..."): its dates are
// the mail's own, not an event's.
bool IsForwardHeaderLine(std::wstring_view line);

}  // namespace content
