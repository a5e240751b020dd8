#pragma once
// The second half of the join path: fetching the hosted archive into Modpacks, with the progress
// dialog, the size and checksum checks, and the new entry in the list.
#include <cstdint>
#include <string>

#include "session/HostAnnouncement.h"

class JoinDialogs;
class ModpackList;

enum class DownloadResult {
    Done,    // the archive is in Modpacks and its entry is selected
    Failed,  // a message was shown; the join is abandoned
    Restart, // the host could not be reached; the host check starts over
};

// The address of the archive: the host itself when FileSource is exactly "HOST", otherwise
// FileSource + "/" + FileName, used as given.
std::string ModpackAddress(const HostAnnouncement& announcement, const std::string& hostAddress);

// Downloads announcement.FileName (which the caller has checked to be a plain file name) into
// Modpacks. The previous archive of that name is replaced only by a download that passed both
// checks; on any failure it is left as it was and nothing else is left behind.
DownloadResult DownloadModpackFile(const HostAnnouncement& announcement,
                                   const std::string& hostAddress, ModpackList& list,
                                   JoinDialogs& dialogs);
