#include "app/GameRunner.h"

#include <cstdlib>

#include "app/WinePrefix.h"
#include "platform/Process.h"
#include "platform/SystemCalls.h"

namespace app {

namespace {

constexpr const char* kFix =
    "Install Wine (the Debian package \"wine\"), or choose the launcher in Setup... (right-click "
    "Korvane's main window); it is kept as the value Launcher under "
    "HKEY_CURRENT_USER\\Software\\KRV.";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool IsExecutableFile(const std::string& path) {
    struct stat status {};
    return platform::sys::Status(path, status) && S_ISREG(status.st_mode) &&
           (status.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

// A launcher given as a path is used as it is; a bare name is looked up on the PATH.
std::optional<std::string> FindLauncher(const std::string& launcher) {
    if (launcher.find('/') != std::string::npos)
        return IsExecutableFile(launcher) ? std::optional<std::string>(launcher) : std::nullopt;
    return platform::FindOnPath(launcher);
}

// Steam's own folder, which Proton needs for its Steam client libraries.
std::string SteamFolder(const std::string& compat) {
    const std::string home = Env("HOME");
    for (const std::string& root :
         {home + "/.steam/root", home + "/.local/share/Steam",
          home + "/.var/app/com.valvesoftware.Steam/.local/share/Steam"}) {
        if (platform::sys::IsDirectory(root))
            return root;
    }
    // No Steam at its usual places: the library that holds the prefix is the best guess.
    const size_t at = compat.find("/steamapps/");
    return at == std::string::npos ? FolderOf(compat) : compat.substr(0, at);
}

} // namespace

std::string LauncherInForce(const std::string& setting) {
    std::string forced = Env("KORVANE_WINE");
    if (!forced.empty())
        return forced;
    return setting.empty() ? "wine" : setting;
}

bool IsProton(std::string_view launcher) {
    const size_t slash = launcher.find_last_of('/');
    return launcher.substr(slash == std::string_view::npos ? 0 : slash + 1) == "proton";
}

std::optional<RunnerChoice> ChooseRunner(const std::string& launcher,
                                         const std::string& gameProgram, std::string& error,
                                         const std::string& storedPrefix) {
    RunnerChoice choice;
    const std::optional<std::string> found = FindLauncher(launcher);
    if (!found) {
        error = "Error spawning Giants: the launcher \"" + launcher +
                "\" was not found; Giants is a Windows program and needs it to start.\n" + kFix;
        return std::nullopt;
    }
    choice.program = *found;
    const std::string gameFolder = FolderOf(gameProgram);
    if (IsProton(launcher)) {
        std::optional<std::string> compat = SteamCompatData(gameFolder);
        if (!compat && storedPrefix.ends_with("/pfx") && platform::sys::IsDirectory(storedPrefix))
            compat = FolderOf(storedPrefix);
        if (!compat) {
            error = "Error spawning Giants: the launcher \"" + launcher +
                    "\" is a Proton, but the game in " + gameFolder +
                    " lies in no Proton prefix, so Proton cannot tell which prefix to use.\n" +
                    "Choose Wine as the launcher in Setup... (right-click Korvane's main window).";
            return std::nullopt;
        }
        choice.argv = {launcher, "run", gameProgram};
        if (Env("STEAM_COMPAT_DATA_PATH").empty())
            choice.environment.push_back("STEAM_COMPAT_DATA_PATH=" + *compat);
        if (Env("STEAM_COMPAT_CLIENT_INSTALL_PATH").empty())
            choice.environment.push_back("STEAM_COMPAT_CLIENT_INSTALL_PATH=" +
                                         SteamFolder(*compat));
        return choice;
    }
    choice.argv = {launcher, gameProgram};
    std::string prefix = PrefixOfPath(gameFolder);
    if (prefix.empty() && platform::sys::IsDirectory(storedPrefix))
        prefix = storedPrefix;
    if (!prefix.empty() && Env("WINEPREFIX").empty())
        choice.environment.push_back("WINEPREFIX=" + prefix);
    return choice;
}

} // namespace app
