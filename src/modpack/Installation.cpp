// Installing a modpack into the game: every file the game lacks is added and listed in
// RemoveList.txt, every game file it replaces is kept in KRVBackup first.
//
// Each member is extracted straight into its game folder as a pending file (platform::PendingFile:
// a file without a name, or a hidden temporary one) and given its name only once all its bytes
// are written and their checksum checked: one file made and one name given per member, as plain
// unzip does, and no name ever shows a half-written member.
//
// Why this order is crash-safe (RestoreGiants puts the game back from what is on disk alone):
//  - A name is in RemoveList.txt before its file enters the game (write-ahead), so a prefix of an
//    installation never leaves an added file that no restoration removes. The library names every
//    member before it extracts any; the names are planned in one write from that, and a listed
//    name that never arrived is skipped.
//  - A game file is overwritten only once a complete backup of it exists: the game's own file is
//    renamed into KRVBackup (atomic, and it keeps the file exactly as it was), or copied there
//    atomically when a rename is impossible, or an earlier backup of that name is kept. A file
//    this installation added is the modpack's, never backed up as the game's.
//  - New files take a name that is free, which never replaces a file; replacing placements are
//    atomic, so no moment shows a torn game file. A process killed mid-member leaves no file
//    (a nameless one vanishes) or a hidden temporary one that restoration sweeps away.
//  - Names that an unfinished restoration left in RemoveList.txt stay listed, and their files are
//    never taken for the game's own.
//  - Every file is replaced or added under the exact name the folder's listing gave, so of two
//    game files that differ only in case, the one replaced is the one backed up.
//  - A member that cannot be extracted (damaged or encrypted data, a full disk) never gets a name
//    and stops the installation; the player has seen the library's message, and the restoration
//    that follows removes what the members before it brought.
#include <algorithm>
#include <cerrno>
#include <memory>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/GameFolders.h"
#include "modpack/InfoZip.h"
#include "modpack/Korvane.h"
#include "modpack/RemoveList.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"

using platform::ShowError;

namespace {

bool IsBinFile(const std::string& fileName) {
    return platform::ToLower(fileName).ends_with(".bin");
}

bool IsInstallable(const std::string& fileName) {
    return fileName.size() > 4 && !platform::ToLower(fileName).ends_with(".abx") &&
           platform::IsPlainFileName(fileName) && !IsReservedName(fileName);
}

std::string CompanionOf(const std::string& binName) {
    return binName.substr(0, binName.size() - 3) + "abx";
}

void ShowGameFolderBusy() {
    ShowError("Another Korvane has a modpack installed in the game folder " + g_strGiantsDir +
              " and its game may be running. Wait until that game has ended, or give this "
              "Korvane a game folder of its own.");
}

} // namespace

bool CKorvane::CheckGameFolderFree() {
    if (!m_gameLock.HeldElsewhere(g_strGiantsDir))
        return true;
    ShowGameFolderBusy();
    return false;
}

bool CKorvane::InstallLevel(const CLevelInfo& info) {
    Log("CKorvane::InstallLevel(\"" + info.fileName + "\")");
    // Held until the restoration that ends this installation; a failure below restores, which
    // lets go of it. Restoring after a refusal here would take the other Korvane's modpack away.
    if (m_gameLock.Acquire(g_strGiantsDir) == GameFolderLock::Result::Busy) {
        ShowGameFolderBusy();
        return false;
    }
    if (!ExtractModpack(info) || !EditWorldlist(info)) {
        RestoreGiants();
        return false;
    }
    return true;
}

void CKorvane::ForgetInstallationState() {
    m_loans.clear(); // before the indexes they lend
    m_folders.clear();
}

// The installation's side of the extraction: it plans the names the library announces, and puts
// each member the library has written and checked in place. After the first failure it places
// nothing more; the library still reads the rest, so that every damaged member is reported.
class CKorvane::MemberPlacement final : public InfoZip::Sink {
  public:
    explicit MemberPlacement(CKorvane& engine) : m_engine(engine) {}
    bool Failed() const { return m_failed; }
    bool Planned() const { return m_planned; }

    bool Announce(const std::string& name) override {
        m_names.push_back(name);
        return true;
    }
    bool Announced() override {
        m_planned = true;
        m_failed = !m_engine.PlanAdditions(m_names);
        m_names = {};
        return !m_failed;
    }
    int Open(const std::string& name) override {
        errno = 0;
        if (m_failed || !IsInstallable(name))
            return -1;
        m_file = platform::Files().CreatePendingFile(m_engine.IndexOf(GameFolderFor(name)).path +
                                                     "/" + name);
        if (!m_file.IsOpen()) {
            m_failed = true;
            errno = platform::LastError();
            return -1;
        }
        return m_file.Fd();
    }
    bool Close(const std::string& name, bool complete) override {
        if (!m_file.IsOpen())
            return true;
        if (!complete) {
            m_file.Discard();
            m_failed = true;
            return true; // the library tells the player why
        }
        m_failed = !m_engine.BackupAndCopy(name, m_file);
        m_file.Discard(); // a placed member is no longer pending, and this leaves it alone
        return !m_failed;
    }

  private:
    CKorvane& m_engine;
    std::vector<std::string> m_names;
    platform::PendingFile m_file;
    bool m_failed = false;
    bool m_planned = false;
};

bool CKorvane::ExtractModpack(const CLevelInfo& info) {
    Log("CKorvane::ExtractModpack(\"" + info.fileName + "\")");
    // The folder indexes and their loans to the path layer are this installation's alone.
    struct Forget {
        CKorvane* engine;
        ~Forget() { engine->ForgetInstallationState(); }
    } forget{this};
    ForgetInstallationState();

    InfoZip zip;
    platform::FileSystem& files = platform::Files();
    files.CreateDirectory(g_strGiantsDir + "\\bin\\Override");
    // Backups need their folder even when no restoration has run since it was lost.
    files.CreateDirectory(g_strGiantsDir + "\\KRVBackup");
    // The members go where the placement puts them, but a library that wrote into the current
    // folder after all (one from before member sinks) must find the empty scratch folder that
    // restoration empties, never KRVBackup, where the last restoration left us.
    if (!RemoveFiles(g_strGiantsDir + "\\KRVTemp"))
        return false;
    if (!zip.InitializeUnzip()) {
        platform::ShowMessage("Must be initialized", platform::kAppTitle);
        return false;
    }

    m_removeList.clear();
    m_recorded.clear();
    m_recordedNames.clear();
    const auto leftover = files.ReadFile(g_strKorvaneDir + "\\RemoveList.txt");
    if (!leftover && platform::LastError() != ENOENT) {
        ShowError("Could not open RemoveList.txt");
        return false;
    }
    m_leftoverNames = leftover ? ParseRemoveList(*leftover) : std::vector<std::string>{};
    m_leftover = {m_leftoverNames.begin(), m_leftoverNames.end()};

    MemberPlacement placement(*this);
    zip.Unzip(platform::ResolvePath(g_strKorvaneDir + "\\Modpacks\\" + info.fileName), {}, 0,
              &placement);
    zip.FinalizeUnzip();
    if (placement.Failed() || zip.LastReport().errors > 0) {
        // The library or the placement told the player what went wrong; a game started with part
        // of the modpack would be neither the host's game nor the player's own.
        Log("Extraction failed, installation stopped");
        return false;
    }
    if (!placement.Planned()) {
        // A library that never names the members knows no sink: it installed nothing.
        platform::ShowMessage("Must be initialized", platform::kAppTitle);
        return false;
    }

    if (!WriteRemoveList({m_removeList.begin(), m_removeList.end()})) {
        ShowError("Could not open RemoveList.txt");
        return false;
    }
    return true;
}

bool CKorvane::BackupAndCopy(const std::string& fileName, platform::PendingFile& file) {
    Log("CKorvane::BackupAndCopy(\"" + fileName + "\")");
    if (!InstallFile(fileName, IndexOf(GameFolderFor(fileName)), file))
        return false;
    if (IsBinFile(fileName) && !InstallCompanion(CompanionOf(fileName)))
        return false;
    return true;
}

FolderIndex& CKorvane::IndexOf(const std::string& folder, bool exact) {
    std::unique_ptr<FolderIndex>& slot = m_folders[folder];
    if (slot)
        return *slot;
    slot = std::make_unique<FolderIndex>();
    slot->windowsPath = folder;
    slot->path = platform::ResolvePath(folder);
    while (slot->path.size() > 1 && slot->path.back() == '/')
        slot->path.pop_back();
    slot->exact = exact;
    // A folder that cannot be read does not stop the installation: each name is then looked for
    // on its own, which finds every file of that exact name.
    if (const auto entries = platform::Files().ListDirectory(folder)) {
        slot->listed = true;
        slot->entries.reserve(entries->size());
        for (const platform::DirEntry& entry : *entries) {
            // Of names that differ only in case, the path layer resolves to the smallest; so do
            // we, and that one is the file replaced and backed up.
            auto [it, added] = slot->entries.try_emplace(
                slot->KeyOf(entry.name), FolderIndex::Entry{entry.name, entry.isDirectory});
            if (!added && entry.name < it->second.name)
                it->second = {entry.name, entry.isDirectory};
        }
    }
    m_loans.push_back(std::make_unique<platform::LentFolderNames>(slot->path, *slot));
    return *slot;
}

std::optional<FolderIndex::Entry> CKorvane::Existing(FolderIndex& index, const std::string& name) {
    if (index.listed) {
        const auto found = index.entries.find(index.KeyOf(name));
        if (found == index.entries.end())
            return std::nullopt;
        return found->second;
    }
    platform::FileSystem& files = platform::Files();
    const std::string path = index.path + "/" + name;
    if (!files.Exists(path))
        return std::nullopt;
    // Only a folder can be listed.
    return FolderIndex::Entry{name, files.ListDirectory(path).has_value()};
}

bool CKorvane::PlanAdditions(const std::vector<std::string>& fileNames) {
    std::vector<std::string> planned; // in the order they will be added
    for (const std::string& name : fileNames) {
        if (!IsInstallable(name))
            continue;
        if (!Existing(IndexOf(GameFolderFor(name)), name))
            planned.push_back(name);
        if (!IsBinFile(name))
            continue;
        const std::string companion = CompanionOf(name);
        if (!Existing(IndexOf(g_strGiantsDir + "\\bin\\"), companion))
            planned.push_back(companion);
    }
    if (planned.empty())
        return true;
    for (const std::string& name : planned) {
        if (m_recorded.insert(platform::ToLower(name)).second)
            m_recordedNames.push_front(name);
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
    m_recordedNames.push_front(fileName);
    m_recorded.insert(platform::ToLower(fileName));
    if (WriteRemoveList(m_recordedNames))
        return true;
    ShowError("Could not open RemoveList.txt");
    return false;
}

bool CKorvane::WriteRemoveList(const std::deque<std::string>& names) {
    // Names an earlier installation left listed (its restoration could not delete them) stay
    // listed, so that a later restoration still removes them.
    std::vector<std::string> all(names.begin(), names.end());
    std::set<std::string> listed;
    for (const std::string& name : names)
        listed.insert(platform::ToLower(name));
    for (const std::string& name : m_leftoverNames) {
        if (listed.insert(platform::ToLower(name)).second)
            all.push_back(name);
    }
    return platform::Files().WriteFile(g_strKorvaneDir + "\\RemoveList.txt", FormatRemoveList(all));
}

CKorvane::Backup CKorvane::BackupGameFile(FolderIndex& folder, const std::string& nameOnDisk) {
    platform::FileSystem& files = platform::Files();
    // A file an earlier installation added is not the game's: it stays listed, and restoration
    // deletes it, so there is nothing to keep.
    if (m_leftover.contains(nameOnDisk))
        return Backup::Kept;
    // Nor is one this installation added: a name is recorded only when the game lacked it, so a
    // file under it now is an earlier member of the modpack (of the same name in another case).
    if (m_recorded.contains(platform::ToLower(nameOnDisk)))
        return Backup::Kept;
    FolderIndex& backups = IndexOf(g_strGiantsDir + "\\KRVBackup", true);
    // A backup made earlier holds the game's own file; the game's current one may be a modpack's.
    if (Existing(backups, nameOnDisk))
        return Backup::Kept;
    const std::string source = folder.path + "/" + nameOnDisk;
    const std::string backup = backups.path + "/" + nameOnDisk;
    // Neither form ever replaces an existing backup.
    Backup made = Backup::Failed;
    if (files.MoveFile(source, backup))
        made = Backup::Moved;
    else if (files.CopyFile(source, backup, platform::Overwrite::No))
        made = Backup::Copied;
    if (made == Backup::Failed) {
        ShowError("Could not back up " + folder.windowsPath + nameOnDisk +
                  ", the game was left unchanged");
        return made;
    }
    backups.Add(nameOnDisk);
    return made;
}

bool CKorvane::InstallFile(const std::string& fileName, FolderIndex& folder,
                           platform::PendingFile& file) {
    platform::FileSystem& files = platform::Files();
    const auto existing = Existing(folder, fileName);

    if (!existing) {
        if (!RecordAddition(fileName))
            return false;
        if (!files.PlacePendingFile(file, folder.path + "/" + fileName, platform::Overwrite::No)) {
            ShowError("Could not create " + folder.windowsPath + fileName);
            return false;
        }
        folder.Add(fileName);
        m_removeList.push_front(fileName);
        return true;
    }
    // The name on disk, which the folder keeps resolving to once the game's file is away.
    const std::string target = folder.path + "/" + existing->name;
    if (existing->isDirectory) {
        ShowError("Could not create " + folder.windowsPath + existing->name);
        return false;
    }
    const Backup backup = BackupGameFile(folder, existing->name);
    if (backup == Backup::Failed)
        return false;
    // Once the game's file went to KRVBackup its name is free, and the member takes it.
    if (!(backup == Backup::Moved &&
          files.PlacePendingFile(file, target, platform::Overwrite::No)) &&
        !files.PlacePendingFile(file, target, platform::Overwrite::Yes)) {
        ShowError("Could not create " + folder.windowsPath + existing->name);
        return false;
    }
    return true;
}

bool CKorvane::InstallCompanion(const std::string& companion) {
    platform::FileSystem& files = platform::Files();
    FolderIndex& folder = IndexOf(g_strGiantsDir + "\\bin\\");
    const std::string master = g_strKorvaneDir + "\\Master.abx";
    std::string failure = "Could not create " + g_strGiantsDir + "\\bin\\" + companion;
    // Every companion is a copy of Master.abx; when that is what is missing, the target alone
    // would send the player looking in the wrong place.
    if (!files.Exists(master))
        failure +=
            "\nMaster.abx is missing from Korvane's own folder: " + platform::ResolvePath(master) +
            "\nIt comes with Korvane's Windows installation; copy it there from a Korvane "
            "installed under Windows or Wine (Setup... takes it over when it finds one).";
    const auto existing = Existing(folder, companion);

    if (!existing) {
        if (!RecordAddition(companion))
            return false;
        if (!files.CopyFile(master, folder.path + "/" + companion, platform::Overwrite::No)) {
            ShowError(failure);
            return false;
        }
        folder.Add(companion);
        m_removeList.push_front(companion);
        return true;
    }
    if (existing->isDirectory) {
        ShowError(failure);
        return false;
    }
    if (BackupGameFile(folder, existing->name) == Backup::Failed)
        return false;
    if (!files.CopyFile(master, folder.path + "/" + existing->name, platform::Overwrite::Yes)) {
        ShowError(failure);
        return false;
    }
    return true;
}
