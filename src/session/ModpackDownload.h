#pragma once
// The second half of the join path: fetching the hosted archive into Modpacks, with the progress
// dialog, the size and checksum checks, and the new entry in the list.
#include <chrono>
#include <cstdint>
#include <string>

#include "session/HostAnnouncement.h"

class JoinDialogs;
class ModpackList;

enum class DownloadResult {
    Done,    // the archive is in Modpacks and its entry is selected
    Failed,  // a message was shown, or the player cancelled; the join is abandoned
    Restart, // the host could not be reached; the host check starts over
};

// The slowest transfer that is kept going. A host that drips a byte now and then never trips the
// stall time-out, so once a transfer has run for kRateFloorGrace it is given up as soon as its
// average since it began falls below kRateFloor bytes a second. That is a fifth of what a modem
// delivers, and the grace lets a transfer through a slow start.
inline constexpr int64_t kRateFloor = 1024;
inline constexpr std::chrono::seconds kRateFloorGrace{60};
// The wall clock may be set while a download runs, and the computer may sleep; the download looks
// at the clock at least every kProgressPollInterval, so a longer step is such a jump and counts
// only this much.
inline constexpr std::chrono::seconds kLongestClockStep{5};

// The time a transfer has taken, on the program's clock (platform::Now, which tests move), and
// whether it is too slow.
class TransferPace {
  public:
    using TimePoint = std::chrono::system_clock::time_point;
    explicit TransferPace(TimePoint start) : m_last(start) {}
    // Takes the clock's reading and the bytes received so far. A step backwards counts as
    // nothing, a step forwards as kLongestClockStep at most.
    bool TooSlow(TimePoint now, int64_t received);
    std::chrono::milliseconds Elapsed() const { return m_elapsed; }

  private:
    TimePoint m_last;
    std::chrono::milliseconds m_elapsed{0};
};

// The address of the archive: the host itself when FileSource is exactly "HOST", otherwise
// FileSource + "/" + FileName, used as given.
std::string ModpackAddress(const HostAnnouncement& announcement, const std::string& hostAddress);

// Downloads announcement.FileName (which the caller has checked to be a plain file name) into
// Modpacks. The previous archive of that name is replaced only by a download that passed both
// checks (with a FileSum of 0, which a peer may send for any archive, the zip's own checksums of
// every member stand in for the sum); on any failure, and when the player cancels, it is left as
// it was and nothing else is left behind.
DownloadResult DownloadModpackFile(const HostAnnouncement& announcement,
                                   const std::string& hostAddress, ModpackList& list,
                                   JoinDialogs& dialogs);

// Removes what downloads interrupted by a kill or a crash left in Modpacks (their hidden
// temporary files), leaving alone the one a running Korvane is writing. Called at start.
void SweepInterruptedDownloads();
