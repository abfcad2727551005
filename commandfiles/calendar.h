#pragma once

#include "commandfiles/command_file.h"

#include <cstdint>
#include <string>

// The time rules of command files: real calendar arithmetic for the
// conversion to a file time, and the simpler carry a relative time uses.

namespace mirx::commandfiles {

bool isLeapYear(int year);
// 0 for a month outside 1..12.
int daysInMonth(int year, int month);

// `now` plus h:m:s with one carry per field: seconds into minutes, minutes
// into hours, hours into days, days into months with February always 28
// days long, months into years. Amounts of a day or more, or negative ones,
// can leave fields that the conversion rejects.
CalendarTime addRelativeTime(const CalendarTime& now, std::int16_t hours, std::int16_t minutes,
                             std::int16_t seconds);

// "YYYY-MM-DD hh:mm:ss", as the command files view shows a processing time.
std::string formatCalendarTime(const CalendarTime& time);

} // namespace mirx::commandfiles
