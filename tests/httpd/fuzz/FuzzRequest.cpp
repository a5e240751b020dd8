// The whole head parser on arbitrary bytes, with the checks every parsed request must pass.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "httpd/RequestParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CRequestInfo request;
    const bool parsed = ParseRequest(text, request);
    if (request.m_nVerb < VERB_POST || request.m_nVerb > VERB_UNKNOWN)
        std::abort();
    // Version 9 without "HTTP/0.9" spelled out is a line without version: GET only.
    if (parsed && request.m_dwVersion == 9 && request.m_nVerb != VERB_GET &&
        text.find("HTTP/") == std::string_view::npos)
        std::abort();
    // The query is cut off: a "?" left in the path can only come from an escaped one.
    if (request.m_strURL.find('?') != std::string::npos &&
        text.find("%3F") == std::string_view::npos && text.find("%3f") == std::string_view::npos)
        std::abort();
    return 0;
}
