#include "session/JoinDecision.h"

#include <cmath>
#include <cstdio>

#include "platform/GamePath.h"
#include "session/HostAnnouncement.h"

JoinDecision DecideJoin(bool inList, bool checksumMatches, bool shared) {
    if (!inList && shared)
        return {"You do not have the Modpack installed, but the host is sharing it.\n"
                "Select Join to download and join.",
                true, true};
    if (!inList)
        return {"Modpack not installed and host has not supplied.\n"
                "You may not connect to the game without installing the Modpack manually.",
                false, false};
    if (checksumMatches)
        return {"You already have the Modpack installed.\nYou may join without downloading.", true,
                false};
    if (shared)
        return {"Local file does not match hosted file.\n"
                "Select Join to download and overwrite your local version",
                true, true};
    return {"Your installed modpack does not match the hosted modpack, and the hosted modpack is "
            "not shared. You cannot join.",
            false, false};
}

std::string HostVersionText(float hostVer) {
    if (hostVer == 0.0f)
        return "1.0 beta 1";
    if (hostVer == 0.1f)
        return "1.0 beta 2";
    // A hostile host may announce anything; keep the arithmetic inside what a number can hold.
    if (!std::isfinite(hostVer) || std::fabs(hostVer) > 1.0e8f)
        return "unknown";
    const double v = hostVer; // exact, so v * 10 below is computed without rounding up
    const long long i = static_cast<long long>(std::trunc(v));
    const long long major = (i + 10) / 10;
    const long long r = static_cast<long long>(std::trunc(v * 10.0)) % 10;
    char text[128];
    if (r != 0)
        std::snprintf(text, sizeof text, "%0.0f.%0.0f beta %d", static_cast<double>(major),
                      static_cast<double>(i), static_cast<int>(r));
    else
        std::snprintf(text, sizeof text, "%0.0f.%0.0f", static_cast<double>(major),
                      static_cast<double>(i));
    return text;
}

std::string IncompatibleVersionMessage(float hostVer) {
    return std::string("Incompatible host version\n\nThis version is ") + kHostVersionText +
           "\nHost version is " + HostVersionText(hostVer) + "\n\nCheck " + kProjectWebPage +
           " for updates";
}

std::string PrepareUserMessage(std::string message) {
    std::string withoutCr;
    withoutCr.reserve(message.size());
    for (char c : message) {
        if (c != '\r')
            withoutCr += c;
    }
    std::string out;
    out.reserve(withoutCr.size() + withoutCr.size() / 8);
    for (std::size_t i = 0; i < withoutCr.size(); ++i) {
        if (withoutCr[i] == '\n') {
            out += "\r\n";
        } else if (withoutCr[i] == '\\' && i + 1 < withoutCr.size() && withoutCr[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += withoutCr[i];
        }
    }
    return out;
}

std::string ListNameOf(const std::string& fileName) {
    return fileName.size() > 4 ? fileName.substr(0, fileName.size() - 4) : std::string();
}

bool IsAcceptableModpackName(const std::string& fileName) {
    // U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
    for (std::size_t i = 0; i + 1 < fileName.size(); ++i) {
        if (fileName[i] == '\xC2' && static_cast<unsigned char>(fileName[i + 1]) <= 0x9F)
            return false;
    }
    return platform::IsPlainFileName(fileName) && fileName.front() != '.' &&
           !ListNameOf(fileName).empty();
}
