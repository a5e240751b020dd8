#include "ScriptedJoinDialogs.h"

namespace testing_support {

HostCheckResult ScriptedJoinDialogs::RunHostCheck() {
    ++hostChecks;
    if (hostCheckAnswers.empty())
        return HostCheckResult::Cancel;
    const HostCheckResult answer = hostCheckAnswers.front();
    hostCheckAnswers.pop_front();
    return answer;
}

bool ScriptedJoinDialogs::RunModpackInfo(const std::string& statusText,
                                         const std::string& userMessage, bool joinAllowed) {
    infoCalls.push_back({statusText, userMessage, joinAllowed});
    return joinAllowed;
}

void ScriptedJoinDialogs::OpenProgress() {
    ++progressOpened;
}

void ScriptedJoinDialogs::SetProgressRange(uint32_t totalBytes) {
    progressRange = totalBytes;
}

void ScriptedJoinDialogs::SetProgressPosition(uint32_t receivedBytes) {
    if (progressUpdates > 0 && receivedBytes <= lastPosition)
        positionsIncreasing = false;
    ++progressUpdates;
    lastPosition = receivedBytes;
}

void ScriptedJoinDialogs::CloseProgress() {
    ++progressClosed;
}

bool ScriptedJoinDialogs::ProgressCancelRequested() {
    ++progressPolls;
    return onProgressPoll && onProgressPoll(progressPolls);
}

} // namespace testing_support
