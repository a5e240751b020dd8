// The installation scan over fake homes in every layout it knows, the configuration readers
// behind it, and the mapping of a prefix's Windows paths.
#include <gtest/gtest.h>

#include <tuple>

#include "FakeHome.h"
#include "TempDir.h"
#include "app/InstallationScan.h"
#include "app/LauncherConfigs.h"
#include "app/WinePrefix.h"

using fake_home::MakeExecutable;
using fake_home::MakeGame;
using fake_home::MakePrefix;
using fake_home::WineKey;

namespace {

const std::string kGiants = "Software\\\\PlanetMoon\\\\Giants";

// One home with every layout at once; what the scan must find is listed in the test.
void BuildEveryLayout(const testing_support::TempDir& home) {
    const std::string h = home.Path();
    // $WINEPREFIX: a 32-bit installer in a 64-bit prefix wrote to the machine's Wow6432Node, and
    // not into a usual folder. The machine's hive is read last, so this one is listed last.
    MakePrefix(home, "elsewhere/prefix", "",
               WineKey("Software\\\\Wow6432Node\\\\PlanetMoon\\\\Giants",
                       "\"DestDir\"=\"C:\\\\Planet Moon\\\\Giants\\\\\""));
    MakeGame(home, "elsewhere/prefix/drive_c/Planet Moon/Giants");

    // ~/.wine: a folder with a non-ASCII letter, escaped as Wine writes it, in another letter case
    // on disk; and a Korvane once installed under Windows.
    MakePrefix(home, ".wine",
               WineKey(kGiants, "\"DestDir\"=\"C:\\\\Program Files\\\\Giants Caf\\xe9\"") +
                   WineKey("Software\\\\KRV", "\"DestDir\"=\"C:\\\\Korvane\"\n"
                                              "\"CMDLine\"=\"-window\"\n"
                                              "\"SecondsToJoin\"=dword:0000000a\n"
                                              "\"AutoJoin\"=dword:00000001"));
    MakeGame(home, ".wine/drive_c/Program Files/giants caf\xC3\xA9", "GIANTS.EXE");
    home.WriteFile(".wine/drive_c/Korvane/Master.abx", "master");

    // A prefix whose registry names nothing: the usual folders are searched.
    MakePrefix(home, ".local/share/wineprefixes/gog");
    MakeGame(home, ".local/share/wineprefixes/gog/drive_c/GOG Games/Giants Citizen Kabuto");

    // Lutris with its own Wine build.
    home.WriteFile(".config/lutris/games/giants-1700000000.yml",
                   "game:\n  exe: " + h +
                       "/Games/giants/drive_c/Program Files/Giants/giants.exe\n"
                       "  prefix: ~/Games/giants\ngame_slug: giants\nname: Giants\nrunner: wine\n"
                       "system: {}\nwine:\n  version: lutris-7.2-2-x86_64\n");
    MakeExecutable(home, ".local/share/lutris/runners/wine/lutris-7.2-2-x86_64/bin/wine");
    MakePrefix(home, "Games/giants",
               WineKey(kGiants, "\"DestDir\"=\"C:\\\\Program Files\\\\Giants\""));
    MakeGame(home, "Games/giants/drive_c/Program Files/Giants");

    // Bottles with its runner; the game two levels down, found without the registry.
    MakePrefix(home, ".local/share/bottles/bottles/Giants");
    home.WriteFile(".local/share/bottles/bottles/Giants/bottle.yml",
                   "Arch: win64\nName: Giants\nRunner: soda-7.0-9\nVersioning: false\n");
    MakeExecutable(home, ".local/share/bottles/runners/soda-7.0-9/bin/wine");
    MakeGame(home, ".local/share/bottles/bottles/Giants/drive_c/Program Files (x86)/Planet "
                   "Moon/Giants");

    // Heroic running a GOG copy through GE-Proton.
    const std::string proton = h + "/.local/share/Steam/compatibilitytools.d/GE-Proton8-25/proton";
    home.WriteFile(".config/heroic/GamesConfig/1207658930.json",
                   "{\n  \"1207658930\": {\n    \"winePrefix\": \"" + h +
                       "/Games/Heroic/Prefixes/default/Giants\",\n    \"wineVersion\": {\n"
                       "      \"bin\": \"" +
                       proton +
                       "\",\n      \"name\": \"Proton - GE\",\n"
                       "      \"type\": \"proton\"\n    }\n  }\n}\n");
    MakeExecutable(home, ".local/share/Steam/compatibilitytools.d/GE-Proton8-25/proton");
    MakePrefix(home, "Games/Heroic/Prefixes/default/Giants/pfx");
    MakeGame(home, "Games/Heroic/Prefixes/default/Giants/pfx/drive_c/GOG Games/Giants");

    // Steam: ~/.steam links to the real folder, three libraries, Proton 8.0 in the first.
    home.MakeDirectory(".steam");
    EXPECT_EQ(::symlink((h + "/.local/share/Steam").c_str(), (home / ".steam/root").c_str()), 0);
    EXPECT_EQ(::symlink((h + "/.local/share/Steam").c_str(), (home / ".steam/steam").c_str()), 0);
    home.WriteFile(".local/share/Steam/steamapps/libraryfolders.vdf",
                   "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + h +
                       "/.local/share/Steam\"\n\t\t\"label\"\t\t\"\"\n\t}\n\t\"1\"\n\t{\n"
                       "\t\t\"path\"\t\t\"" +
                       h + "/lib2\"\n\t}\n\t\"2\"\n\t{\n\t\t\"path\"\t\t\"" + h +
                       "/lib3\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"0\"\n\t\t}\n\t}\n}\n");
    MakeExecutable(home, ".local/share/Steam/steamapps/common/Proton 8.0/proton");
    home.MakeDirectory(".local/share/Steam/steamapps/common/Proton 8.0/dist/bin");
    // lib2: the game bought on Steam, with its Proton prefix.
    MakeGame(home, "lib2/steamapps/common/Giants Citizen Kabuto", "GIANTS.exe");
    home.WriteFile(
        "lib2/steamapps/appmanifest_111000.acf",
        "\"AppState\"\n{\n\t\"appid\"\t\t\"111000\"\n\t\"installdir\"\t\t\"Giants Citizen "
        "Kabuto\"\n}\n");
    MakePrefix(home, "lib2/steamapps/compatdata/111000/pfx");
    home.WriteFile("lib2/steamapps/compatdata/111000/config_info",
                   "8.0-104\n" + h +
                       "/.local/share/Steam/steamapps/common/Proton 8.0/dist/share/"
                       "fonts/\n");
    // lib3: a copy installed into the Proton prefix of a non-Steam shortcut, by an older Proton.
    MakeExecutable(home, "lib3/steamapps/common/Proton 7.0/proton");
    MakePrefix(home, "lib3/steamapps/compatdata/2000000001/pfx",
               WineKey(kGiants, "\"DestDir\"=\"c:\\\\giants\""));
    MakeGame(home, "lib3/steamapps/compatdata/2000000001/pfx/drive_c/Giants");
    home.WriteFile("lib3/steamapps/compatdata/2000000001/config_info",
                   "7.0-6\n" + h + "/lib3/steamapps/common/Proton 7.0/files/share/fonts/\n");

    // Flatpak Steam, never started through Proton.
    MakeGame(home, ".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/Giants");

    // A link loop and a folder that is not a game.
    EXPECT_EQ(::symlink("..", (home / "Games/loop").c_str()), 0);
    home.WriteFile("Games/Other/other.exe", "MZ");
}

app::ScanPlaces PlacesIn(const testing_support::TempDir& home) {
    return {home.Path(), home / ".local/share", home / ".config", home / "elsewhere/prefix"};
}

} // namespace

TEST(InstallationScan, FindsTheGameInEveryLayoutWithItsLauncher) {
    testing_support::TempDir home;
    BuildEveryLayout(home);
    const auto before = home.Snapshot();
    const app::ScanResult result = app::ScanInstallations(PlacesIn(home));
    // The scan only reads.
    EXPECT_EQ(home.Snapshot(), before);
    EXPECT_TRUE(result.complete);

    const std::string h = home.Path();
    const std::string proton8 = h + "/.local/share/Steam/steamapps/common/Proton 8.0/proton";
    using Row = std::tuple<std::string, std::string, std::string>;
    const std::vector<Row> expected = {
        {h + "/.wine/drive_c/Program Files/giants caf\xC3\xA9", "Wine", ""},
        {h + "/.local/share/wineprefixes/gog/drive_c/GOG Games/Giants Citizen Kabuto", "Wine", ""},
        {h + "/Games/giants/drive_c/Program Files/Giants", "Lutris",
         h + "/.local/share/lutris/runners/wine/lutris-7.2-2-x86_64/bin/wine"},
        {h + "/.local/share/bottles/bottles/Giants/drive_c/Program Files (x86)/Planet Moon/Giants",
         "Bottles", h + "/.local/share/bottles/runners/soda-7.0-9/bin/wine"},
        {h + "/Games/Heroic/Prefixes/default/Giants/pfx/drive_c/GOG Games/Giants", "Heroic",
         h + "/.local/share/Steam/compatibilitytools.d/GE-Proton8-25/proton"},
        {h + "/lib2/steamapps/common/Giants Citizen Kabuto", "Steam", proton8},
        {h + "/lib3/steamapps/compatdata/2000000001/pfx/drive_c/Giants", "Steam",
         h + "/lib3/steamapps/common/Proton 7.0/proton"},
        {h + "/.var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/Giants",
         "Steam (Flatpak)", ""},
        {h + "/elsewhere/prefix/drive_c/Planet Moon/Giants", "Wine", ""},
    };
    std::vector<Row> found;
    for (const app::FoundGame& game : result.games) {
        found.emplace_back(game.folder, game.source, game.launcher);
        EXPECT_FALSE(game.how.empty()) << game.folder;
    }
    EXPECT_EQ(found, expected);

    ASSERT_EQ(result.korvanes.size(), 1u);
    const app::FoundKorvane& korvane = result.korvanes[0];
    EXPECT_EQ(korvane.folder, h + "/.wine/drive_c/Korvane");
    EXPECT_EQ(korvane.prefix, h + "/.wine");
    EXPECT_EQ(korvane.cmdLine, "-window");
    EXPECT_EQ(korvane.secondsToJoin, 10u);
    EXPECT_EQ(korvane.autoJoin, 1u);
}

TEST(InstallationScan, AnEmptyHomeFindsNothingAndASpentBudgetEndsTheScan) {
    testing_support::TempDir home;
    EXPECT_TRUE(app::ScanInstallations(PlacesIn(home)).games.empty());

    BuildEveryLayout(home);
    const app::ScanResult cut =
        app::ScanInstallations(PlacesIn(home), std::chrono::milliseconds(0));
    EXPECT_FALSE(cut.complete);
    EXPECT_LT(cut.games.size(), 9u);
}

TEST(InstallationScan, StaleRegistryValuesAndMissingGamesAreNotListed) {
    testing_support::TempDir home;
    // DestDir names a folder that was removed; a drive that is not mapped; an empty folder.
    MakePrefix(home, ".wine", WineKey(kGiants, "\"DestDir\"=\"C:\\\\Program Files\\\\Giants\""));
    home.MakeDirectory(".wine/drive_c/Program Files/Giants");
    MakePrefix(home, ".local/share/wineprefixes/d",
               WineKey(kGiants, "\"DestDir\"=\"D:\\\\Giants\""));
    home.WriteFile(".local/share/wineprefixes/d/drive_c/readme.txt", "");
    EXPECT_TRUE(app::ScanInstallations(PlacesIn(home)).games.empty());
}

TEST(LauncherConfigs, ReadTheFactsTheScanNeeds) {
    // Old libraryfolders.vdf: numbered entries name the folders; other keys are not folders.
    EXPECT_EQ(app::LibraryFolders("\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"169\"\n"
                                  "\t\"ContentStatsID\"\t\t\"-1\"\n\t\"1\"\t\t\"/mnt/games\"\n"
                                  "\t\"2\"\t\t\"/media/a \\\"b\\\"\"\n}\n"),
              (std::vector<std::string>{"/mnt/games", "/media/a \"b\""}));
    EXPECT_EQ(app::ManifestInstallDir("\"AppState\"\n{\n\t\"name\"\t\t\"x\"\n"
                                      "\t\"installdir\"\t\t\"Giants\"\n}"),
              "Giants");
    EXPECT_FALSE(app::ManifestInstallDir("\"AppState\"\n{\n}"));
    EXPECT_EQ(app::ProtonFromConfigInfo("5.13-6\n/s/common/Proton 5.13/dist/share/fonts/\n"),
              "/s/common/Proton 5.13");
    EXPECT_EQ(app::ProtonFromConfigInfo("GE-Proton9-1\n/c/GE-Proton9-1/files/share/fonts/\n"),
              "/c/GE-Proton9-1");
    EXPECT_FALSE(app::ProtonFromConfigInfo("8.0-104\n"));

    const app::LutrisGame lutris = app::ReadLutrisGame(
        "game:\n  args: -window\n  exe: 'C:/x/giants.exe'\n  prefix: \"/p/giants\"\n"
        "name: prefix: not this\nwine:\n  version: wine-ge-8-26-x86_64\n");
    EXPECT_EQ(lutris.prefix, "/p/giants");
    EXPECT_EQ(lutris.exe, "C:/x/giants.exe");
    EXPECT_EQ(lutris.wineVersion, "wine-ge-8-26-x86_64");

    EXPECT_EQ(app::BottleRunner("Name: x\nRunner: 'caffe-7.20'\nParameters:\n  Runner: no\n"),
              "caffe-7.20");
    EXPECT_FALSE(app::BottleRunner("Name: x\n"));

    const app::HeroicGame heroic = app::ReadHeroicGame(
        "{\"x\":{\"winePrefix\": \"/h/Prefixes/Gi\\u00e4nts\",\"wineVersion\":{\"bin\":"
        "\"\\/usr\\/bin\\/wine\",\"name\":\"Wine\",\"type\":\"wine\"}}}");
    EXPECT_EQ(heroic.winePrefix, "/h/Prefixes/Gi\xC3\xA4nts");
    EXPECT_EQ(heroic.wineBin, "/usr/bin/wine");
    EXPECT_EQ(heroic.wineType, "wine");
}

TEST(WinePrefix, MapsWindowsPathsThroughDosdevices) {
    testing_support::TempDir home;
    MakePrefix(home, "p");
    home.MakeDirectory("p/drive_c/Program Files/Giants");
    home.MakeDirectory("elsewhere/Games");
    EXPECT_EQ(::symlink((home / "elsewhere").c_str(), (home / "p/dosdevices/d:").c_str()), 0);
    const std::string p = home / "p";

    EXPECT_EQ(app::MapWindowsPath(p, "C:\\PROGRAM FILES\\giants"),
              p + "/drive_c/Program Files/Giants");
    EXPECT_EQ(app::MapWindowsPath(p, "c:\\"), p + "/drive_c");
    EXPECT_EQ(app::MapWindowsPath(p, "D:\\games\\New"), home / "elsewhere/Games/New");
    EXPECT_FALSE(app::MapWindowsPath(p, "E:\\Giants"));
    EXPECT_FALSE(app::MapWindowsPath(p, "\\\\server\\share"));
    EXPECT_FALSE(app::MapWindowsPath(p, "/home/x"));

    EXPECT_TRUE(app::IsWindowsPath("C:\\Games"));
    EXPECT_TRUE(app::IsWindowsPath("c:/Games"));
    EXPECT_TRUE(app::IsWindowsPath("\\\\server\\x"));
    EXPECT_FALSE(app::IsWindowsPath("/home/x/C:"));
    EXPECT_FALSE(app::IsWindowsPath("relative"));

    EXPECT_EQ(app::PrefixOfPath("/h/.wine/drive_c/Games/Giants"), "/h/.wine");
    EXPECT_EQ(app::PrefixOfPath("/h/pfx/drive_c"), "/h/pfx");
    EXPECT_EQ(app::PrefixOfPath("/h/games/Giants"), "");
    EXPECT_EQ(app::NormalizePath("/a/dosdevices/../drive_c/./x//y/"), "/a/drive_c/x/y");
    EXPECT_EQ(app::NormalizePath("/.."), "/");
}

TEST(InstallationScan, HeroicGogGameInAPlainFolderKeepsItsPrefix) {
    // Heroic installs a GOG game into ~/Games/Heroic/NAME and runs it in a prefix of its own; only
    // gog_store/installed.json and the game's configuration tie the two together.
    testing_support::TempDir home;
    const std::string h = home.Path();
    const std::string wine = h + "/.config/heroic/tools/wine/Wine-GE/bin/wine";
    const std::string prefix = h + "/Games/Heroic/Prefixes/default/Giants Citizen Kabuto";
    home.WriteFile(".config/heroic/gog_store/installed.json",
                   "{\"installed\":[{\"platform\":\"windows\",\"executable\":\"\",\"install_path\":"
                   "\"" +
                       h +
                       "/Games/Heroic/Giants Citizen Kabuto\",\"install_size\":\"1.2 GiB\","
                       "\"is_dlc\":false,\"version\":\"1.4\",\"appName\":\"1207658719\"},"
                       "{\"install_path\":\"/elsewhere\",\"appName\":\"../../escape\"}]}");
    home.WriteFile(".config/heroic/GamesConfig/1207658719.json",
                   "{\"1207658719\":{\"winePrefix\":\"" + prefix +
                       "\",\"wineVersion\":{\"bin\":\"" + wine + "\",\"type\":\"wine\"}}}");
    MakeExecutable(home, ".config/heroic/tools/wine/Wine-GE/bin/wine");
    MakePrefix(home, "Games/Heroic/Prefixes/default/Giants Citizen Kabuto");
    MakeGame(home, "Games/Heroic/Giants Citizen Kabuto");

    const app::ScanResult result = app::ScanInstallations(PlacesIn(home));
    ASSERT_EQ(result.games.size(), 1u);
    const app::FoundGame& game = result.games[0];
    EXPECT_EQ(game.folder, h + "/Games/Heroic/Giants Citizen Kabuto");
    EXPECT_EQ(game.prefix, prefix);
    EXPECT_EQ(game.launcher, wine);
    EXPECT_NE(game.how.find(prefix), std::string::npos) << game.how;
}
