// Reading the value of a received "Date:" header: day, month and year, the
// time of day, and the zone as sign and four digits. Every read stays inside
// the value, and numbers are capped so that no huge year wraps into range.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/WinTypes.h"

namespace content {

// Day, month and year into `out`; false (out untouched) unless all three
// were found.
bool parseDate(std::string_view value, SYSTEMTIME* out);
// Hour, minute and, when given, second at the first ":"; false without one.
bool parseTime(std::string_view value, SYSTEMTIME* out);
// The zone text: "+hhmm"/"-hhmm" (padded when short), a kept single
// military letter, a named zone's offset, or "+0000".
std::string parseTimezone(std::string_view value);

}  // namespace content
