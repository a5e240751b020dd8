#include "ui/NumberText.h"

#include "platform/MessageBoxes.h"
#include "platform/Numbers.h"

namespace ui {

std::optional<int> ReadCountdownSeconds(std::string_view text) {
    size_t pos = 0;
    const std::optional<int32_t> value = platform::ScanInt32At(text, pos);
    if (!value)
        return std::nullopt;
    if (*value < 0)
        return 0;
    if (*value > 60)
        return 60;
    return static_cast<int>(*value);
}

std::string_view CutToBytes(std::string_view text, size_t limit) {
    if (text.size() <= limit)
        return text;
    size_t end = limit;
    // Step back over continuation bytes, so the cut falls before a whole character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

bool ValidateIPAddress(std::string_view text) {
    long long parts[4] = {};
    size_t pos = 0;
    bool valid = true;
    for (int i = 0; i < 4 && valid; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                valid = false;
                break;
            }
            ++pos;
        }
        const std::optional<int32_t> value = platform::ScanInt32At(text, pos);
        if (!value)
            valid = false;
        else
            parts[i] = *value;
    }
    for (long long part : parts)
        valid = valid && part >= 0 && part <= 255;
    if (valid) {
        const bool allZero = parts[0] == 0 && parts[1] == 0 && parts[2] == 0 && parts[3] == 0;
        const bool allOnes =
            parts[0] == 255 && parts[1] == 255 && parts[2] == 255 && parts[3] == 255;
        valid = !allZero && !allOnes;
    }
    if (!valid)
        platform::ShowMessage("Invalid IP address", platform::kErrorCaption);
    return valid;
}

} // namespace ui
