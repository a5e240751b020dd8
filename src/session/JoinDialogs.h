#pragma once
// The dialogs of the join path, as the core sees them. The Qt front end implements this with the
// real dialogs; tests use a scripted fake.
//
// Order of calls during one join: RunHostCheck (again after each restart), then ShowModpackInfo
// at most once, then, when a download runs, OpenProgress, SetProgressRange, SetProgressPosition
// for every piece received, and CloseProgress (also when the download fails).
#include <cstdint>
#include <string>

enum class HostCheckResult {
    CheckHost = 0,   // "Join KRV..."
    JoinNormal = 1,  // "Join Normal"
    Cancel = 2,      // "Cancel", the close box or Escape
    TimedOut = 3,    // the auto-join countdown ran out
    Failed = -1,     // the dialog could not be shown
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

    // The download progress dialog, modeless, parented to the main window. It offers no cancel.
    virtual void OpenProgress() = 0;
    virtual void SetProgressRange(uint32_t totalBytes) = 0;
    virtual void SetProgressPosition(uint32_t receivedBytes) = 0;
    virtual void CloseProgress() = 0;
};
