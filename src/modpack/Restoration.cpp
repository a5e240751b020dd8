// Putting the game back: driven only by what lies on disk (RemoveList.txt, KRVBackup and the own
// copy of the world list), so it is safe at any time, also after a crash or when nothing was
// installed. Added files go first, so a restoration that stops early has already removed them.
#include <algorithm>
#include <cerrno>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/Korvane.h"
#include "modpack/RemoveList.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"

namespace {

bool BelongsInBin(const std::string& fileName) {
    const std::string lower = platform::ToLower(fileName);
    return lower.ends_with(".abx") || lower.ends_with(".bin") || lower.ends_with(".gzp");
}

// Deletes one added file; true when it is gone (also when it was never there).
bool RemoveAddedFile(const std::string& name) {
    // The list is our own file, but a name that could climb out of the game's folders is not
    // one we wrote, and nothing outside them is ours to delete.
    if (!platform::IsPlainFileName(name))
        return true;
    const std::string folder = BelongsInBin(name) ? "\\bin\\" : "\\bin\\override\\";
    return platform::Files().DeleteFile(g_strGiantsDir + folder + name) ||
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

} // namespace

bool CKorvane::RestoreGiants() {
    Log("CKorvane::RestoreGiants()");
    platform::FileSystem& files = platform::Files();
    const std::string backupFolder = g_strGiantsDir + "\\KRVBackup";
    files.CreateDirectory(backupFolder);

    // The original text file is deleted only once it is back in place.
    if (files.CopyFile(g_strGiantsDir + "\\bin\\GTextEnglish_orig.bin",
                       g_strGiantsDir + "\\bin\\GTextEnglish.bin", platform::Overwrite::Yes))
        files.DeleteFile(g_strGiantsDir + "\\bin\\GTextEnglish_orig.bin");
    files.DeleteFile(g_strGiantsDir + "\\bin\\worldlist.bin.orig");

    if (!files.CopyFile(g_strKorvaneDir + "\\worldlist.bin",
                        g_strGiantsDir + "\\bin\\worldlist.bin", platform::Overwrite::Yes))
        platform::ShowMessage("Error restoring worldlist.bin, you will have to do this manually",
                              platform::kErrorCaption);

    for (const char* folder : {"\\KRVBackup", "\\bin", "\\bin\\Override"})
        SweepTemporaryFiles(g_strGiantsDir + folder);

    const std::string removeList = g_strKorvaneDir + "\\RemoveList.txt";
    if (const auto content = files.ReadFile(removeList)) {
        bool allGone = true;
        for (const std::string& name : ParseRemoveList(*content))
            allGone = RemoveAddedFile(name) && allGone;
        // A file that could not be deleted stays listed, so the next restoration tries again.
        if (allGone)
            files.DeleteFile(removeList);
    }

    if (!files.SetCurrentDirectory(backupFolder)) {
        platform::ShowMessage("Could not change to KRVBackup directory", platform::kErrorCaption);
        return false;
    }
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
    const std::string target =
        g_strGiantsDir + (BelongsInBin(fileName) ? "\\bin\\" : "\\bin\\Override\\") + fileName;
    // The backup is complete, so the modpack's file may go first; the backup then takes its
    // place by rename. Should the rename fail, an atomic copy over the target does the same.
    files.DeleteFile(target);
    if (files.MoveFile(backup, target))
        return true;
    if (!files.CopyFile(backup, target, platform::Overwrite::Yes)) {
        platform::ShowMessage("Unable to restore file " + fileName, platform::kErrorCaption);
        return false;
    }
    files.DeleteFile(backup);
    return true;
}
