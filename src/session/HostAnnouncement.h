#pragma once
// giantshost.htm: the small key=value text through which a host tells a joining player which
// modpack it plays, where to get it and which announcement version it speaks.
//
// The writer's output is fixed byte for byte (older Korvane versions read it); the reader is
// lenient in the same ways older readers were: keys without regard to case, the last occurrence
// of a key wins, numbers read the way scanf reads them.
//
// Windows peers write and read it in their code page (Windows-1252), and numbers always with a
// decimal point: both sides go through the one rule of platform/WindowsText.h and the locale-free
// numbers of platform/Numbers.h, whatever the user's locale.
#include <cstdint>
#include <string>
#include <string_view>

// The announcement version this program writes and accepts, and its display text.
inline constexpr float kHostVersion = 0.4f;
inline constexpr const char* kHostVersionText = "1.0 beta 4b (2nd February 2002)";

struct HostAnnouncement {
    std::string FileName;    // archive file name with extension, decoded to UTF-8 (not yet checked)
    int32_t FileSize = 0;    // archive size in bytes
    std::string FileSource;  // "" = not shared, "HOST" = from the host, else a URL prefix
    uint32_t FileSum = 0;    // GetFileSum of the archive
    float HostVer = -1.0f;   // -1.0 when no version line was seen
    std::string UserMessage; // the modpack's "modinfo_usermessage=" value, decoded to UTF-8
    // FileName's bytes exactly as announced: a host serves the archive under these (a Windows host
    // under its Windows-1252 name), so the download asks for them.
    std::string FileNameAsSent;
};

// Writes the announcement to `path` (Windows-style, resolved through the file layer), replacing
// any earlier file. The content is the one older versions wrote: line ends stored as CR LF, an
// empty line in place of "FileSource=" when not shared, and the information text up to its first
// zero byte. The file name and the information text (UTF-8 here) go out in Windows-1252 when they
// have a form there (AnnouncedName), so that Windows peers read them. False when the file cannot
// be written.
bool WriteHostAnnouncement(const std::string& path, const std::string& fileName, int32_t fileSize,
                           bool shared, const std::string& alternateSource, uint32_t fileSum,
                           const std::string& infoText);

// The name under which a modpack is announced and served: Windows-1252 when it fits, else UTF-8.
std::string AnnouncedName(const std::string& fileName);

// The announcement text exactly as WriteHostAnnouncement stores it.
std::string FormatHostAnnouncement(const std::string& fileName, int32_t fileSize, bool shared,
                                   const std::string& alternateSource, uint32_t fileSum,
                                   const std::string& infoText);

// Parses a fetched body. Never fails: what it cannot read keeps its default. Only the line end's
// carriage returns are dropped: one inside a name is kept, so that the name is refused.
HostAnnouncement ParseHostAnnouncement(std::string_view body);
