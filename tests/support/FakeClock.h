#pragma once
// A clock that stands still until a test moves it.
#include "platform/Clock.h"

#include <atomic>
#include <chrono>

namespace testing_support {

class FakeClock : public platform::Clock {
  public:
    using time_point = std::chrono::system_clock::time_point;

    // 2001-09-09 01:46:40 UTC: a round, recognisable instant.
    explicit FakeClock(time_point start = time_point(std::chrono::seconds(1000000000)))
        : m_now(start.time_since_epoch().count()) {}

    time_point Now() const override { return time_point(time_point::duration(m_now.load())); }
    void Advance(std::chrono::system_clock::duration by) { m_now += by.count(); }

  private:
    // Read from the server thread too, so kept as an atomic count of ticks.
    std::atomic<time_point::rep> m_now;
};

// Installs a FakeClock for its lifetime and puts back the clock installed before.
class ScopedFakeClock : public FakeClock {
  public:
    explicit ScopedFakeClock(time_point start = time_point(std::chrono::seconds(1000000000)))
        : FakeClock(start), m_previous(platform::SetClock(this)) {}
    ~ScopedFakeClock() override { platform::SetClock(m_previous); }
    ScopedFakeClock(const ScopedFakeClock&) = delete;
    ScopedFakeClock& operator=(const ScopedFakeClock&) = delete;

  private:
    const platform::Clock* m_previous;
};

} // namespace testing_support
