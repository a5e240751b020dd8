#pragma once
// The dialogs of the join path, as the core sees them. The Qt front end implements this with the
// real dialogs; tests use a scripted fake.
//
// Order of calls during one join: RunHostCheck (again after each restart), then ShowModpackInfo
// at most once, then, when a download runs, OpenProgress, SetProgressRange, SetProgressPosition
// for every piece received and ProgressCancelRequested while waiting for the host and between
// pieces, and CloseProgress (also when the download fails or is cancelled).
#include <chrono>
#include <cstdint>
#include <string>

// The longest the download leaves the progress dialog without a look while it waits for data.
inline constexpr std::chrono::milliseconds kProgressPollInterval{100};

enum class HostCheckResult {
    CheckHost = 0,  // "Join KRV..."
    JoinNormal = 1, // "Join Normal"
    Cancel = 2,     // "Cancel", the close box or Escape
    TimedOut = 3,   // the auto-join countdown ran out
    Failed = -1,    // the dialog could not be shown
};

class JoinDialogs {
  public:
    virtual ~JoinDialogs() = default;

    // The host-check dialog, modal; runs the auto-join countdown from g_bAutoJoin and
    // g_nSecondsToJoin and writes AutoJoin to the settings on each showing and click.
    virtual HostCheckResult RunHostCheck() = 0;

    // The modpack information dialog, modal. True when the player pressed Join (only possible
    // when joinAllowed is true).
    virtual bool RunModpackInfo(const std::string& statusText, const std::string& userMessage,
                                bool joinAllowed) = 0;

    // The download progress dialog, modeless, parented to the main window.
    virtual void OpenProgress() = 0;
    virtual void SetProgressRange(uint32_t totalBytes) = 0;
    virtual void SetProgressPosition(uint32_t receivedBytes) = 0;
    virtual void CloseProgress() = 0;
    // Called between pieces and, while the host is asked or sends nothing, at least every
    // kProgressPollInterval: keeps the dialog painted and tells whether the player asked to stop
    // the download (its Cancel button, Escape or the close box). Once true, it stays true until
    // the dialog closes.
    virtual bool ProgressCancelRequested() { return false; }
};
