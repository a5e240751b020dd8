#pragma once
// Wall-clock time, replaceable in tests (log banners, HTTP dates, file-time comparisons).
#include <chrono>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point Now() const = 0;
};

// The clock in force: the system clock unless a test installed another.
const Clock& CurrentClock();
// Installs a clock (not owned); nullptr returns to the system clock. Returns the one installed
// before (nullptr for the system clock).
const Clock* SetClock(const Clock* clock);

inline std::chrono::system_clock::time_point Now() {
    return CurrentClock().Now();
}

} // namespace platform
