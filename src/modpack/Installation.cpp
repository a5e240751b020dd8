// Installing a modpack into the game: every file the game lacks is moved in and listed in
// RemoveList.txt, every game file it replaces is kept in KRVBackup first.
//
// Why this order is crash-safe (RestoreGiants puts the game back from what is on disk alone):
//  - A name is in RemoveList.txt before its file enters the game (write-ahead), so a prefix of an
//    installation never leaves an added file that no restoration removes. The names are planned
//    in one write before the first file moves, and a listed name that never arrived is skipped.
//  - A game file is overwritten only once a complete backup of it exists: the game's own file is
//    renamed into KRVBackup (atomic, and it keeps the file exactly as it was), or copied there
//    atomically when a rename is impossible, or an earlier backup of that name is kept.
//  - New files reach the game by rename, which never replaces a file; replacing copies are
//    atomic, so no moment shows a torn game file.
//  - Names that an unfinished restoration left in RemoveList.txt stay listed, and their files are
//    never taken for the game's own.
#include <algorithm>
#include <cerrno>
#include <memory>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/InfoZip.h"
#include "modpack/Korvane.h"
#include "modpack/RemoveList.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"

namespace {

constexpr size_t kArchivePathBuffer = 260; // the library's record promises at least this much

bool EndsWith(const std::string& lower, const char* suffix) {
    return lower.ends_with(suffix);
}

// Files that live in bin rather than bin\Override, by their last four characters.
bool BelongsInBin(const std::string& fileName) {
    const std::string lower = platform::ToLower(fileName);
    return EndsWith(lower, ".abx") || EndsWith(lower, ".bin") || EndsWith(lower, ".gzp");
}

bool IsInstallable(const std::string& fileName) {
    return fileName.size() > 4 && !EndsWith(platform::ToLower(fileName), ".abx") &&
           platform::IsPlainFileName(fileName);
}

std::string CompanionOf(const std::string& binName) {
    return binName.substr(0, binName.size() - 3) + "abx";
}

void ShowError(const std::string& text) {
    platform::ShowMessage(text, platform::kErrorCaption);
}

} // namespace

std::string CKorvane::DestinationFolder(const std::string& fileName) {
    return g_strGiantsDir + (BelongsInBin(fileName) ? "\\bin\\" : "\\bin\\Override\\");
}

bool CKorvane::InstallLevel(const CLevelInfo& info) {
    Log("CKorvane::InstallLevel(\"" + info.fileName + "\")");
    if (!ExtractModpack(info) || !EditWorldlist(info)) {
        RestoreGiants();
        return false;
    }
    RemoveFiles(g_strGiantsDir + "\\KRVTemp");
    return true;
}

bool CKorvane::ExtractModpack(const CLevelInfo& info) {
    Log("CKorvane::ExtractModpack(\"" + info.fileName + "\")");
    InfoZip zip;
    platform::FileSystem& files = platform::Files();
    const std::string temp = g_strGiantsDir + "\\KRVTemp";
    files.CreateDirectory(temp);
    files.CreateDirectory(g_strGiantsDir + "\\bin\\Override");
    // Backups need their folder even when no restoration has run since it was lost.
    files.CreateDirectory(g_strGiantsDir + "\\KRVBackup");
    // Extracting into whatever folder happens to be current could put files anywhere.
    if (!RemoveFiles(temp))
        return false;

    if (!zip.InitializeUnzip()) {
        platform::ShowMessage("Must be initialized", platform::kAppTitle);
        return false;
    }
    auto command = std::make_unique<UnzipCommand>();
    zip.PrepareCommand(*command);
    std::string archivePath =
        platform::ResolvePath(g_strKorvaneDir + "\\Modpacks\\" + info.fileName);
    archivePath.reserve(kArchivePathBuffer);
    command->flag40 = 1;
    command->flag56 = 0;
    command->patternCount = 0;
    command->archivePath = archivePath.data();
    zip.Execute(*command);
    zip.FinalizeUnzip();

    m_removeList.clear();
    m_folders.clear();
    m_recorded.clear();
    m_recordedNames.clear();
    const auto leftover = files.ReadFile(g_strKorvaneDir + "\\RemoveList.txt");
    if (!leftover && platform::LastError() != ENOENT) {
        ShowError("Could not open RemoveList.txt");
        return false;
    }
    m_leftoverNames = leftover ? ParseRemoveList(*leftover) : std::vector<std::string>{};
    if (!files.SetCurrentDirectory(temp)) {
        ShowError("Could not change to KRVTemp directory");
        return false;
    }
    const auto entries = files.ListDirectory(temp);
    if (!entries) {
        ShowError("Could not read the KRVTemp directory");
        return false;
    }
    std::vector<std::string> names;
    for (const platform::DirEntry& entry : *entries)
        if (!entry.isDirectory)
            names.push_back(entry.name);

    if (!PlanAdditions(names))
        return false;
    for (const std::string& name : names)
        if (!BackupAndCopy(name))
            return false;
    RemoveFiles(temp);

    if (!WriteRemoveList({m_removeList.begin(), m_removeList.end()})) {
        ShowError("Could not open RemoveList.txt");
        return false;
    }
    return true;
}

bool CKorvane::BackupAndCopy(const std::string& fileName) {
    Log("CKorvane::BackupAndCopy(\"" + fileName + "\")");
    if (!IsInstallable(fileName)) {
        platform::Files().DeleteFile(g_strGiantsDir + "\\KRVTemp\\" + fileName);
        return true;
    }
    if (!InstallFile(fileName, DestinationFolder(fileName)))
        return false;
    if (EndsWith(platform::ToLower(fileName), ".bin") && !InstallCompanion(CompanionOf(fileName)))
        return false;
    return true;
}

CKorvane::FolderIndex* CKorvane::IndexOf(const std::string& folder) {
    if (auto known = m_folders.find(folder); known != m_folders.end())
        return &known->second;
    const auto entries = platform::Files().ListDirectory(folder);
    if (!entries) {
        ShowError("Could not read the folder " + folder);
        return nullptr;
    }
    FolderIndex index;
    for (const platform::DirEntry& entry : *entries) {
        // Of names that differ only in case, the path layer resolves to the smallest; so do we.
        auto [it, added] = index.try_emplace(platform::ToLower(entry.name),
                                             FolderEntry{entry.name, entry.isDirectory});
        if (!added && entry.name < it->second.name)
            it->second = {entry.name, entry.isDirectory};
    }
    return &m_folders.emplace(folder, std::move(index)).first->second;
}

bool CKorvane::PlanAdditions(const std::vector<std::string>& fileNames) {
    std::vector<std::string> planned; // in the order they will be added
    for (const std::string& name : fileNames) {
        if (!IsInstallable(name))
            continue;
        FolderIndex* index = IndexOf(DestinationFolder(name));
        if (!index)
            return false;
        if (!index->contains(platform::ToLower(name)))
            planned.push_back(name);
        if (!EndsWith(platform::ToLower(name), ".bin"))
            continue;
        FolderIndex* bin = IndexOf(g_strGiantsDir + "\\bin\\");
        if (!bin)
            return false;
        const std::string companion = CompanionOf(name);
        if (!bin->contains(platform::ToLower(companion)))
            planned.push_back(companion);
    }
    if (planned.empty())
        return true;
    for (const std::string& name : planned) {
        if (m_recorded.insert(platform::ToLower(name)).second)
            m_recordedNames.insert(m_recordedNames.begin(), name);
    }
    if (!WriteRemoveList(m_recordedNames)) {
        ShowError("Could not open RemoveList.txt");
        return false;
    }
    return true;
}

bool CKorvane::RecordAddition(const std::string& fileName) {
    if (m_recorded.contains(platform::ToLower(fileName)))
        return true;
    m_recordedNames.insert(m_recordedNames.begin(), fileName);
    m_recorded.insert(platform::ToLower(fileName));
    if (WriteRemoveList(m_recordedNames))
        return true;
    ShowError("Could not open RemoveList.txt");
    return false;
}

bool CKorvane::WriteRemoveList(std::vector<std::string> names) {
    // Names an earlier installation left listed (its restoration could not delete them) stay
    // listed, so that a later restoration still removes them.
    std::set<std::string> listed;
    for (const std::string& name : names)
        listed.insert(platform::ToLower(name));
    for (const std::string& name : m_leftoverNames) {
        if (listed.insert(platform::ToLower(name)).second)
            names.push_back(name);
    }
    return platform::Files().WriteFile(g_strKorvaneDir + "\\RemoveList.txt",
                                       FormatRemoveList(names));
}

CKorvane::Backup CKorvane::BackupGameFile(const std::string& folder,
                                          const std::string& nameOnDisk) {
    platform::FileSystem& files = platform::Files();
    // A file an earlier installation added is not the game's: it stays listed, and restoration
    // deletes it, so there is nothing to keep.
    const std::string key = platform::ToLower(nameOnDisk);
    if (std::any_of(m_leftoverNames.begin(), m_leftoverNames.end(),
                    [&](const std::string& name) { return platform::ToLower(name) == key; }))
        return Backup::Kept;
    const std::string backup = g_strGiantsDir + "\\KRVBackup\\" + nameOnDisk;
    // A backup made earlier holds the game's own file; the game's current one may be a modpack's.
    if (files.Exists(backup))
        return Backup::Kept;
    // Neither form ever replaces an existing backup.
    if (files.MoveFile(folder + nameOnDisk, backup))
        return Backup::Moved;
    if (files.CopyFile(folder + nameOnDisk, backup, platform::Overwrite::No))
        return Backup::Copied;
    ShowError("Could not back up " + folder + nameOnDisk + ", the game was left unchanged");
    return Backup::Failed;
}

bool CKorvane::InstallFile(const std::string& fileName, const std::string& folder) {
    platform::FileSystem& files = platform::Files();
    FolderIndex* index = IndexOf(folder);
    if (!index)
        return false;
    const std::string source = g_strGiantsDir + "\\KRVTemp\\" + fileName;
    const std::string key = platform::ToLower(fileName);
    const auto existing = index->find(key);
    bool moved = false;

    if (existing == index->end()) {
        const std::string target = folder + fileName;
        if (!RecordAddition(fileName))
            return false;
        moved = files.MoveFile(source, target);
        if (!moved && !files.CopyFile(source, target, platform::Overwrite::No)) {
            ShowError("Could not create " + target);
            return false;
        }
        index->emplace(key, FolderEntry{fileName, false});
        m_removeList.push_front(fileName);
    } else {
        const std::string target = folder + existing->second.name;
        if (existing->second.isDirectory) {
            ShowError("Could not create " + target);
            return false;
        }
        const Backup backup = BackupGameFile(folder, existing->second.name);
        if (backup == Backup::Failed)
            return false;
        // Once the game's file went to KRVBackup its name is free, and a rename fills it.
        moved = backup == Backup::Moved && files.MoveFile(source, target);
        if (!moved && !files.CopyFile(source, target, platform::Overwrite::Yes)) {
            ShowError("Could not create " + target);
            return false;
        }
    }
    if (!moved)
        files.DeleteFile(source);
    return true;
}

bool CKorvane::InstallCompanion(const std::string& companion) {
    platform::FileSystem& files = platform::Files();
    const std::string folder = g_strGiantsDir + "\\bin\\";
    const std::string master = g_strKorvaneDir + "\\Master.abx";
    std::string failure = "Could not create " + folder + companion;
    // Every companion is a copy of Master.abx; when that is what is missing, the target alone
    // would send the player looking in the wrong place.
    if (!files.Exists(master))
        failure +=
            "\nMaster.abx is missing from Korvane's own folder: " + platform::ResolvePath(master) +
            "\nIt comes with Korvane's Windows installation; copy it there from a Korvane "
            "installed under Windows or Wine (Setup... takes it over when it finds one).";
    FolderIndex* index = IndexOf(folder);
    if (!index)
        return false;
    const std::string key = platform::ToLower(companion);
    const auto existing = index->find(key);

    if (existing == index->end()) {
        if (!RecordAddition(companion))
            return false;
        if (!files.CopyFile(master, folder + companion, platform::Overwrite::No)) {
            ShowError(failure);
            return false;
        }
        index->emplace(key, FolderEntry{companion, false});
        m_removeList.push_front(companion);
        return true;
    }
    if (existing->second.isDirectory) {
        ShowError(failure);
        return false;
    }
    if (BackupGameFile(folder, existing->second.name) == Backup::Failed)
        return false;
    if (!files.CopyFile(master, folder + existing->second.name, platform::Overwrite::Yes)) {
        ShowError(failure);
        return false;
    }
    return true;
}
