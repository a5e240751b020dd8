#include "platform/Clock.h"

#include <atomic>

namespace platform {

namespace {

class SystemClock final : public Clock {
public:
    std::chrono::system_clock::time_point Now() const override
    {
        return std::chrono::system_clock::now();
    }
};

constinit SystemClock g_systemClock;
// Read by the HTTP listener thread as well, hence atomic.
constinit std::atomic<const Clock*> g_installed{nullptr};

} // namespace

const Clock& CurrentClock()
{
    const Clock* installed = g_installed.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : g_systemClock;
}

const Clock* SetClock(const Clock* clock)
{
    return g_installed.exchange(clock, std::memory_order_acq_rel);
}

} // namespace platform
