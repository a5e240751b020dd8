#include "app/RunLog.h"
#include "modpack/Korvane.h"
#include "session/JoinDialogs.h"

bool CKorvane::ShowModpackInfo(const std::string& statusText, const std::string& userMessage,
                               bool joinAllowed) {
    Log("CKorvane::ShowModpackInfo()");
    // Without dialogs there is no one to press Join, as with a dialog that could not be shown.
    JoinDialogs* dialogs = GetJoinDialogs();
    return dialogs != nullptr && dialogs->RunModpackInfo(statusText, userMessage, joinAllowed);
}
