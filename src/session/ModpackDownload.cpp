#include "session/ModpackDownload.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/FileSum.h"
#include "platform/Clock.h"
#include "platform/GamePath.h"
#include "platform/InternetClient.h"
#include "platform/MessageBoxes.h"
#include "session/HostPort.h"
#include "session/JoinDecision.h"
#include "session/JoinDialogs.h"
#include "session/ModpackList.h"
#include "session/PartialDownload.h"

using platform::ShowError;

namespace {

// The archive is read from the network in pieces of this size, one progress step each.
constexpr std::size_t kPiece = 1024;

constexpr const char* kCannotWrite = "Error - could not write into Modpack directory";
constexpr const char* kCancelledNote = "The player cancelled the download";

// Keeps the progress dialog up for exactly as long as the transfer and its checks run.
class ProgressDialog {
  public:
    explicit ProgressDialog(JoinDialogs& dialogs) : m_dialogs(dialogs) { m_dialogs.OpenProgress(); }
    ~ProgressDialog() { m_dialogs.CloseProgress(); }
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

  private:
    JoinDialogs& m_dialogs;
};

std::string StallMessage() {
    const auto seconds =
        std::chrono::ceil<std::chrono::seconds>(platform::GetInternetTimeouts().stall).count();
    return "Error, could not download Modpack correctly, the host stopped sending (nothing "
           "received for " +
           std::to_string(seconds) + (seconds == 1 ? " second)" : " seconds)");
}

std::string TooSlowMessage(std::chrono::milliseconds elapsed, int64_t received) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    return "Error, could not download Modpack correctly, the host sends too slowly (" +
           std::to_string(received) + " bytes in " + std::to_string(seconds) +
           " seconds; at least " + std::to_string(kRateFloor) + " bytes a second are needed)";
}

enum class ArchiveCheck { Intact, Damaged, Stopped };

// Reads every member of the zip archive at `path` to its end, which makes libzip compare each
// with its stored CRC. Encrypted members and unknown methods cannot be checked, so they count as
// damaged: such an archive could not be installed anyway. The archive is opened as the engine
// opens it, without stricter structure checks that old zip tools' archives might not pass.
// `keepGoing` is asked between pieces.
ArchiveCheck CheckArchiveMembers(const std::string& path, const std::function<bool()>& keepGoing) {
    int code = 0;
    zip_t* opened = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (opened == nullptr) {
        Log("The download is no zip archive (libzip error " + std::to_string(code) + ")");
        return ArchiveCheck::Damaged;
    }
    const std::unique_ptr<zip_t, decltype(&zip_discard)> archive(opened, &zip_discard);
    const zip_int64_t count = zip_get_num_entries(opened, 0);
    std::vector<char> piece(64 * 1024);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_file_t* openedMember = zip_fopen_index(opened, static_cast<zip_uint64_t>(i), 0);
        if (openedMember == nullptr) {
            Log("Member " + std::to_string(i) + " of the download: " + zip_strerror(opened));
            return ArchiveCheck::Damaged;
        }
        const std::unique_ptr<zip_file_t, decltype(&zip_fclose)> member(openedMember, &zip_fclose);
        for (;;) {
            if (!keepGoing())
                return ArchiveCheck::Stopped;
            const zip_int64_t got = zip_fread(openedMember, piece.data(), piece.size());
            if (got < 0) {
                Log("Member " + std::to_string(i) +
                    " of the download: " + zip_file_strerror(openedMember));
                return ArchiveCheck::Damaged;
            }
            if (got == 0)
                break;
        }
    }
    return ArchiveCheck::Intact;
}

} // namespace

bool TransferPace::TooSlow(TimePoint now, int64_t received) {
    using std::chrono::milliseconds;
    if (now > m_last)
        m_elapsed += std::min(std::chrono::duration_cast<milliseconds>(now - m_last),
                              milliseconds(kLongestClockStep));
    m_last = now;
    return m_elapsed >= kRateFloorGrace && received * 1000 < kRateFloor * m_elapsed.count();
}

std::string ModpackAddress(const HostAnnouncement& announcement, const std::string& hostAddress) {
    // The host serves the archive under the bytes it announced (Windows-1252 from a Windows host),
    // not under the UTF-8 name it is stored by here.
    const std::string& name =
        announcement.FileNameAsSent.empty() ? announcement.FileName : announcement.FileNameAsSent;
    if (announcement.FileSource == "HOST")
        return "http://" + hostAddress + ":" + std::to_string(HostPort()) + "/" +
               platform::EncodePathSegment(name);
    return announcement.FileSource + "/" + platform::EncodePathSegment(name);
}

namespace {

// The archive's stream, or, when there is none, what the join does next.
struct OpenedArchive {
    std::unique_ptr<platform::InternetStream> stream;
    DownloadResult failure = DownloadResult::Failed;
};

// Asks the host (or the alternate location) for the archive; the player's Cancel is heard while
// it has not answered. Shows why when there is no stream, except after a Cancel.
OpenedArchive OpenArchive(const std::string& address, JoinDialogs& dialogs) {
    Log("Downloading " + address);
    platform::OpenResult opened = platform::OpenURL(
        address, kProgressPollInterval, [&dialogs] { return !dialogs.ProgressCancelRequested(); });
    if (opened.failure == platform::OpenFailure::Cancelled) {
        Log(kCancelledNote);
        return {nullptr, DownloadResult::Failed};
    }
    if (opened.failure == platform::OpenFailure::ConnectionFailed) {
        Log("Connection failed: " + opened.detail);
        // Shown in automatic mode too, unlike the host check's: the host answered a moment ago,
        // so a download that cannot connect is news the player should see before the new round.
        ShowError("Couldn't connect to host (host likely not running KRV)\n"
                  "If you joined from a lobby, wait for host to start game");
        return {nullptr, DownloadResult::Restart};
    }
    if (!opened.stream) {
        Log("No stream: " + opened.detail);
        ShowError("Couldn't download file");
        return {nullptr, DownloadResult::Failed};
    }
    return {std::move(opened.stream)};
}

// Creates the download's temporary file in `modpacks`. The old archive stays until the new one
// has passed its checks, so both must fit at once. Shows why when the download cannot start.
bool StartLocalCopy(PartialDownload& local, const std::string& modpacks,
                    const HostAnnouncement& announcement) {
    if (!local.Create(modpacks, announcement.FileName)) {
        ShowError(kCannotWrite);
        return false;
    }
    const auto freeSpace = PartialDownload::FreeSpace(modpacks);
    if (freeSpace && *freeSpace < static_cast<uint64_t>(announcement.FileSize)) {
        ShowError("Not enough free disk space to download the Modpack: " +
                  std::to_string(announcement.FileSize) + " bytes needed, " +
                  std::to_string(*freeSpace) + " bytes free in " + modpacks);
        return false;
    }
    return true;
}

// How the body's transfer ended.
struct Transfer {
    // 64 bits, so that a body far longer than announced cannot wrap the count.
    int64_t received = 0;
    platform::ReadStatus ending = platform::ReadStatus::End;
    bool writeFailed = false;
    enum class Stop { No, Cancelled, TooSlow } stop = Stop::No;
    std::chrono::milliseconds elapsed{0};
};

// Copies the body to `local` piece by piece, moving the progress bar. The transfer is given up
// as soon as it exceeds the announced size, since it can no longer pass the size check.
Transfer ReceiveBody(platform::InternetStream& remote, PartialDownload& local,
                     int64_t announcedSize, JoinDialogs& dialogs) {
    Transfer transfer;
    TransferPace pace(platform::Now());
    char piece[kPiece];
    for (;;) {
        // Looked at between pieces and, while the host is silent, every kProgressPollInterval.
        if (dialogs.ProgressCancelRequested()) {
            transfer.stop = Transfer::Stop::Cancelled;
            break;
        }
        if (pace.TooSlow(platform::Now(), transfer.received)) {
            transfer.stop = Transfer::Stop::TooSlow;
            break;
        }
        const platform::ReadResult got = remote.Read(piece, sizeof piece, kProgressPollInterval);
        if (got.status == platform::ReadStatus::Waiting)
            continue;
        if (got.status != platform::ReadStatus::Data) {
            transfer.ending = got.status;
            break;
        }
        transfer.received += static_cast<int64_t>(got.count);
        if (transfer.received > announcedSize)
            break;
        dialogs.SetProgressPosition(static_cast<uint32_t>(transfer.received));
        if (!local.Write(std::string_view(piece, got.count))) {
            transfer.writeFailed = true;
            break;
        }
    }
    transfer.elapsed = pace.Elapsed();
    return transfer;
}

// A transfer stopped before the body ended: by the player, which needs no message, or for being
// too slow.
void ReportStop(const Transfer& transfer) {
    if (transfer.stop == Transfer::Stop::Cancelled)
        Log(kCancelledNote);
    else
        ShowError(TooSlowMessage(transfer.elapsed, transfer.received));
}

// Closes the download's file, synced first when it is to replace an archive the player has.
bool FinishLocalCopy(PartialDownload& local, const std::string& target) {
    struct stat existing {};
    return local.Finish(platform::sys::Status(target, existing)
                            ? PartialDownload::Durability::Synced
                            : PartialDownload::Durability::Unsynced);
}

// Whether the finished download at `path` may replace the player's archive: every byte arrived
// and was written, and they add up to the announced sum. Shows why not, except after a Cancel.
bool PassesChecks(const Transfer& transfer, bool finished, const std::string& path,
                  const HostAnnouncement& announcement, JoinDialogs& dialogs) {
    if (transfer.writeFailed || (!finished && transfer.ending == platform::ReadStatus::End)) {
        ShowError(kCannotWrite);
        return false;
    }
    if (transfer.ending == platform::ReadStatus::TimedOut) {
        ShowError(StallMessage());
        return false;
    }
    // A connection that broke off is reported as the size mismatch it is, even in the unlikely
    // case that the bytes received up to then happen to add up to the announced size.
    if (transfer.received != announcement.FileSize ||
        transfer.ending == platform::ReadStatus::Broken) {
        ShowError("Error, could not download Modpack correctly, downloaded size does not match");
        return false;
    }
    if (announcement.FileSum != 0 && GetFileSum(path) != announcement.FileSum) {
        ShowError("Checksum error on downloaded file");
        return false;
    }
    // A sum of 0 is what a peer announces when it has none, so it proves nothing: the zip's own
    // checksums decide whether the download may replace what the player has.
    if (announcement.FileSum == 0) {
        const ArchiveCheck check =
            CheckArchiveMembers(path, [&dialogs] { return !dialogs.ProgressCancelRequested(); });
        if (check == ArchiveCheck::Stopped) {
            Log(kCancelledNote);
            return false;
        }
        if (check == ArchiveCheck::Damaged) {
            ShowError("Checksum error on downloaded file");
            return false;
        }
    }
    return true;
}

} // namespace

DownloadResult DownloadModpackFile(const HostAnnouncement& announcement,
                                   const std::string& hostAddress, ModpackList& list,
                                   JoinDialogs& dialogs) {
    const std::string& fileName = announcement.FileName;
    if (announcement.FileSize < 0) {
        ShowError("Error, the host announced an invalid Modpack size (" +
                  std::to_string(announcement.FileSize) + " bytes)");
        return DownloadResult::Failed;
    }

    // The dialog is up while the host is asked, too, so that a host slow to answer can be
    // cancelled and the window paints meanwhile.
    ProgressDialog progress(dialogs);
    dialogs.SetProgressRange(static_cast<uint32_t>(announcement.FileSize));

    const OpenedArchive opened = OpenArchive(ModpackAddress(announcement, hostAddress), dialogs);
    if (!opened.stream)
        return opened.failure;
    platform::InternetStream& remote = *opened.stream;

    const std::string modpacks = platform::ResolvePath(g_strKorvaneDir + "\\Modpacks");
    PartialDownload local;
    if (!StartLocalCopy(local, modpacks, announcement))
        return DownloadResult::Failed;

    const Transfer transfer = ReceiveBody(remote, local, announcement.FileSize, dialogs);
    if (transfer.stop != Transfer::Stop::No) {
        // The partial file goes with `local`; the archive the player had stays as it was.
        remote.Close();
        ReportStop(transfer);
        return DownloadResult::Failed;
    }
    const std::string target = platform::ResolvePath(g_strKorvaneDir + "\\Modpacks\\" + fileName);
    const bool finished = FinishLocalCopy(local, target);
    remote.Close();

    if (!PassesChecks(transfer, finished, local.TemporaryPath(), announcement, dialogs))
        return DownloadResult::Failed;
    if (!local.Commit(target)) {
        ShowError(kCannotWrite);
        return DownloadResult::Failed;
    }

    const std::string listName = ListNameOf(fileName);
    if (list.FindEntry(listName) < 0)
        list.SelectEntry(list.AppendEntry(listName));
    return DownloadResult::Done;
}

void SweepInterruptedDownloads() {
    if (g_strKorvaneDir.empty())
        return;
    PartialDownload::SweepLeftovers(platform::ResolvePath(g_strKorvaneDir + "\\Modpacks"));
}
