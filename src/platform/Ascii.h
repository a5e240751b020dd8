#pragma once
// ASCII letter case, the same in every locale (the C library's tolower follows the user's, and in
// Turkish ones "I" does not become "i"). Pure and header-only, so that every part of the program
// can share it without linking anything; the unzip library, a shared library of its own, can too.
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

} // namespace platform
