#include "ScopedLocale.h"

#include <clocale>
#include <cstdlib>

#include <gtest/gtest.h>

namespace testing_support {

ScopedLocale::ScopedLocale(const char* name) : m_saved(std::setlocale(LC_ALL, nullptr)) {
    if (const char* environment = std::getenv("LC_ALL"))
        m_savedEnvironment = environment;
    // Set here rather than by the test runner, so only the tests that want a locale search there.
    ::setenv("LOCPATH", TestLocaleFolder(), 1);
    // As on a player's machine: the environment names the locale, and the program adopts it.
    ::setenv("LC_ALL", name, 1);
    EXPECT_NE(std::setlocale(LC_ALL, ""), nullptr)
        << "locale " << name << " is missing in " << TestLocaleFolder();
}

ScopedLocale::~ScopedLocale() {
    if (m_savedEnvironment)
        ::setenv("LC_ALL", m_savedEnvironment->c_str(), 1);
    else
        ::unsetenv("LC_ALL");
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
