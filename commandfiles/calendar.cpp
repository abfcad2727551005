#include "commandfiles/calendar.h"

#include "core/clock.h"

#include <array>
#include <cstdio>

namespace mirx::commandfiles {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerMillisecond = 10'000;
// 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDaysFrom1601To1970 = 134'774;
constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int16_t narrow(int value) {
    return static_cast<std::int16_t>(value);
}

} // namespace

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

std::optional<std::int64_t> calendarToFileTime(const CalendarTime& t) {
    if (t.year < kFirstYear || t.year > kLastYear || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > daysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59 || t.milliseconds < 0 ||
        t.milliseconds > 999) {
        return std::nullopt;
    }
    const std::int64_t days =
        daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) +
        kDaysFrom1601To1970;
    const std::int64_t seconds = ((days * 24 + t.hour) * 60 + t.minute) * 60 + t.second;
    return seconds * kTicksPerSecond + t.milliseconds * kTicksPerMillisecond;
}

CalendarTime localTimeNow() {
    const LocalTime now = clock().localTime();
    CalendarTime time;
    time.year = narrow(now.year);
    time.month = narrow(now.month);
    time.day = narrow(now.day);
    time.hour = narrow(now.hour);
    time.minute = narrow(now.minute);
    time.second = narrow(now.second);
    return time;
}

CalendarTime addRelativeTime(const CalendarTime& now, std::int16_t hours, std::int16_t minutes,
                             std::int16_t seconds) {
    // The carry knows no leap years; only the conversion does.
    static constexpr std::array<int, 12> kCarryDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int second = now.second + seconds;
    int minute = now.minute + minutes;
    int hour = now.hour + hours;
    int day = now.day;
    int month = now.month;
    int year = now.year;
    if (second >= 60) {
        second -= 60;
        ++minute;
    }
    if (minute >= 60) {
        minute -= 60;
        ++hour;
    }
    if (hour >= 24) {
        hour -= 24;
        ++day;
    }
    if (month >= 1 && month <= 12) {
        const int length = kCarryDays[static_cast<std::size_t>(month - 1)];
        if (day > length) {
            day -= length;
            ++month;
        }
    }
    if (month > 12) {
        month = 1;
        ++year;
    }
    CalendarTime time;
    time.year = narrow(year);
    time.month = narrow(month);
    time.day = narrow(day);
    time.hour = narrow(hour);
    time.minute = narrow(minute);
    time.second = narrow(second);
    return time;
}

std::string formatCalendarTime(const CalendarTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

} // namespace mirx::commandfiles
