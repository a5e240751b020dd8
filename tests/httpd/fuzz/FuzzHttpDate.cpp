// The three date forms, and a round trip of every date that is also a real one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "httpd/HttpDate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    CalendarTime time;
    if (!ParseHttpDate(std::string_view(reinterpret_cast<const char*>(data), size), time))
        return 0;
    if (time.weekday > 6 || time.month < 1 || time.month > 12)
        std::abort();
    int64_t seconds = 0;
    if (SecondsFromCalendar(time, seconds)) {
        CalendarTime back = CalendarFromSeconds(seconds);
        back.weekday = time.weekday; // a request's weekday is not checked against its date
        if (!(back == time))
            std::abort();
        FormatHttpDate(time);
    }
    return 0;
}
