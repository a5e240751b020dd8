#pragma once
// The few facts the installation scan needs from the configuration files of Steam, Lutris,
// Bottles and Heroic. Each reader is a pure function from the file's text; none of them is a full
// parser of its format, and a file that does not hold what is looked for yields nothing.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// Steam's libraryfolders.vdf: the folder of every library, in file order. Reads both the current
// layout ("path" inside a numbered block) and the old one (a number directly naming the folder).
std::vector<std::string> LibraryFolders(std::string_view vdf);

// A Steam appmanifest_ID.acf: its "installdir" (the folder below steamapps/common).
std::optional<std::string> ManifestInstallDir(std::string_view acf);

// A Proton prefix's config_info: the Proton folder that last ran it (the folder holding the
// `proton` script), taken from the font paths it lists below ".../files/" or ".../dist/".
std::optional<std::string> ProtonFromConfigInfo(std::string_view configInfo);

// A Lutris game configuration (YAML).
struct LutrisGame {
    std::string prefix;      // game: prefix:
    std::string exe;         // game: exe:
    std::string wineVersion; // wine: version:, a folder below Lutris' runners/wine
};
LutrisGame ReadLutrisGame(std::string_view yml);

// A Bottles bottle.yml: the name of the runner it uses ("Runner: soda-7.0-9").
std::optional<std::string> BottleRunner(std::string_view yml);

// A Heroic per-game configuration (GamesConfig/ID.json).
struct HeroicGame {
    std::string winePrefix;
    std::string wineBin;  // wineVersion: bin, the Wine binary or the proton script
    std::string wineType; // wineVersion: type, "wine", "proton" and others
};
HeroicGame ReadHeroicGame(std::string_view json);

// Heroic's list of the games it installed from a store (gog_store/installed.json): each game's id
// in the store, which names its GamesConfig file, and the folder it was installed in. A GOG game
// lies in a plain folder (~/Games/Heroic/NAME) and runs in the prefix of its configuration.
struct HeroicInstall {
    std::string appName;
    std::string installPath;
};
std::vector<HeroicInstall> ReadHeroicInstalled(std::string_view json);

} // namespace app
