#pragma once
// A test seam: one program-wide value that production code reads and a test replaces for a while
// (a clock, a file system, time-outs, a port). Every seam of the program has this one shape, so
// that the test support library can give each the same scoped override. The HTTP listener thread
// reads some of them while the test's thread replaces them, hence the lock.
#include <mutex>
#include <utility>

namespace platform {

template <typename Value> class Seam {
  public:
    // Constant-initialisable, so that program-wide objects constructed before main find the seam
    // in place.
    constexpr explicit Seam(Value initial) : m_value(std::move(initial)) {}
    Seam(const Seam&) = delete;
    Seam& operator=(const Seam&) = delete;

    Value Get() const {
        std::lock_guard lock(m_lock);
        return m_value;
    }
    // Puts `value` in force and returns the one in force before, for the caller to put back.
    Value Exchange(Value value) {
        std::lock_guard lock(m_lock);
        std::swap(m_value, value);
        return value;
    }

  private:
    mutable std::mutex m_lock;
    Value m_value;
};

} // namespace platform
