#pragma once
// The pure parts of the join path: the decision shown in the modpack information dialog, the
// texts built from what a host announced, and the checks a joiner makes before trusting it.
#include <string>

// Where players look for a newer version when a host speaks another announcement version.
inline constexpr const char* kProjectWebPage = "https://github.com/korvane/korvane";

struct JoinDecision {
    std::string statusText;
    bool joinAllowed = true;
    bool needsDownload = false; // otherwise Join proceeds with the local modpack as it is
};

// The decision table: whether the list holds the modpack, whether its archive's checksum equals
// the announced one (only looked at when it does), and whether the host shares it.
JoinDecision DecideJoin(bool inList, bool checksumMatches, bool shared);

// How an older (or newer) host's version number reads to the player: 0.3 is "1.0 beta 3",
// 1.0 is "1.1", 2.5 is "1.2 beta 5".
std::string HostVersionText(float hostVer);
std::string IncompatibleVersionMessage(float hostVer);

// The user message as a multi-line text box shows it: CR LF line ends, "\n" written out by the
// modpack's author taken as a line end.
std::string PrepareUserMessage(std::string message);

// The list entry of an archive: its file name without the last four characters (".gck").
std::string ListNameOf(const std::string& fileName);

// True when an announced (decoded) file name may become a file in Modpacks: a plain name (no
// directory part, "..", slash, backslash, colon or control character, the C1 controls that
// undefined Windows-1252 bytes decode to included), not hidden (no leading dot: ".bashrc", or
// the name of a download in progress), that leaves a list name.
bool IsAcceptableModpackName(const std::string& fileName);
