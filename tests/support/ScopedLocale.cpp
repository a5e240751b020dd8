#include "ScopedLocale.h"

#include <clocale>
#include <cstdlib>

#include <gtest/gtest.h>

namespace testing_support {

ScopedLocale::ScopedLocale(const char* name) : m_saved(std::setlocale(LC_ALL, nullptr)) {
    // Set here rather than by the test runner, so only the tests that want a locale search there.
    ::setenv("LOCPATH", TestLocaleFolder(), 1);
    EXPECT_NE(std::setlocale(LC_ALL, name), nullptr)
        << "locale " << name << " is missing in " << TestLocaleFolder();
}

ScopedLocale::~ScopedLocale() {
    std::setlocale(LC_ALL, m_saved.c_str());
}

const char* TestLocaleFolder() {
    return KORVANE_TEST_LOCALES;
}

} // namespace testing_support

// glibc keeps the search path that it builds from LOCPATH for the rest of the process; that one
// allocation is not a leak of ours. Every test that sets a locale links this file.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\nleak:__argz_create_sep\n";
}
