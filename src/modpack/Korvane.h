#pragma once
// The engine: reads modpack archives, installs one into the game with backups, and puts the game
// back. All state between an installation and its restoration lives on disk (RemoveList.txt,
// KRVBackup, the world list), so RestoreGiants can run at any time, also after a crash.
#include <array>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "modpack/FileSum.h"
#include "modpack/GameFolderLock.h"
#include "modpack/GameFolders.h"
#include "modpack/LevelInfo.h"
#include "platform/FileSystem.h"

class JoinDialogs; // session/JoinDialogs.h: the host-check, information and progress dialogs
class ModpackList; // session/ModpackList.h: the main dialog's list, as the join path sees it

class CKorvane {
  public:
    CKorvane();
    virtual ~CKorvane();

    // Catalogue: reads the .krv information of own + "\Modpacks\" + fileName into info.
    bool GetKRVInfoFromGCK(std::string fileName, CLevelInfo& info);
    // The most bytes the catalogue extracts from one archive: its .krv files together. Real
    // information files are a few hundred bytes (a comment and at most 31 worlds); a megabyte is
    // a thousand times that, small enough to read at every start for every archive and to leave
    // any disk alone, while an archive that inflates past it is left out of the list.
    static constexpr uint64_t kInfoByteLimit = 1024 * 1024;

    // Installation and restoration.
    bool InstallLevel(const CLevelInfo& info);
    bool ExtractModpack(const CLevelInfo& info);
    // Puts one complete member of the modpack, written as `file` in its game folder, in place.
    bool BackupAndCopy(const std::string& fileName, platform::PendingFile& file);
    bool EditWorldlist(const CLevelInfo& info);
    // The world table of an information text: entry 0 is "intro_island", the modpack's worlds
    // follow (at most kMaxWorlds entries in all).
    static constexpr int kMaxWorlds = 32;
    bool GetMapArray(const std::string& infoText, std::array<std::string, kMaxWorlds>& names,
                     std::array<int32_t, kMaxWorlds>& types, int& count);
    bool RestoreGiants();
    bool RestoreOrBackup(const std::string& fileName);

    // Host and Join ask first: false, after a message, while another Korvane has a modpack
    // installed in the game folder (see GameFolderLock).
    bool CheckGameFolderFree();

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
    // The extraction's member sink of an installation (Installation.cpp).
    class MemberPlacement;

    // How a game file came to be safe before it is overwritten.
    enum class Backup { Failed, Kept, Moved, Copied };

    // The index of a game folder for the running installation, read on first use.
    FolderIndex& IndexOf(const std::string& folder, bool exact = false);
    // The entry of `index` that a file named `name` would replace, if any.
    std::optional<FolderIndex::Entry> Existing(FolderIndex& index, const std::string& name);
    bool PlanAdditions(const std::vector<std::string>& fileNames);
    bool RecordAddition(const std::string& fileName);
    bool WriteRemoveList(const std::deque<std::string>& names);
    Backup BackupGameFile(FolderIndex& folder, const std::string& nameOnDisk);
    bool InstallFile(const std::string& fileName, FolderIndex& folder, platform::PendingFile& file);
    bool InstallCompanion(const std::string& companion);
    void ForgetInstallationState();
    // RestoreGiants with the game folder's lock in hand.
    bool RestoreHeldGame();

    // Shows each file that emptying `folder` left behind, once per engine (that is, per run).
    void ReportLeftovers(const std::string& folder, const std::vector<Leftover>& left);

    JoinDialogs* m_dialogs = nullptr;
    // Held from InstallLevel to the end of the RestoreGiants that follows it.
    GameFolderLock m_gameLock;
    std::set<std::string> m_reportedLeftovers; // folder + "\" + name, already shown
    // State of the running installation, reset by ExtractModpack.
    std::map<std::string, std::unique_ptr<FolderIndex>> m_folders; // by folder as the layout reads
    std::vector<std::unique_ptr<platform::LentFolderNames>> m_loans; // m_folders lent to paths
    std::set<std::string> m_recorded;           // lower-cased names in RemoveList.txt
    std::deque<std::string> m_recordedNames;    // the same as written, newest first
    std::vector<std::string> m_leftoverNames;   // listed before this installation began
    std::unordered_set<std::string> m_leftover; // the same names, for lookups
};
