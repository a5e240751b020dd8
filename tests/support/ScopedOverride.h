#pragma once
// Replaces one of the program's test seams for a scope and puts back what was in force before, so
// that no fixture has to remember to reset a program-wide value and a failing test cannot leak its
// setting into the next one.
#include <utility>

namespace testing_support {

// `Install` puts a value in force and returns the one in force before.
template <typename Value, Value (*Install)(Value)> class ScopedOverride {
  public:
    explicit ScopedOverride(Value value) : m_previous(Install(std::move(value))) {}
    ~ScopedOverride() { Install(std::move(m_previous)); }
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

    // Changes the value in force within the scope; the one from before the scope still comes back.
    void Change(Value value) { Install(std::move(value)); }

  private:
    Value m_previous;
};

} // namespace testing_support
