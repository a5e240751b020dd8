// Basic credentials and base64 on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "httpd/Credentials.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string bytes;
    const std::size_t decoded = DecodeBase64(text, bytes);
    if (decoded != bytes.size() || decoded > size * 3 / 4 + 1)
        std::abort();
    std::string user;
    std::string password;
    if (ParseBasicCredentials(text, user, password) &&
        (user.find(':') != std::string::npos || user.find('\0') != std::string::npos))
        std::abort();
    return 0;
}
