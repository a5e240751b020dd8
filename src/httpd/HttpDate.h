#pragma once
// HTTP dates: the one form the server writes and the three forms of HTTP/1.0 it reads.
#include <cstdint>
#include <string>
#include <string_view>

// A calendar time taken as UTC, field by field as a request carries it (nothing range-checked).
struct CalendarTime {
    uint16_t year = 0;
    uint16_t month = 0;   // 1 to 12
    uint16_t weekday = 0; // 0 = Sunday
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t millisecond = 0;

    bool operator==(const CalendarTime&) const = default;
};

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string FormatHttpDate(const CalendarTime& time);

// Reads "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT" or
// "Sun Nov  6 08:49:37 1994". True only when all seven fields are there and both the weekday and
// the month name are recognised; no time zone is applied and nothing is range-checked.
bool ParseHttpDate(std::string_view text, CalendarTime& time);
bool ParseWeekday(std::string_view text, uint16_t& weekday);
bool ParseMonthName(std::string_view text, uint16_t& month);

// The C library's atoi rule: leading white space and a sign, then digits up to the first other
// character, 0 when there are none. Overlong numbers wrap instead of overflowing.
int32_t AsciiToInt(std::string_view text);

// Seconds since 1970 UTC to a calendar time with its weekday (millisecond 0).
CalendarTime CalendarFromSeconds(int64_t seconds);
// The reverse; false for fields a real date cannot have (month 13, 31 April, hour 24, ...) and for
// years outside 1601 to 30827, which no file time can hold.
bool SecondsFromCalendar(const CalendarTime& time, int64_t& seconds);
