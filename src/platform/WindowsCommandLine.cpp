#include "platform/WindowsCommandLine.h"

namespace platform {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> SplitWindowsCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    size_t pos = 0;
    const size_t end = text.size();
    // The runtime keeps the quoting state across argument boundaries only in the sense that an
    // argument ends at a blank outside quotes; a group left open runs to the end of the text.
    bool inQuotes = false;
    for (;;) {
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        if (pos >= end)
            break;

        std::string argument;
        for (;;) {
            size_t slashes = 0;
            while (pos < end && text[pos] == '\\') {
                ++pos;
                ++slashes;
            }
            bool copy = true;
            if (pos < end && text[pos] == '"') {
                if (slashes % 2 == 0) {
                    if (inQuotes && pos + 1 < end && text[pos + 1] == '"') {
                        ++pos; // two quotes inside a group: one literal quote
                    } else {
                        copy = false;
                        inQuotes = !inQuotes;
                    }
                }
                slashes /= 2;
            }
            argument.append(slashes, '\\');
            if (pos >= end || (!inQuotes && IsBlank(text[pos])))
                break;
            if (copy)
                argument.push_back(text[pos]);
            ++pos;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

} // namespace platform
