#include "httpd/RequestParser.h"

#include <array>
#include <strings.h>

#include "httpd/Credentials.h"
#include "platform/Ascii.h"

namespace {

constexpr std::array<const char*, 8> kVerbNames = {"POST", "GET",    "HEAD",   "PUT",
                                                   "LINK", "DELETE", "UNLINK", "UNKNOWN"};

// Next token separated by runs of `separator`; empty when there is none.
std::string_view NextToken(std::string_view& text, char separator) {
    std::size_t start = text.find_first_not_of(separator);
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    text.remove_prefix(start);
    std::size_t end = text.find(separator);
    std::string_view token = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    return token;
}

int VerbFromText(std::string_view text) {
    for (int verb = VERB_POST; verb < VERB_UNKNOWN; ++verb) {
        std::string_view name = kVerbNames[verb];
        if (text.size() == name.size() && strncasecmp(text.data(), name.data(), name.size()) == 0)
            return verb;
    }
    return VERB_UNKNOWN;
}

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    std::size_t start = text.find_first_not_of(kSpace);
    if (start == std::string_view::npos)
        return {};
    return text.substr(start, text.find_last_not_of(kSpace) - start + 1);
}

} // namespace

const char* VerbName(int verb) {
    return verb >= VERB_POST && verb <= VERB_UNKNOWN ? kVerbNames[verb] : "UNKNOWN";
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = platform::HexDigitValue(text[i + 1]);
            const int low = platform::HexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        decoded.push_back(text[i]);
    }
    return decoded;
}

bool ParseRequestLine(std::string_view line, CRequestInfo& request) {
    std::string_view method = NextToken(line, ' ');
    if (method.empty())
        return false;
    request.m_nVerb = VerbFromText(method);

    std::string_view target = NextToken(line, ' ');
    if (target.empty())
        return false;
    // The query is cut off before decoding, so that an escaped "?" (%3F) in a modpack's name is
    // part of the path, as the joiner meant it.
    request.m_strURL = PercentDecode(target.substr(0, target.find('?')));

    // User information stands before an "@" that ends a first part without "/": a path itself
    // always begins with "/", so an "@" later in it (escaped or not) belongs to the file name.
    const std::size_t at = request.m_strURL.find('@');
    if (at != std::string::npos && request.m_strURL.find('/') > at) {
        std::string userInfo = request.m_strURL.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        if (colon != std::string::npos) {
            request.m_strUserName = userInfo.substr(0, colon);
            request.m_strPassword = userInfo.substr(colon + 1);
        } else {
            request.m_strUserName = userInfo;
        }
        request.m_strURL.erase(0, at + 1);
        request.m_bCredentials = true;
    }

    std::string_view version = NextToken(line, ' ');
    if (version.empty()) {
        request.m_dwVersion = 9;
        return request.m_nVerb == VERB_GET;
    }
    constexpr std::string_view kPrefix = "HTTP/";
    if (version.substr(0, kPrefix.size()) != kPrefix)
        return false;
    version.remove_prefix(kPrefix.size());
    std::string_view major = NextToken(version, '.');
    std::string_view minor = NextToken(version, '.');
    if (major.empty() || minor.empty())
        return false;
    const uint32_t majorNumber = static_cast<uint32_t>(AsciiToInt(major)) & 0xffff;
    const uint32_t minorNumber = static_cast<uint32_t>(AsciiToInt(minor)) & 0xffff;
    request.m_dwVersion = majorNumber << 16 | minorNumber;
    return true;
}

bool SplitHeaderLine(std::string_view line, std::string& name, std::string& value) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    name = Trim(line.substr(0, colon));
    value = Trim(line.substr(colon + 1));
    return true;
}

bool ParseRequest(std::string_view text, CRequestInfo& request) {
    text = text.substr(0, text.find('\0'));
    bool result = false;
    bool first = true;
    while (!text.empty() || first) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (first) {
            result = ParseRequestLine(line, request);
            first = false;
            continue;
        }
        std::string name;
        std::string value;
        if (!SplitHeaderLine(line, name, value))
            continue;
        if (name == "If-Modified-Since") {
            CalendarTime time;
            if (ParseHttpDate(value, time)) {
                request.m_bIfModifiedSince = true;
                request.m_IfModifiedSince = time;
            }
        } else if (name == "Authorization") {
            std::string user;
            std::string password;
            if (ParseBasicCredentials(value, user, password)) {
                request.m_bCredentials = true;
                request.m_strUserName = user;
                request.m_strPassword = password;
            }
        }
    }
    return result;
}
