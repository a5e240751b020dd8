// The join path's first half: ask the host what it plays, compare with what we have, let the
// player decide, and download when needed. A joiner trusts nothing the host sends: the host may
// be another program, out of date, broken or hostile.
#include <chrono>
#include <optional>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/FileSum.h"
#include "modpack/Korvane.h"
#include "platform/InternetClient.h"
#include "platform/MessageBoxes.h"
#include "session/HostAnnouncement.h"
#include "session/HostPort.h"
#include "session/JoinDecision.h"
#include "session/JoinDialogs.h"
#include "session/ModpackDownload.h"
#include "session/ModpackList.h"

using platform::ShowError;

namespace {

// A real announcement is a few kilobytes; whatever a host sends beyond this is not read.
constexpr std::size_t kMaxAnnouncement = 1024 * 1024;

enum class Outcome { Proceed, Abandon, Restart };

// The announcement's body, or nothing when the host could not be reached or stopped sending.
std::optional<std::string> FetchAnnouncement(const std::string& hostAddress) {
    const std::string address =
        "http://" + hostAddress + ":" + std::to_string(HostPort()) + "/giantshost.htm";
    platform::OpenResult opened = platform::OpenURL(address);
    if (!opened.stream) {
        Log("Could not open " + address + ": " + opened.detail);
        return std::nullopt;
    }
    // A host trickling a byte now and then never trips the stall time-out; the whole announcement
    // gets that same time at most, far more than a real one of a few kilobytes needs.
    const auto deadline = std::chrono::steady_clock::now() + platform::GetInternetTimeouts().stall;
    std::string body;
    char piece[1024];
    while (body.size() < kMaxAnnouncement) {
        if (std::chrono::steady_clock::now() > deadline) {
            Log("The announcement from " + address + " took too long");
            return std::nullopt;
        }
        const std::size_t wanted = std::min(sizeof piece, kMaxAnnouncement - body.size());
        const platform::ReadResult got = opened.stream->Read(piece, wanted);
        if (got.status == platform::ReadStatus::End)
            break;
        if (got.status != platform::ReadStatus::Data) {
            Log("The announcement from " + address + " broke off");
            return std::nullopt;
        }
        body.append(piece, got.count);
    }
    opened.stream->Close();
    return body;
}

// The player's answer in the host-check dialog. Nothing when the host is to be asked; otherwise
// what the join does without asking it.
std::optional<Outcome> FollowHostCheck(CKorvane& korvane, JoinDialogs* dialogs, ModpackList& list) {
    const HostCheckResult choice = dialogs ? dialogs->RunHostCheck() : HostCheckResult::Failed;
    switch (choice) {
    case HostCheckResult::JoinNormal:
        list.SelectEntry(0);
        return Outcome::Proceed;
    case HostCheckResult::Cancel:
        return Outcome::Abandon;
    case HostCheckResult::TimedOut:
        korvane.m_bAutoJoined = true;
        return std::nullopt;
    case HostCheckResult::CheckHost:
        return std::nullopt;
    default:
        ShowError("Could not open KRV Check dialog");
        return Outcome::Abandon;
    }
}

// Refuses an announcement that names no version, another version or no modpack we could store.
// Nothing when the join goes on; the list then has entry 0 selected.
std::optional<Outcome> RefuseAnnouncement(const HostAnnouncement& announcement, bool acceptableName,
                                          ModpackList& list) {
    if (announcement.HostVer == -1.0f) {
        ShowError("Couldn't connect to host, host is not running KRV, or host may be behind a "
                  "firewall");
        return Outcome::Restart;
    }
    // Compared exactly: both sides read the version from the same text, which always gives the
    // same float, and any other text (0.41, 0.7) gives another.
    if (announcement.HostVer != kHostVersion) {
        ShowError(IncompatibleVersionMessage(announcement.HostVer));
        return Outcome::Abandon;
    }
    list.SelectEntry(0);
    if (!acceptableName) {
        if (!announcement.FileName.empty())
            Log("Refused the announced file name \"" + announcement.FileName + "\"");
        ShowError("Could not determine remote modpack");
        return Outcome::Abandon;
    }
    return std::nullopt;
}

// The hosted modpack against ours: its entry, when the list has one, is selected and its
// archive's checksum compared with the announced one.
JoinDecision DecideAgainstList(const HostAnnouncement& announcement, ModpackList& list) {
    const int entry = list.FindEntry(ListNameOf(announcement.FileName));
    bool checksumMatches = false;
    if (entry >= 0) {
        list.SelectEntry(entry);
        // A FileSum of 0 is compared like any other: an archive of ours whose sum is not 0 does
        // not match it, so the player takes the host's copy rather than join with one the host
        // cannot vouch for.
        checksumMatches = GetFileSum(g_strKorvaneDir + "\\Modpacks\\" + announcement.FileName) ==
                          announcement.FileSum;
    }
    return DecideJoin(entry >= 0, checksumMatches, !announcement.FileSource.empty());
}

Outcome OutcomeOf(DownloadResult result) {
    switch (result) {
    case DownloadResult::Done:
        return Outcome::Proceed;
    case DownloadResult::Restart:
        return Outcome::Restart;
    case DownloadResult::Failed:
        break;
    }
    return Outcome::Abandon;
}

Outcome CheckHostOnce(CKorvane& korvane, ModpackList& list, const std::string& hostAddress,
                      CLevelInfo& info) {
    // Under the name of the operation the player started, and on every round: a trace shows one
    // "CKorvane::DownloadLevel()" each time the host was checked, as traces always have.
    Log("CKorvane::DownloadLevel()");
    info.fileName.clear();
    if (korvane.m_bAutoJoined)
        return Outcome::Proceed;

    JoinDialogs* dialogs = korvane.GetJoinDialogs();
    if (const std::optional<Outcome> answered = FollowHostCheck(korvane, dialogs, list))
        return *answered;

    const std::optional<std::string> body = FetchAnnouncement(hostAddress);
    if (!body) {
        if (!korvane.m_bAutoJoined)
            ShowError("Couldn't connect to host (host likely not running KRV)\n"
                      "If you joined from a lobby, wait for host to start game");
        return Outcome::Restart;
    }
    const HostAnnouncement announcement = ParseHostAnnouncement(*body);
    // The name becomes a path in Modpacks: only a plain file name is taken from the host.
    const bool acceptableName = IsAcceptableModpackName(announcement.FileName);
    if (acceptableName)
        info.fileName = announcement.FileName;
    if (const std::optional<Outcome> refused =
            RefuseAnnouncement(announcement, acceptableName, list))
        return *refused;

    const std::string userMessage = announcement.UserMessage.empty()
                                        ? std::string()
                                        : PrepareUserMessage(announcement.UserMessage);
    const JoinDecision decision = DecideAgainstList(announcement, list);
    // Join is disabled when it is not allowed; a dialog that let it through anyway must not
    // start a download the host never offered.
    if (!korvane.ShowModpackInfo(decision.statusText, userMessage, decision.joinAllowed) ||
        !decision.joinAllowed)
        return Outcome::Abandon;
    if (!decision.needsDownload)
        return Outcome::Proceed;
    return OutcomeOf(DownloadModpackFile(announcement, hostAddress, list, *dialogs));
}

} // namespace

bool CKorvane::DownloadLevel(ModpackList& list, std::string hostAddress, CLevelInfo& info) {
    // A restart runs the whole check again: the host-check dialog lets the player retry, join
    // without a modpack or cancel, and in automatic mode the next round proceeds at once.
    for (;;) {
        switch (CheckHostOnce(*this, list, hostAddress, info)) {
        case Outcome::Proceed:
            return true;
        case Outcome::Abandon:
            return false;
        case Outcome::Restart:
            break;
        }
    }
}
