#include "platform/Numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace platform {

namespace {

// The white space that scanf skips in the C locale; other locales may add bytes above 0x7F.
bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips leading white space and one sign; returns true when the sign was a minus.
bool SkipBlanksAndSign(std::string_view& text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    text.remove_prefix(i);
    return negative;
}

// The digits at the start of `text` as an unsigned 64-bit number, held at the largest one when
// there are too many; nothing when there is no digit.
std::optional<uint64_t> ScanDigits(std::string_view text) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (end == text.data())
        return std::nullopt;
    if (error == std::errc::result_out_of_range)
        return std::numeric_limits<uint64_t>::max();
    return value;
}

} // namespace

std::optional<int32_t> ScanInt32At(std::string_view text, size_t& pos) {
    std::string_view rest = text.substr(std::min(pos, text.size()));
    const bool negative = SkipBlanksAndSign(rest);
    const std::optional<uint64_t> magnitude = ScanDigits(rest);
    if (!magnitude)
        return std::nullopt;
    size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    pos = text.size() - rest.size() + digits;
    constexpr uint64_t kMaxPositive = std::numeric_limits<int32_t>::max();
    if (negative)
        return *magnitude > kMaxPositive + 1
                   ? std::numeric_limits<int32_t>::min()
                   : static_cast<int32_t>(-static_cast<int64_t>(*magnitude));
    return *magnitude > kMaxPositive ? std::numeric_limits<int32_t>::max()
                                     : static_cast<int32_t>(*magnitude);
}

std::optional<int32_t> ScanInt32(std::string_view text) {
    size_t pos = 0;
    return ScanInt32At(text, pos);
}

std::optional<uint32_t> ScanUInt32(std::string_view text) {
    const bool negative = SkipBlanksAndSign(text);
    const std::optional<uint64_t> magnitude = ScanDigits(text);
    if (!magnitude)
        return std::nullopt;
    if (*magnitude == std::numeric_limits<uint64_t>::max())
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(negative ? 0 - *magnitude : *magnitude);
}

std::optional<float> ScanFloat(std::string_view text) {
    const bool negative = SkipBlanksAndSign(text);
    // from_chars reads neither a sign of its own after ours nor white space, as scanf would not.
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        return std::nullopt;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    float value = 0;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (end == first)
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // Beyond a float but within a double: the float the C library gives (infinity or zero).
        double wide = 0;
        auto [wideEnd, wideError] = std::from_chars(first, last, wide, std::chars_format::general);
        if (wideError != std::errc())
            return std::nullopt;
        value = std::fabs(wide) > std::numeric_limits<float>::max()
                    ? std::numeric_limits<float>::infinity()
                    : 0.0f;
    }
    return negative ? -value : value;
}

std::string FormatInteger(int64_t value) {
    char text[24];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end);
}

std::string FormatFixed(double value, int decimals) {
    char text[400]; // the longest double in fixed notation, with room for the decimals
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc())
        return "nan";
    return std::string(text, end);
}

} // namespace platform
