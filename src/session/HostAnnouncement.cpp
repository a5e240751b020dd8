#include "session/HostAnnouncement.h"

#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/Numbers.h"
#include "platform/TextMode.h"
#include "platform/WindowsText.h"

namespace {

std::string_view UpToFirstZero(std::string_view text) {
    const auto zero = text.find('\0');
    return zero == std::string_view::npos ? text : text.substr(0, zero);
}

template <typename Number, typename Scan>
void ScanInto(std::string_view text, Number& value, Scan scan) {
    if (const auto read = scan(text))
        value = *read;
}

bool HasKey(std::string_view lowered, std::string_view key) {
    return lowered.substr(0, key.size()) == key;
}

} // namespace

std::string AnnouncedName(const std::string& fileName) {
    return platform::ToWindowsText(fileName);
}

std::string FormatHostAnnouncement(const std::string& fileName, int32_t fileSize, bool shared,
                                   const std::string& alternateSource, uint32_t fileSum,
                                   const std::string& infoText) {
    std::string text = "FileName=" + AnnouncedName(fileName) + "\n";
    text += "FileSize=" + platform::FormatInteger(fileSize) + "\n";
    // The source has no line end of its own; the one before "HostVer=" ends it, and leaves an
    // empty line where the source would be when the modpack is not shared.
    if (shared)
        text += "FileSource=" + (alternateSource.empty() ? std::string("HOST") : alternateSource);
    // "%0.1f" as Windows peers print it, with a point in every locale.
    text += "\nHostVer=" + platform::FormatFixed(kHostVersion, 1) + "\n";
    text += "FileSum=" + platform::FormatInteger(fileSum) + "\n";
    text += platform::ToWindowsText(std::string(UpToFirstZero(infoText)));
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
        // CR LF, bare LF and the CR CR LF of an information text written in text mode all end a
        // line the same way. A carriage return inside a line stays: "evil\r.gck" is no name that
        // may silently become "evil.gck".
        std::string_view line = body.substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        start = end + 1;

        const std::string lowered = platform::ToLower(line);
        if (HasKey(lowered, "filename=")) {
            result.FileNameAsSent = std::string(line.substr(9));
            result.FileName = platform::FromWindowsText(result.FileNameAsSent);
        }
        if (HasKey(lowered, "filesize="))
            ScanInto(line.substr(9), result.FileSize, platform::ScanInt32);
        // An address goes back to the network as the host wrote it, so it is not decoded.
        if (HasKey(lowered, "filesource="))
            result.FileSource = std::string(line.substr(11));
        if (HasKey(lowered, "filesum="))
            ScanInto(line.substr(8), result.FileSum, platform::ScanUInt32);
        if (HasKey(lowered, "hostver="))
            ScanInto(line.substr(8), result.HostVer, platform::ScanFloat);
        if (HasKey(lowered, "modinfo_usermessage="))
            result.UserMessage = platform::FromWindowsText(line.substr(20));
    }
    return result;
}
