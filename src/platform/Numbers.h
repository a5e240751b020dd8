#pragma once
// Numbers in files, on the wire and on command lines, read and written the same in every locale.
//
// The front end adopts the user's locale for the C library (Qt does that at start), and then
// printf's "%f" writes a decimal comma and strtof stops at a decimal point in German, French and
// most other European locales. Windows peers and the files older versions wrote always use the
// point, so every number that leaves or enters the program goes through here instead.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// scanf's "%d": leading white space skipped, an optional sign, decimal digits up to the first
// character that is not one; a value beyond 32 bits is held at the nearest limit. Nothing when no
// digit follows.
std::optional<int32_t> ScanInt32(std::string_view text);
// The same from `pos` on, which moves past the number when there is one (for "%d.%d" and the like).
std::optional<int32_t> ScanInt32At(std::string_view text, size_t& pos);

// scanf's "%u": as above, but a minus sign negates modulo 2^32 and a value beyond 64 bits reads as
// the largest one, as the C library does.
std::optional<uint32_t> ScanUInt32(std::string_view text);

// scanf's "%f" with a decimal point, whatever the locale: leading white space, an optional sign,
// then the longest number that can be read ("0.4abc" is 0.4). Nothing when no number is there or
// it lies beyond what a double can hold.
std::optional<float> ScanFloat(std::string_view text);

// Decimal text of an integer (printf's "%d" and "%u").
std::string FormatInteger(int64_t value);

// printf's "%0.Nf" with a decimal point: `decimals` digits after it.
std::string FormatFixed(double value, int decimals);

} // namespace platform
