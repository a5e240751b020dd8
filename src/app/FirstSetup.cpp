#include "app/FirstSetup.h"

#include <cstdlib>
#include <vector>

#include "app/GameRunner.h"
#include "app/RegKey.h"
#include "app/Settings.h"
#include "app/WinePrefix.h"
#include "platform/Ascii.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/RegistryStore.h"
#include "platform/SystemCalls.h"

namespace app {

namespace {

constexpr const char* kGiantsKey = "Software\\PlanetMoon\\Giants";
constexpr const char* kKrvKey = "Software\\KRV";

std::string Stored(const char* key) {
    std::string value = QueryString(key, "DestDir");
    if (!value.empty() && value.back() == '\\')
        value.pop_back();
    return value;
}

FolderState StateOf(const std::string& folder) {
    if (folder.empty())
        return FolderState::Unset;
    if (IsWindowsPath(folder))
        return FolderState::WindowsPath;
    struct stat status {};
    if (!platform::sys::Status(platform::ResolvePath(folder), status) || !S_ISDIR(status.st_mode))
        return FolderState::Missing;
    return FolderState::Good;
}

std::string Describe(FolderState state, const std::string& what, const std::string& folder,
                     const std::string& key) {
    std::string text = state == FolderState::WindowsPath
                           ? "Error - " + what + " is set to a Windows path: " + folder +
                                 "\nKorvane needs the folder as Linux sees it"
                           : "Error - " + what + " does not exist: " + folder;
    return text + "\n(the value DestDir under HKEY_CURRENT_USER\\" + key + ").";
}

bool MakeFolders(const std::string& path) {
    std::string partial;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        partial = path.substr(0, end);
        if (!partial.empty() && !platform::Files().CreateDirectory(partial))
            return false;
        start = end + 1;
    }
    return true;
}

// Copies `from` to `to` unless `to` is already there; false only when a copy was due and failed.
bool CopyIfMissing(const std::string& from, const std::string& to) {
    platform::FileSystem& files = platform::Files();
    if (!files.Exists(from) || files.Exists(to))
        return true;
    return files.CopyFile(from, to, platform::Overwrite::No);
}

std::vector<std::string> TakeOver(const FoundKorvane& korvane, const std::string& own) {
    std::vector<std::string> failed;
    for (const char* name : {"Master.abx", "worldlist.bin", "KRVworldlist.bin"}) {
        const std::string from = platform::ResolvePath(korvane.folder + "\\" + name);
        if (!CopyIfMissing(from, own + "/" + name))
            failed.push_back(from);
    }
    const std::string modpacks = platform::ResolvePath(korvane.folder + "\\Modpacks");
    if (auto entries = platform::Files().ListDirectory(modpacks)) {
        for (const platform::DirEntry& entry : *entries) {
            if (entry.isDirectory || !platform::MatchesPattern(entry.name, "*.gck"))
                continue;
            if (!CopyIfMissing(modpacks + "/" + entry.name, own + "/Modpacks/" + entry.name))
                failed.push_back(modpacks + "/" + entry.name);
        }
    }
    return failed;
}

bool HasKrvValue(const char* name) {
    const platform::RegistryLoad store =
        platform::RegistryStore(platform::DefaultRegistryPath()).Load();
    return store.data &&
           store.data->FindValue(std::string("HKEY_CURRENT_USER\\") + kKrvKey, name) != nullptr;
}

} // namespace

FolderCheck CheckFolders() {
    FolderCheck check;
    check.storeReadable =
        platform::RegistryStore(platform::DefaultRegistryPath()).Load().data.has_value();
    check.gameDir = Stored(kGiantsKey);
    check.ownDir = Stored(kKrvKey);
    check.game = StateOf(check.gameDir);
    check.own = StateOf(check.ownDir);
    return check;
}

std::optional<std::string> FolderProblemMessage(const FolderCheck& check) {
    const char* fix = "\nStart Korvane without arguments to choose it in the setup dialog, or "
                      "set the value with korvane-reg.";
    if (check.game == FolderState::WindowsPath || check.game == FolderState::Missing)
        return Describe(check.game, "the game's folder", check.gameDir, kGiantsKey) + fix;
    if (check.own == FolderState::WindowsPath || check.own == FolderState::Missing)
        return Describe(check.own, "Korvane's own folder", check.ownDir, kKrvKey) + fix;
    return std::nullopt;
}

std::string LauncherSetting() {
    return QueryString(kKrvKey, kLauncherValue);
}

std::string WinePrefixSetting() {
    return QueryString(kKrvKey, kWinePrefixValue);
}

std::string DefaultOwnFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && *data == '/')
        return std::string(data) + "/korvane";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/share/korvane";
}

std::optional<std::string> ApplySetup(const SetupChoice& choice) {
    const std::string& own = choice.ownDir;
    if (!MakeFolders(own + "/Modpacks"))
        return "Could not create " + own + "/Modpacks\n" + platform::LastErrorText();

    std::vector<std::string> failed;
    if (choice.takeOver) {
        failed = TakeOver(*choice.takeOver, own);
    } else {
        const std::string worldList =
            platform::ResolvePath(choice.gameDir + "\\bin\\worldlist.bin");
        for (const char* name : {"worldlist.bin", "KRVworldlist.bin"})
            if (!CopyIfMissing(worldList, own + "/" + name))
                failed.push_back(worldList);
    }
    if (!failed.empty())
        return "Could not copy " + failed.front() + " into " + own + "\n" +
               platform::LastErrorText();

    try {
        CRegKey key;
        key.Create(HKEY_CURRENT_USER, kGiantsKey);
        key.SetValue(choice.gameDir.c_str(), "DestDir");
        key.Create(HKEY_CURRENT_USER, kKrvKey);
        key.SetValue(own.c_str(), "DestDir");
        key.SetValue(choice.launcher.c_str(), kLauncherValue);
        // A game inside its prefix finds it from its own path, whatever folder it is moved to.
        const bool outside = PrefixOfPath(choice.gameDir).empty();
        key.SetValue(outside ? choice.prefix.c_str() : "", kWinePrefixValue);
        if (choice.takeOver) {
            // Like its files, the Windows Korvane's settings fill only what is not set here.
            const FoundKorvane& from = *choice.takeOver;
            if (from.cmdLine && !HasKrvValue("CMDLine"))
                key.SetValue(from.cmdLine->c_str(), "CMDLine");
            if (from.secondsToJoin && !HasKrvValue("SecondsToJoin"))
                key.SetValue(*from.secondsToJoin, "SecondsToJoin");
            if (from.autoJoin && !HasKrvValue("AutoJoin"))
                key.SetValue(*from.autoJoin, "AutoJoin");
        }
    } catch (const char* thrown) {
        std::string text = std::string("Could not write to KRV registry\n") + thrown;
        if (!LastRegistryError().empty())
            text += "\n" + LastRegistryError();
        return text;
    }
    return std::nullopt;
}

} // namespace app
