#pragma once
// Runs part of a test under a user's locale, as the front end runs on a player's machine: LC_ALL
// names it in the environment and Qt's start-up has called setlocale(LC_ALL, ""), so the C
// library formats, parses and compares by it. The
// locales come from the build (scripts/test-locales.sh); one that cannot be set fails the test, so
// a machine without them is noticed instead of passing in the C locale.
#include <optional>
#include <string>

namespace testing_support {

class ScopedLocale {
  public:
    explicit ScopedLocale(const char* name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

  private:
    std::string m_saved;
    std::optional<std::string> m_savedEnvironment;
};

// The locales the tests play players' machines with: a decimal comma, and a dotted capital İ.
inline constexpr const char* kGermanLocale = "de_DE.UTF-8";
inline constexpr const char* kTurkishLocale = "tr_TR.UTF-8";

// The folder of the test locales, for child processes (LOCPATH).
const char* TestLocaleFolder();

} // namespace testing_support
