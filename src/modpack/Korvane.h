#pragma once
// The engine: reads modpack archives, installs one into the game with backups, and puts the game
// back. All state between an installation and its restoration lives on disk (RemoveList.txt,
// KRVBackup, the world list), so RestoreGiants can run at any time, also after a crash.
#include <array>
#include <cstdint>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "modpack/FileSum.h"
#include "modpack/LevelInfo.h"

class JoinDialogs; // session/JoinDialogs.h: the host-check, information and progress dialogs
class ModpackList; // session/ModpackList.h: the main dialog's list, as the join path sees it

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
    // The world table of an information text: entry 0 is "intro_island", the modpack's worlds
    // follow (at most kMaxWorlds entries in all).
    static constexpr int kMaxWorlds = 32;
    bool GetMapArray(const std::string& infoText, std::array<std::string, kMaxWorlds>& names,
                     std::array<int32_t, kMaxWorlds>& types, int& count);
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
    // What one installation knows about a destination folder: its entries by lower-cased name.
    struct FolderEntry {
        std::string name; // as on disk
        bool isDirectory = false;
    };
    using FolderIndex = std::map<std::string, FolderEntry>;
    // How a game file came to be safe before it is overwritten.
    enum class Backup { Failed, Kept, Moved, Copied };

    FolderIndex* IndexOf(const std::string& folder);
    static std::string DestinationFolder(const std::string& fileName);
    bool PlanAdditions(const std::vector<std::string>& fileNames);
    bool RecordAddition(const std::string& fileName);
    bool WriteRemoveList(std::vector<std::string> names);
    Backup BackupGameFile(const std::string& folder, const std::string& nameOnDisk);
    bool InstallFile(const std::string& fileName, const std::string& folder);
    bool InstallCompanion(const std::string& companion);

    JoinDialogs* m_dialogs = nullptr;
    // State of the running installation, reset by ExtractModpack.
    std::map<std::string, FolderIndex> m_folders; // destination folder -> its entries
    std::set<std::string> m_recorded;             // lower-cased names on disk in RemoveList.txt
    std::vector<std::string> m_recordedNames;     // the same, newest first
    std::vector<std::string> m_leftoverNames;     // listed before this installation began
};
