#pragma once
// ASCII letter case, the same in every locale (the C library's tolower follows the user's, and in
// Turkish ones "I" does not become "i"), and the wildcard patterns that ignore it. Pure and
// header-only, so that every part of the program can share it without linking anything; the unzip
// library, a shared library of its own, can too.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The value of a hexadecimal digit in either case, -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A copy with the ASCII capitals lowered; every other byte, UTF-8 included, stays as it is.
inline std::string LowerAscii(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered)
        c = LowerAscii(c);
    return lowered;
}

// Wildcard match of a bare name against a pattern with '*' and '?' ("*.gck"), ASCII letters in
// either case.
constexpr bool MatchesPattern(std::string_view name, std::string_view pattern) {
    // Greedy matching with one back-tracking point (the last '*'), linear in practice and never
    // exponential, whatever the pattern.
    size_t n = 0;
    size_t p = 0;
    size_t starPattern = std::string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace platform
