#include "httpd/Credentials.h"

#include <cstdint>

std::size_t DecodeBase64(std::string_view text, std::string& bytes) {
    bytes.clear();
    uint32_t pending = 0;
    int pendingBits = 0;
    for (char c : text) {
        const char low = static_cast<char>(c & 0x7f);
        if (low == '=')
            continue;
        const std::size_t value = kBase64Alphabet.find(low);
        if (value == std::string_view::npos) {
            bytes.clear();
            return 0;
        }
        pending = (pending << 6 | static_cast<uint32_t>(value)) & 0xffffff;
        pendingBits += 6;
        if (pendingBits >= 8) {
            pendingBits -= 8;
            bytes.push_back(static_cast<char>(pending >> pendingBits & 0xff));
        }
    }
    return bytes.size();
}

bool ParseBasicCredentials(std::string_view value, std::string& user, std::string& password) {
    auto nextToken = [&value]() {
        std::size_t start = value.find_first_not_of(' ');
        if (start == std::string_view::npos) {
            value = {};
            return std::string_view{};
        }
        value.remove_prefix(start);
        std::size_t end = value.find(' ');
        std::string_view token = value.substr(0, end);
        value.remove_prefix(end == std::string_view::npos ? value.size() : end);
        return token;
    };

    if (nextToken() != "Basic")
        return false;
    std::string decoded;
    if (DecodeBase64(nextToken(), decoded) == 0)
        return false;
    std::string_view text(decoded.c_str()); // up to the first zero byte
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    user = text.substr(0, colon);
    password = text.substr(colon + 1);
    return true;
}
