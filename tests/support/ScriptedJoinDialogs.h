#pragma once
// The join dialogs without a display: the host-check dialog answers from a script, the
// information dialog presses Join whenever it is enabled, and every call is recorded.
//
//   ScriptedJoinDialogs dialogs;
//   dialogs.hostCheckAnswers = {HostCheckResult::CheckHost, HostCheckResult::JoinNormal};
//   korvane.SetJoinDialogs(&dialogs);
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "session/JoinDialogs.h"

namespace testing_support {

class ScriptedJoinDialogs : public JoinDialogs {
  public:
    struct InfoCall {
        std::string statusText;
        std::string userMessage;
        bool joinAllowed = false;
    };

    // Answers of the host-check dialog, one per showing. When the script has run out the dialog
    // answers Cancel, so that a join that keeps restarting ends instead of looping for ever.
    std::deque<HostCheckResult> hostCheckAnswers;

    int hostChecks = 0;
    std::vector<InfoCall> infoCalls;
    int progressOpened = 0;
    int progressClosed = 0;
    uint32_t progressRange = 0;
    int progressUpdates = 0;
    uint32_t lastPosition = 0;
    bool positionsIncreasing = true; // every update was above the one before it
    int progressPolls = 0;
    // Asked at every look the download takes at the progress dialog, with the number of looks
    // so far; true presses Cancel. Unset: never pressed.
    std::function<bool(int)> onProgressPoll;

    HostCheckResult RunHostCheck() override;
    bool RunModpackInfo(const std::string& statusText, const std::string& userMessage,
                        bool joinAllowed) override;
    void OpenProgress() override;
    void SetProgressRange(uint32_t totalBytes) override;
    void SetProgressPosition(uint32_t receivedBytes) override;
    void CloseProgress() override;
    bool ProgressCancelRequested() override;
};

} // namespace testing_support
