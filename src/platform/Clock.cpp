#include "platform/Clock.h"

#include "platform/Seam.h"

namespace platform {

namespace {

class SystemClock final : public Clock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
};

constinit SystemClock g_systemClock;
constinit Seam<const Clock*> g_installed{nullptr};

} // namespace

const Clock& CurrentClock() {
    const Clock* installed = g_installed.Get();
    return installed != nullptr ? *installed : g_systemClock;
}

const Clock* SetClock(const Clock* clock) {
    return g_installed.Exchange(clock);
}

} // namespace platform
