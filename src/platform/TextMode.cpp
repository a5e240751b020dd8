#include "platform/TextMode.h"

#include <algorithm>

namespace platform {

std::string ToTextMode(std::string_view text) {
    std::string out;
    out.reserve(text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    for (const char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

} // namespace platform
