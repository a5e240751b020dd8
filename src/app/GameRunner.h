#pragma once
// How a Windows giants.exe is started on Linux: through which launcher, with which environment.
//
// The launcher is KORVANE_WINE when set (a one-off choice for this run), else the Launcher value
// under HKCU\Software\KRV that setup stored, else `wine` on the PATH. A launcher whose file is
// named `proton` is a Proton: the game starts as `proton run giants.exe ...` with
// STEAM_COMPAT_DATA_PATH naming the compatibility-data folder of the game's Proton prefix and
// STEAM_COMPAT_CLIENT_INSTALL_PATH naming Steam, as Steam itself starts a game; Proton then sets
// up its own libraries, DLL overrides and prefix, which its bare Wine binary would lack. Any other
// launcher is a Wine: `wine giants.exe ...`, with WINEPREFIX set to the prefix the game lies in
// unless the environment already names one.
//
// Heroic and Lutris may install the game in a plain folder and run it in a prefix kept elsewhere;
// setup then stores that prefix as WinePrefix under HKCU\Software\KRV, and it is used where the
// game's own path names no prefix (for a Proton prefix ".../pfx", its parent is the
// compatibility-data folder).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

struct RunnerChoice {
    std::string program;                  // the file executed
    std::vector<std::string> argv;        // argv[0] and the launcher's own arguments, then the game
    std::vector<std::string> environment; // "NAME=value" set for the game only
};

// The name of the extra value under HKCU\Software\KRV; Windows Korvane never reads it.
inline constexpr const char* kLauncherValue = "Launcher";
// The prefix a game outside any prefix runs in, stored beside it; Windows Korvane never reads it.
inline constexpr const char* kWinePrefixValue = "WinePrefix";

// The launcher text in force for `setting` (the stored Launcher value), by the rule above.
std::string LauncherInForce(const std::string& setting);
bool IsProton(std::string_view launcher);

// The runner for the Windows program at `gameProgram` (its Linux path); `storedPrefix` is the
// WinePrefix setting. On failure, `error` is the message for the player: which launcher is missing
// and how to fix it.
std::optional<RunnerChoice> ChooseRunner(const std::string& launcher,
                                         const std::string& gameProgram, std::string& error,
                                         const std::string& storedPrefix = {});

} // namespace app
