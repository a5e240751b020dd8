#include "httpd/HttpDate.h"

#include <array>
#include <cstdio>
#include <vector>

namespace {

constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> kLongWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Splits at any of `separators`; a run of them counts as one and none yields an empty token.
std::vector<std::string_view> Tokens(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> tokens;
    std::size_t at = 0;
    while (true) {
        at = text.find_first_not_of(separators, at);
        if (at == std::string_view::npos)
            break;
        std::size_t end = text.find_first_of(separators, at);
        if (end == std::string_view::npos)
            end = text.size();
        tokens.push_back(text.substr(at, end - at));
        at = end;
    }
    return tokens;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool IsLeapYear(unsigned year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

std::string FormatHttpDate(const CalendarTime& time) {
    const char* weekday = time.weekday < kWeekdays.size() ? kWeekdays[time.weekday] : "???";
    const char* month = time.month >= 1 && time.month <= 12 ? kMonths[time.month - 1] : "???";
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", weekday, time.day,
                  month, time.year, time.hour, time.minute, time.second);
    return text;
}

bool ParseWeekday(std::string_view text, uint16_t& weekday) {
    for (std::size_t i = 0; i < kWeekdays.size(); ++i) {
        if (text == kWeekdays[i] || text == kLongWeekdays[i]) {
            weekday = static_cast<uint16_t>(i);
            return true;
        }
    }
    return false;
}

bool ParseMonthName(std::string_view text, uint16_t& month) {
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (text == kMonths[i]) {
            month = static_cast<uint16_t>(i + 1);
            return true;
        }
    }
    return false;
}

int32_t AsciiToInt(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    uint32_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = value * 10 + static_cast<uint32_t>(text[at] - '0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

bool ParseHttpDate(std::string_view text, CalendarTime& time) {
    time.millisecond = 0;
    if (text.size() < 6)
        return false;

    enum Field { Weekday, Day, Month, Year, Hour, Minute, Second };
    std::array<Field, 7> order{Weekday, Day, Month, Year, Hour, Minute, Second};
    std::string_view separators = ", :-";
    bool twoDigitYear = true;
    if (text[3] == ',') {
        separators = ", :";
        twoDigitYear = false;
    } else if (text[3] == ' ') {
        separators = ", :";
        order = {Weekday, Month, Day, Hour, Minute, Second, Year};
        twoDigitYear = false;
    }

    std::vector<std::string_view> tokens = Tokens(text, separators);
    bool weekdayKnown = false;
    bool monthKnown = false;
    for (std::size_t i = 0; i < order.size() && i < tokens.size(); ++i) {
        const uint16_t number = static_cast<uint16_t>(AsciiToInt(tokens[i]));
        switch (order[i]) {
        case Weekday:
            weekdayKnown = ParseWeekday(tokens[i], time.weekday);
            break;
        case Month:
            monthKnown = weekdayKnown && ParseMonthName(tokens[i], time.month);
            break;
        case Day:
            time.day = number;
            break;
        case Year:
            time.year = number;
            break;
        case Hour:
            time.hour = number;
            break;
        case Minute:
            time.minute = number;
            break;
        case Second:
            time.second = number;
            break;
        }
    }
    if (tokens.size() < order.size())
        return false;
    if (twoDigitYear) {
        if (time.year < 50)
            time.year = static_cast<uint16_t>(time.year + 2000);
        else if (time.year < 100)
            time.year = static_cast<uint16_t>(time.year + 1900);
    }
    return weekdayKnown && monthKnown;
}

CalendarTime CalendarFromSeconds(int64_t seconds) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CalendarTime time;
    time.hour = static_cast<uint16_t>(rest / 3600);
    time.minute = static_cast<uint16_t>(rest / 60 % 60);
    time.second = static_cast<uint16_t>(rest % 60);
    int64_t weekday = (days + 4) % 7; // 1 January 1970 was a Thursday
    time.weekday = static_cast<uint16_t>(weekday < 0 ? weekday + 7 : weekday);

    // The civil-from-days algorithm over 400-year eras.
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    time.day = static_cast<uint16_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
    time.month = static_cast<uint16_t>(mp < 10 ? mp + 3 : mp - 9);
    time.year =
        static_cast<uint16_t>(static_cast<int64_t>(yearOfEra) + era * 400 + (time.month <= 2));
    return time;
}

bool SecondsFromCalendar(const CalendarTime& time, int64_t& seconds) {
    static constexpr unsigned kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (time.year < 1601 || time.year > 30827 || time.month < 1 || time.month > 12)
        return false;
    unsigned lastDay = kDaysInMonth[time.month - 1] + (time.month == 2 && IsLeapYear(time.year));
    if (time.day < 1 || time.day > lastDay || time.hour > 23 || time.minute > 59 ||
        time.second > 59 || time.millisecond > 999)
        return false;
    seconds = DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 +
              time.minute * 60 + time.second;
    return true;
}
