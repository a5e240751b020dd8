// Percent decoding never grows the text and leaves text without "%" alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "httpd/RequestParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = PercentDecode(text);
    if (decoded.size() > text.size())
        std::abort();
    if (text.find('%') == std::string_view::npos && decoded != text)
        std::abort();
    return 0;
}
