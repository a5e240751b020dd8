#include "session/HostingSession.h"

#include <cstdint>
#include <limits>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "httpd/HostedModpack.h"
#include "httpd/WebServer.h"
#include "modpack/FileSum.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"
#include "platform/SystemCalls.h"
#include "session/HostAnnouncement.h"

using platform::ShowError;

bool ServeLevel(bool share, std::string alternateSource, const CLevelInfo& info) {
    Log("ServeLevel()");
    const std::string shareDir = g_strKorvaneDir + "\\Share";
    // Whatever an earlier run left here (killed while hosting) goes first: the server answers for
    // the hosted archive's name, and a stale shared copy must not be handed out by a host that
    // does not share it this time.
    RemoveFiles(shareDir);
    Log("Creating file server thread");

    const std::string archive = g_strKorvaneDir + "\\Modpacks\\" + info.fileName;
    struct stat status {};
    if (!platform::sys::Status(platform::ResolvePath(archive), status)) {
        // "Could get status", without a "not", is how every earlier version said it; players'
        // reports and the tools that match our messages know it by these words.
        ShowError("Could get status for " + info.fileName);
        return false;
    }
    // The announcement carries the size as a signed 32-bit number; a larger archive would be
    // announced with a wrong (even negative) size that no joiner could download.
    if (status.st_size > std::numeric_limits<int32_t>::max()) {
        ShowError("Modpack is too large to host (2 GB at most): " + info.fileName);
        return false;
    }
    const auto fileSize = static_cast<int32_t>(status.st_size);

    if (share) {
        if (info.shareable == 0) {
            ShowError("Modpack not sharable !");
            return false;
        }
        // Served under the name it is announced by, which a Windows joiner asks for in its own
        // code page; Share is our own folder, emptied after the game, so the name never shows.
        if (!platform::Files().CopyFile(archive, shareDir + "\\" + AnnouncedName(info.fileName),
                                        platform::Overwrite::Yes)) {
            ShowError("Unable to create share copy of Modpack");
            return false;
        }
    }
    g_strHostedModpack = AnnouncedName(info.fileName);

    const std::string announcementPath = g_strKorvaneDir + "\\Share\\giantshost.htm";
    const uint32_t fileSum = GetFileSum(archive);
    if (!WriteHostAnnouncement(announcementPath, info.fileName, fileSize, share, alternateSource,
                               fileSum, info.infoText)) {
        // Without the announcement a server would only tell joiners that no Korvane runs here.
        ShowError("Could not create " + announcementPath + "\n" + platform::LastErrorText());
        return false;
    }
    Log("Opened giantshost.htm for output");
    Log("Closed giantshost.htm");

    StartWebServer();
    return true;
}

void StopServing() {
    // Names ServeLevel, not StopServing: Korvane has always written this line here, and the
    // hosts' traces that players send us, as well as our own trace tests, find the end of hosting
    // by it.
    Log("ServeLevel()");
    g_HttpServer.StopListener();
    g_HttpServer.WaitListener();
    RemoveFiles(g_strKorvaneDir + "\\Share");
    Log("Web server has shut down...");
}
