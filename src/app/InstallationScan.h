#pragma once
// Finding every installation of the game on this machine, for the setup dialog.
//
// Looks in Wine prefixes ($WINEPREFIX, ~/.wine, ~/.local/share/wineprefixes/*), Lutris (its game
// configurations and ~/Games/*), Bottles (native and Flatpak), Heroic (its prefixes and game
// configurations) and Steam (native and Flatpak, every library of libraryfolders.vdf, the games in
// steamapps/common and the Proton prefixes in steamapps/compatdata/*/pfx). In a prefix the game's
// DestDir is read from user.reg and system.reg and mapped through dosdevices; where the registry
// names no folder, the usual install folders are searched for giants.exe. A Windows Korvane in a
// prefix (its HKCU\Software\KRV DestDir) is reported too, so that setup can take over its files.
//
// The scan only reads. It is bounded: it runs on a thread of its own and the caller gets what was
// found when the budget is spent, so an unreadable or hanging folder never holds the dialog; every
// folder is listed at most once (no symbolic-link loop), and large folders and files are cut off.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app {

// Where the scan looks. FromEnvironment() fills it as the XDG rules say; tests point it at a
// fake home.
struct ScanPlaces {
    std::string home;
    std::string dataHome;   // $XDG_DATA_HOME or ~/.local/share
    std::string configHome; // $XDG_CONFIG_HOME or ~/.config
    std::string winePrefix; // $WINEPREFIX, may be empty

    static ScanPlaces FromEnvironment();
};

struct FoundGame {
    std::string folder;   // the Linux folder that holds giants.exe
    std::string source;   // "Wine", "Lutris", "Bottles", "Heroic", "Steam", "Steam (Flatpak)", ...
    std::string prefix;   // the Wine or Proton prefix it lies in or runs in, "" for none
    std::string launcher; // the Launcher setting that starts it, "" for wine on the PATH
    std::string how;      // one line for the player: how it will be started
};

struct FoundKorvane {
    std::string folder; // the Linux folder of a Korvane installed under Windows in a prefix
    std::string prefix;
    std::optional<std::string> cmdLine;
    std::optional<uint32_t> secondsToJoin;
    std::optional<uint32_t> autoJoin;
};

struct ScanResult {
    std::vector<FoundGame> games;
    std::vector<FoundKorvane> korvanes;
    bool complete = true; // false when the budget ran out before every place was seen
};

inline constexpr std::chrono::milliseconds kScanBudget{3000};

ScanResult ScanInstallations(const ScanPlaces& places,
                             std::chrono::milliseconds budget = kScanBudget);

// True when `folder` holds giants.exe in any letter case.
bool HoldsGame(const std::string& folder);

} // namespace app
