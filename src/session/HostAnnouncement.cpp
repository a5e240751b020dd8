#include "session/HostAnnouncement.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/TextMode.h"

namespace {

std::string_view UpToFirstZero(std::string_view text) {
    const auto zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

// scanf's "%d": leading blanks skipped, the number ends where digits end; a value beyond 32 bits
// is held at the nearest limit rather than wrapped.
void ScanSigned(const std::string& text, int32_t& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    const long long read = std::strtoll(start, &end, 10);
    if (end == start)
        return;
    if (read > std::numeric_limits<int32_t>::max())
        value = std::numeric_limits<int32_t>::max();
    else if (read < std::numeric_limits<int32_t>::min())
        value = std::numeric_limits<int32_t>::min();
    else
        value = static_cast<int32_t>(read);
}

// scanf's "%u": a leading minus sign negates modulo 2^32, as scanf does.
void ScanUnsigned(const std::string& text, uint32_t& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    const unsigned long long read = std::strtoull(start, &end, 10);
    if (end != start)
        value = static_cast<uint32_t>(read);
}

void ScanFloat(const std::string& text, float& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    const float read = std::strtof(start, &end);
    if (end != start)
        value = read;
}

bool HasKey(std::string_view lowered, std::string_view key) {
    return lowered.substr(0, key.size()) == key;
}

} // namespace

std::string FormatHostAnnouncement(const std::string& fileName, int32_t fileSize, bool shared,
                                   const std::string& alternateSource, uint32_t fileSum,
                                   const std::string& infoText) {
    char number[64];
    std::string text = "FileName=" + fileName + "\n";
    std::snprintf(number, sizeof number, "FileSize=%d\n", fileSize);
    text += number;
    // The source has no line end of its own; the one before "HostVer=" ends it, and leaves an
    // empty line where the source would be when the modpack is not shared.
    if (shared)
        text += "FileSource=" + (alternateSource.empty() ? std::string("HOST") : alternateSource);
    std::snprintf(number, sizeof number, "\nHostVer=%0.1f\n", static_cast<double>(kHostVersion));
    text += number;
    std::snprintf(number, sizeof number, "FileSum=%u\n", fileSum);
    text += number;
    text += UpToFirstZero(infoText);
    // The file was written in text mode on Windows: every line feed became CR LF, also those of an
    // information text that already had CR LF line ends (which thus end in CR CR LF).
    return platform::ToTextMode(text);
}

bool WriteHostAnnouncement(const std::string& path, const std::string& fileName, int32_t fileSize,
                           bool shared, const std::string& alternateSource, uint32_t fileSum,
                           const std::string& infoText) {
    return platform::Files().WriteFile(
        path,
        FormatHostAnnouncement(fileName, fileSize, shared, alternateSource, fileSum, infoText));
}

HostAnnouncement ParseHostAnnouncement(std::string_view body) {
    HostAnnouncement result;
    std::size_t start = 0;
    while (start <= body.size()) {
        auto end = body.find('\n', start);
        if (end == std::string_view::npos)
            end = body.size();
        std::string line;
        line.reserve(end - start);
        for (char c : body.substr(start, end - start)) {
            if (c != '\r')
                line += c;
        }
        start = end + 1;

        const std::string lowered = platform::ToLower(line);
        if (HasKey(lowered, "filename="))
            result.FileName = line.substr(9);
        if (HasKey(lowered, "filesize="))
            ScanSigned(line.substr(9), result.FileSize);
        if (HasKey(lowered, "filesource="))
            result.FileSource = line.substr(11);
        if (HasKey(lowered, "filesum="))
            ScanUnsigned(line.substr(8), result.FileSum);
        if (HasKey(lowered, "hostver="))
            ScanFloat(line.substr(8), result.HostVer);
        if (HasKey(lowered, "modinfo_usermessage="))
            result.UserMessage = line.substr(20);
    }
    return result;
}
