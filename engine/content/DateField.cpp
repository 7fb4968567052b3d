#include "engine/content/DateField.h"

#include <vector>

#include "engine/public/content/CharsetText.h"
#include "engine/content/HeaderText.h"
#include "engine/content/HeaderWords.h"
#include "engine/foundation/MailMemory.h"

namespace content {
namespace {

// Above this a number is only "too large": a year of 4294969396 must not
// wrap to 2100 in a 32-bit field.
constexpr long kNumberCap = 100000;

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r'; }

std::vector<std::string_view> Words(std::string_view value) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && IsSeparator(value[i])) ++i;
    size_t start = i;
    while (i < value.size() && !IsSeparator(value[i])) ++i;
    if (i > start) words.push_back(value.substr(start, i - start));
  }
  return words;
}

// Leading digits of the word; -1 when it starts with none.
long LeadingNumber(std::string_view word) {
  if (word.empty() || foundation::DigitValue(static_cast<unsigned char>(word[0])) < 0) return -1;
  long n = 0;
  for (char c : word) {
    int d = foundation::DigitValue(static_cast<unsigned char>(c));
    if (d < 0) break;
    n = n * 10 + d;
    if (n > kNumberCap) n = kNumberCap;
  }
  return n;
}

int MonthOf(std::string_view word) {
  if (word.size() < 3) return 0;
  auto is = [&](std::string_view prefix) { return StartsWithNoCase(word, prefix); };
  if (is("D")) return 12;
  if (is("N")) return 11;
  if (is("O")) return 10;
  if (is("S")) return 9;
  if (is("F")) return 2;
  if (is("Ap")) return 4;
  if (is("A")) return 8;
  if (is("Ja")) return 1;
  if (is("Jul")) return 7;
  if (is("J")) return 6;
  if (is("Mar")) return 3;
  if (is("M")) return 5;
  return 0;
}

// Two characters as a number: the digits among them, in order.
long TwoDigits(std::string_view value, size_t at) {
  long n = 0;
  bool any = false;
  for (size_t i = at; i < at + 2 && i < value.size(); ++i) {
    int d = foundation::DigitValue(static_cast<unsigned char>(value[i]));
    if (d < 0) continue;
    n = n * 10 + d;
    any = true;
  }
  return any ? n : 0;
}

// Inserts the zeros a short signed zone lacks: "+9" gives "+0009". `count`
// is the number of characters of the zone proper.
std::string PadZone(std::string zone, size_t count) {
  if (count <= 1) return "+0000";
  if (count < 5) zone.insert(1, 5 - count, '0');
  return zone;
}

size_t CountWithoutTrailingBlank(std::string_view text) {
  size_t n = text.size();
  if (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) --n;
  return n;
}

}  // namespace

bool parseDate(std::string_view value, SYSTEMTIME* out) {
  std::vector<std::string_view> words = Words(value);
  size_t i = 0;
  if (i < words.size() && foundation::DigitValue(static_cast<unsigned char>(words[i][0])) < 0) ++i;  // the weekday
  if (i >= words.size()) return false;
  long day = LeadingNumber(words[i++]);
  if (day < 0 || i >= words.size()) return false;
  int month = MonthOf(words[i++]);
  if (month == 0 || i >= words.size()) return false;
  long year = LeadingNumber(words[i]);
  if (year < 0) return false;
  if (year < 50) year += 2000;
  else if (year < 1000) year += 1900;
  out->wDay = static_cast<WORD>(day);
  out->wMonth = static_cast<WORD>(month);
  out->wYear = static_cast<WORD>(year > 65535 ? 65535 : year);
  return true;
}

bool parseTime(std::string_view value, SYSTEMTIME* out) {
  size_t colon = value.find(':');
  if (colon == std::string_view::npos) return false;
  out->wHour = static_cast<WORD>(TwoDigits(value, colon >= 2 ? colon - 2 : 0));
  out->wMinute = static_cast<WORD>(TwoDigits(value, colon + 1));
  if (colon + 3 < value.size() && value[colon + 3] == ':') out->wSecond = static_cast<WORD>(TwoDigits(value, colon + 4));
  return true;
}

std::string parseTimezone(std::string_view value) {
  size_t colon = value.rfind(':');
  size_t start = colon == std::string_view::npos ? 3 : colon + 4;
  if (start >= value.size()) return "+0000";
  std::string zone = TrimBlanks(DecodeHeaderWords(value.substr(start), false));
  if (zone.empty()) return "+0000";
  if (zone.back() == ')') {
    size_t open = zone.rfind('(');
    if (open == std::string::npos || open == 0) return "+0000";
    size_t signAt = open >= 6 ? open - 6 : 0;
    if (zone[signAt] != '+' && zone[signAt] != '-') return "+0000";
    std::string proper = zone.substr(signAt, open - signAt);
    std::string rest = zone.substr(open);
    size_t count = CountWithoutTrailingBlank(proper);
    if (count <= 1) return "+0000";
    return PadZone(proper, count) + rest;
  }
  if (zone[0] == '+' || zone[0] == '-') {
    if (zone.size() >= 5) return zone;
    return PadZone(zone, CountWithoutTrailingBlank(zone));
  }
  static const struct {
    const char* name;
    const char* zone;
  } kNames[] = {{"UT", "+0000"},  {"GMT", "+0000"}, {"EST", "-0500"}, {"EDT", "-0400"},
                {"CST", "-0600"}, {"CDT", "-0500"}, {"MST", "-0700"}, {"MDT", "-0600"},
                {"PST", "-0800"}, {"PDT", "-0700"}, {"JST", "+0900"}};
  for (const auto& n : kNames)
    if (zone == n.name) return n.zone;
  if (zone.size() == 1 && std::string_view("ZAMNY").find(zone[0]) != std::string_view::npos) return zone;
  return "+0000";
}

}  // namespace content
