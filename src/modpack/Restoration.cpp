// Putting the game back: driven only by what lies on disk (RemoveList.txt, KRVBackup and the own
// copy of the world list), so it is safe at any time, also after a crash or when nothing was
// installed. Added files go first, so a restoration that stops early has already removed them.
#include <algorithm>
#include <cerrno>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/GameFolders.h"
#include "modpack/Korvane.h"
#include "modpack/RemoveList.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"

namespace {

// Deletes one added file; true when it is gone (also when it was never there).
bool RemoveAddedFile(const std::string& name) {
    // The list is our own file, but a name that could climb out of the game's folders is not
    // one we wrote, and nothing outside them is ours to delete.
    if (!platform::IsPlainFileName(name))
        return true;
    return platform::Files().DeleteFile(GameFolderFor(name) + name) ||
           platform::LastError() == ENOENT;
}

// A copy cut short by a crash leaves its hidden temporary file beside the target. None of them is
// the game's: in KRVBackup one would otherwise be "restored" into the game as a new file.
void SweepTemporaryFiles(const std::string& folder) {
    platform::FileSystem& files = platform::Files();
    const auto entries = files.ListDirectory(folder);
    if (!entries)
        return;
    for (const platform::DirEntry& entry : *entries) {
        if (!entry.isDirectory && platform::IsTemporaryFileName(entry.name))
            files.DeleteFile(folder + "\\" + entry.name);
    }
}

// Restoration deletes and puts back files under the exact names they were recorded with: of two
// game files that differ only in case, only the one recorded is touched.
class ExactGameFolders {
  public:
    ExactGameFolders()
        : m_override(BaseName(platform::ResolvePath(g_strGiantsDir + "\\bin\\Override"))),
          m_bin(Folder("\\bin"), m_inBin), m_overrideLoan(Folder("\\bin\\Override"), m_names),
          m_backups(Folder("\\KRVBackup"), m_names) {}

  private:
    static std::string Folder(const char* relative) {
        return platform::ResolvePath(g_strGiantsDir + relative);
    }
    static std::string BaseName(const std::string& path) {
        return path.substr(path.rfind('/') + 1);
    }

    std::string m_override; // first: the names below are made from it
    ExactNames m_names;
    ExactNames m_inBin{m_override};
    platform::LentFolderNames m_bin, m_overrideLoan, m_backups;
};

} // namespace

bool CKorvane::RestoreGiants() {
    Log("CKorvane::RestoreGiants()");
    // The game folder belongs to the Korvane that installed a modpack there until it restores;
    // what lies on disk now is its installation, not something left by a crash.
    if (m_gameLock.Acquire(g_strGiantsDir) == GameFolderLock::Result::Busy) {
        Log("Game folder in use by another Korvane, restoration left to it");
        return true;
    }
    struct Release {
        GameFolderLock& lock;
        ~Release() { lock.Release(); }
    } release{m_gameLock};
    return RestoreHeldGame();
}

bool CKorvane::RestoreHeldGame() {
    platform::FileSystem& files = platform::Files();
    const std::string backupFolder = g_strGiantsDir + "\\KRVBackup";
    files.CreateDirectory(backupFolder);

    // What a killed extraction left unpacked is no part of the game, and a later installation
    // would otherwise take it for the modpack's.
    files.CreateDirectory(g_strGiantsDir + "\\KRVTemp");
    DeleteFilesIn(g_strGiantsDir + "\\KRVTemp");

    const std::string removeList = g_strKorvaneDir + "\\RemoveList.txt";
    const auto listed = files.ReadFile(removeList);
    const std::vector<std::string> added =
        listed ? ParseRemoveList(*listed) : std::vector<std::string>{};

    // Korvane itself never makes GTextEnglish_orig.bin; an older Korvane let a modpack add one,
    // and that one must not replace the game's text. The original text file is deleted only once
    // it is back in place.
    const bool textAdded = std::any_of(
        added.begin(), added.end(), [](const std::string& name) { return IsReservedName(name); });
    if (!textAdded &&
        files.CopyFile(g_strGiantsDir + "\\bin\\GTextEnglish_orig.bin",
                       g_strGiantsDir + "\\bin\\GTextEnglish.bin", platform::Overwrite::Yes))
        files.DeleteFile(g_strGiantsDir + "\\bin\\GTextEnglish_orig.bin");
    files.DeleteFile(g_strGiantsDir + "\\bin\\worldlist.bin.orig");

    // A world list that already is Korvane's copy is left as it is: a game folder that cannot be
    // written (read-only, or installed by another user) is then restored without a false alarm
    // at every start.
    const std::string ownList = g_strKorvaneDir + "\\worldlist.bin";
    const std::string gameList = g_strGiantsDir + "\\bin\\worldlist.bin";
    const auto kept = files.ReadFile(ownList);
    const auto current = kept ? files.ReadFile(gameList) : std::nullopt;
    if ((!current || *current != *kept) &&
        !files.CopyFile(ownList, gameList, platform::Overwrite::Yes))
        platform::ShowMessage("Error restoring worldlist.bin, you will have to do this manually",
                              platform::kErrorCaption);

    for (const char* folder : {"\\KRVBackup", "\\bin", "\\bin\\Override"})
        SweepTemporaryFiles(g_strGiantsDir + folder);

    // From here on, names are those Korvane recorded; the game's own files above (its text and
    // world list) are found in whatever case the game has them.
    const ExactGameFolders exact;
    if (listed) {
        bool allGone = true;
        for (const std::string& name : added)
            allGone = RemoveAddedFile(name) && allGone;
        // A file that could not be deleted stays listed, so the next restoration tries again.
        if (allGone)
            files.DeleteFile(removeList);
    }

    if (!files.SetCurrentDirectory(backupFolder)) {
        platform::ShowMessage("Could not change to KRVBackup directory", platform::kErrorCaption);
        return false;
    }
    // Without the list of backups none can be put back, and the game must not pass for restored.
    const auto entries = files.ListDirectory(backupFolder);
    if (!entries) {
        platform::ShowMessage("Could not read the KRVBackup directory", platform::kErrorCaption);
        return false;
    }
    for (const platform::DirEntry& entry : *entries) {
        if (!entry.isDirectory && !RestoreOrBackup(entry.name))
            return false;
    }
    return true;
}

bool CKorvane::RestoreOrBackup(const std::string& fileName) {
    Log("CKorvane::RestoreOrBackup(\"" + fileName + "\")");
    if (fileName.size() <= 4 || !platform::IsPlainFileName(fileName))
        return true;
    platform::FileSystem& files = platform::Files();
    const std::string backup = g_strGiantsDir + "\\KRVBackup\\" + fileName;
    const std::string target = GameFolderFor(fileName) + fileName;
    // The game's file is replaced only by something complete: the backup itself where the name
    // is free (a rename that never replaces), or else an atomic copy over the modpack's file.
    // Should both fail, the modpack's file stays and so does the backup, for the next run.
    if (files.MoveFile(backup, target))
        return true;
    if (!files.CopyFile(backup, target, platform::Overwrite::Yes)) {
        platform::ShowMessage("Unable to restore file " + fileName, platform::kErrorCaption);
        return false;
    }
    files.DeleteFile(backup);
    return true;
}
