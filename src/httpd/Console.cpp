#include "httpd/Console.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

void PrintToConsole(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void PrintToConsolef(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        PrintToConsole(std::string(text.data(), static_cast<std::size_t>(length)));
    }
    va_end(args);
}

bool RingBell() {
    if (!::isatty(STDERR_FILENO))
        return false;
    return ::write(STDERR_FILENO, "\a", 1) == 1;
}

std::string Printable(const std::string& text) {
    std::string printable = text;
    for (char& c : printable) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return printable;
}
