#pragma once
// The engine: reads modpack archives, installs one into the game with backups, and puts the game
// back. All state between an installation and its restoration lives on disk (RemoveList.txt,
// KRVBackup, the world list), so RestoreGiants can run at any time, also after a crash.
#include <cstdint>
#include <list>
#include <string>

#include "modpack/LevelInfo.h"

class JoinDialogs;  // session/JoinDialogs.h: the host-check, information and progress dialogs
class ModpackList;  // session/ModpackList.h: the main dialog's list, as the join path sees it

class CKorvane {
public:
    CKorvane();
    virtual ~CKorvane();

    // Catalogue: reads the .krv information of own + "\Modpacks\" + fileName into info.
    bool GetKRVInfoFromGCK(std::string fileName, CLevelInfo& info);

    // Installation and restoration.
    bool InstallLevel(const CLevelInfo& info);
    bool ExtractModpack(const CLevelInfo& info);
    bool BackupAndCopy(const std::string& fileName);
    bool EditWorldlist(const CLevelInfo& info);
    bool RestoreGiants();
    bool RestoreOrBackup(const std::string& fileName);

    // Join path: asks the host what it plays, downloads the modpack when needed, and leaves the
    // modpack to install selected in the list. Defined with the session code.
    bool DownloadLevel(ModpackList& list, std::string hostAddress, CLevelInfo& info);
    bool ShowModpackInfo(const std::string& statusText, const std::string& userMessage,
                         bool joinAllowed);
    // The dialogs of the join path (not owned); the front end installs its own, tests a fake.
    void SetJoinDialogs(JoinDialogs* dialogs) { m_dialogs = dialogs; }
    JoinDialogs* GetJoinDialogs() const { return m_dialogs; }

    bool m_bAutoJoined = false;
    std::list<std::string> m_removeList;

private:
    JoinDialogs* m_dialogs = nullptr;
};
