#pragma once
// giantshost.htm: the small key=value text through which a host tells a joining player which
// modpack it plays, where to get it and which announcement version it speaks.
//
// The writer's output is fixed byte for byte (older Korvane versions read it); the reader is
// lenient in the same ways older readers were: keys without regard to case, the last occurrence
// of a key wins, numbers read the way scanf reads them.
#include <cstdint>
#include <string>
#include <string_view>

// The announcement version this program writes and accepts, and its display text.
inline constexpr float kHostVersion = 0.4f;
inline constexpr const char* kHostVersionText = "1.0 beta 4b (2nd February 2002)";

struct HostAnnouncement {
    std::string FileName;    // archive file name with extension, as announced (not yet checked)
    int32_t FileSize = 0;    // archive size in bytes
    std::string FileSource;  // "" = not shared, "HOST" = from the host, else a URL prefix
    uint32_t FileSum = 0;    // GetFileSum of the archive
    float HostVer = -1.0f;   // -1.0 when no version line was seen
    std::string UserMessage; // the modpack's "modinfo_usermessage=" value
};

// Writes the announcement to `path` (Windows-style, resolved through the file layer), replacing
// any earlier file. The content is the one older versions wrote: line ends stored as CR LF, an
// empty line in place of "FileSource=" when not shared, and the information text up to its first
// zero byte. False when the file cannot be written.
bool WriteHostAnnouncement(const std::string& path, const std::string& fileName, int32_t fileSize,
                           bool shared, const std::string& alternateSource, uint32_t fileSum,
                           const std::string& infoText);

// The announcement text exactly as WriteHostAnnouncement stores it.
std::string FormatHostAnnouncement(const std::string& fileName, int32_t fileSize, bool shared,
                                   const std::string& alternateSource, uint32_t fileSum,
                                   const std::string& infoText);

// Parses a fetched body. Never fails: what it cannot read keeps its default.
HostAnnouncement ParseHostAnnouncement(std::string_view body);
