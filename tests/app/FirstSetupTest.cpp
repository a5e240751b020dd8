// The first start: the checks of the two folders and their one message, what setup stores and
// copies, and the runner each kind of installation is started through, seen by stand-in
// launchers that record their arguments and environment.
#include <fstream>
#include <sstream>

#include "FakeHome.h"
#include "RegistryFixture.h"
#include "app/FirstSetup.h"
#include "app/GameRunner.h"
#include "app/RegKey.h"
#include "app/Settings.h"
#include "platform/Process.h"

namespace {

using FirstSetupTest = RegistryTest;

std::string Folders(const std::string& game, const std::string& own) {
    std::string body;
    if (!game.empty())
        body += "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\n\"DestDir\"=\"" + game + "\"\n";
    if (!own.empty())
        body += "[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"" + own + "\"\n";
    return body;
}

// Starts the program through the runner chosen for `launcher` and returns what the stand-in
// recorded: its arguments, one a line, then the variables of interest.
std::string RunThrough(const std::string& launcher, const std::string& game, std::string& error,
                       const std::string& storedPrefix = "") {
    const std::optional<app::RunnerChoice> choice =
        app::ChooseRunner(launcher, game, error, storedPrefix);
    if (!choice)
        return "<not started>";
    std::vector<std::string> argv = choice->argv;
    argv.push_back("-host");
    const auto child =
        platform::ChildProcess::Start(choice->program, argv, choice->environment, error);
    if (!child)
        return "<failed: " + error + ">";
    const_cast<platform::ChildProcess&>(*child).Wait();
    std::ifstream in(std::getenv("RECORD"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST_F(FirstSetupTest, FoldersThatAreUnsetMissingOrWindowsPathsAreTold) {
    m_dir.MakeDirectory("game");
    m_dir.MakeDirectory("own");
    const std::string game = m_dir / "game";
    const std::string own = m_dir / "own";

    WriteRegistry("");
    app::FolderCheck check = app::CheckFolders();
    EXPECT_EQ(check.game, app::FolderState::Unset);
    EXPECT_EQ(check.own, app::FolderState::Unset);
    // Unset folders keep their own messages.
    EXPECT_FALSE(app::FolderProblemMessage(check));

    WriteRegistry(Folders(game + "\\\\", own));
    check = app::CheckFolders();
    EXPECT_TRUE(check.Good());
    EXPECT_FALSE(app::FolderProblemMessage(check));

    WriteRegistry(Folders("C:\\\\Program Files\\\\Giants", own));
    check = app::CheckFolders();
    EXPECT_EQ(check.game, app::FolderState::WindowsPath);
    EXPECT_EQ(app::FolderProblemMessage(check),
              "Error - the game's folder is set to a Windows path: C:\\Program Files\\Giants\n"
              "Korvane needs the folder as Linux sees it\n(the value DestDir under "
              "HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants).\nStart Korvane without "
              "arguments to choose it in the setup dialog, or set the value with korvane-reg.");

    WriteRegistry(Folders(game, own + "/gone"));
    check = app::CheckFolders();
    EXPECT_EQ(check.own, app::FolderState::Missing);
    EXPECT_EQ(app::FolderProblemMessage(check),
              "Error - Korvane's own folder does not exist: " + own +
                  "/gone\n(the value DestDir under HKEY_CURRENT_USER\\Software\\KRV).\nStart "
                  "Korvane without arguments to choose it in the setup dialog, or set the value "
                  "with korvane-reg.");

    // A store that does not parse cannot take setup's values: it is reported, not overwritten.
    m_dir.WriteFile("config/registry.reg", "not a registry file\n");
    EXPECT_FALSE(app::CheckFolders().storeReadable);
}

TEST_F(FirstSetupTest, SetupStoresTheFoldersAndFillsTheOwnFolderFromTheGame) {
    fake_home::MakeGame(m_dir, "game");
    m_dir.WriteFile("own/worldlist.bin", "kept");
    const std::string own = m_dir / "own/new";
    ASSERT_FALSE(app::ApplySetup({m_dir / "game", own, "/opt/wine/bin/wine", std::nullopt, ""}));

    EXPECT_EQ(QueryString("Software\\PlanetMoon\\Giants", "DestDir"), m_dir / "game");
    EXPECT_EQ(QueryString("Software\\KRV", "DestDir"), own);
    EXPECT_EQ(app::LauncherSetting(), "/opt/wine/bin/wine");
    EXPECT_TRUE(app::CheckFolders().Good());
    EXPECT_EQ(m_dir.ReadFile("own/new/worldlist.bin"), "worlds");
    EXPECT_EQ(m_dir.ReadFile("own/new/KRVworldlist.bin"), "worlds");
    EXPECT_EQ(m_dir.ListTree("own/new"),
              (std::vector<std::string>{"KRVworldlist.bin", "Modpacks/", "worldlist.bin"}));
    // The Options dialog can write now: the key exists.
    EXPECT_TRUE(StoreKrvDword("AutoJoin", 1, platform::Owner::None));

    // The prefix is kept only for a game that does not lie in it.
    EXPECT_EQ(QueryString("Software\\KRV", "WinePrefix"), "");
    ASSERT_FALSE(app::ApplySetup({m_dir / "game", own, "", std::nullopt, m_dir / "prefix"}));
    EXPECT_EQ(app::WinePrefixSetting(), m_dir / "prefix");

    // A second setup into a filled folder changes none of its files.
    m_dir.WriteFile("game/bin/worldlist.bin", "changed");
    ASSERT_FALSE(app::ApplySetup({m_dir / "game", m_dir / "own", "", std::nullopt, ""}));
    EXPECT_EQ(m_dir.ReadFile("own/worldlist.bin"), "kept");
    EXPECT_EQ(m_dir.ReadFile("own/KRVworldlist.bin"), "changed");
    EXPECT_EQ(app::LauncherSetting(), "");
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(FirstSetupTest, TakingOverAWindowsKorvaneCopiesAndNeverMoves) {
    fake_home::MakeGame(m_dir, "game");
    m_dir.WriteFile("win/MASTER.ABX", "master");
    m_dir.WriteFile("win/worldlist.bin", "original worlds");
    m_dir.WriteFile("win/KRVworldlist.bin", "krv worlds");
    m_dir.WriteFile("win/modpacks/Arena.gck", "arena");
    m_dir.WriteFile("win/modpacks/notes.txt", "not a modpack");
    m_dir.WriteFile("own/Modpacks/Arena.gck", "mine");
    const auto before = m_dir.Snapshot("win");

    app::FoundKorvane korvane{m_dir / "win", m_dir / "prefix", "-window", 12u, std::nullopt};
    ASSERT_FALSE(app::ApplySetup({m_dir / "game", m_dir / "own", "", korvane, ""}));
    EXPECT_EQ(m_dir.Snapshot("win"), before);
    EXPECT_EQ(m_dir.ReadFile("own/Master.abx"), "master");
    EXPECT_EQ(m_dir.ReadFile("own/worldlist.bin"), "original worlds");
    EXPECT_EQ(m_dir.ReadFile("own/KRVworldlist.bin"), "krv worlds");
    EXPECT_EQ(m_dir.ReadFile("own/Modpacks/Arena.gck"), "mine");
    EXPECT_EQ(m_dir.ListTree("own/Modpacks"), (std::vector<std::string>{"Arena.gck"}));

    ASSERT_TRUE(GetRegistryItems());
    EXPECT_EQ(g_strCmdLine, "-window");
    EXPECT_EQ(g_nSecondsToJoin, 12u);
    EXPECT_EQ(g_bAutoJoin, 0u);

    // Taken over again later, settings made here since are kept.
    ASSERT_TRUE(WriteKrvSettings({KrvSetting::Text("CMDLine", "-mine")}, platform::Owner::None));
    korvane.autoJoin = 1u;
    ASSERT_FALSE(app::ApplySetup({m_dir / "game", m_dir / "own", "", korvane, ""}));
    ASSERT_TRUE(GetRegistryItems());
    EXPECT_EQ(g_strCmdLine, "-mine");
    EXPECT_EQ(g_bAutoJoin, 1u);
}

TEST_F(FirstSetupTest, EachInstallationStartsThroughItsRunner) {
    ::unsetenv("KORVANE_WINE");
    ::unsetenv("WINEPREFIX");
    ::unsetenv("STEAM_COMPAT_DATA_PATH");
    ::unsetenv("STEAM_COMPAT_CLIENT_INSTALL_PATH");
    const std::string record = m_dir / "record";
    ::setenv("RECORD", record.c_str(), 1);
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("HOME", (m_dir / "home").c_str(), 1);
    const std::string script =
        "#!/bin/sh\n{ printf '%s\\n' \"$0\" \"$@\"; echo \"WINEPREFIX=$WINEPREFIX\";"
        " echo \"DATA=$STEAM_COMPAT_DATA_PATH\"; echo \"CLIENT=$STEAM_COMPAT_CLIENT_INSTALL_PATH\";"
        " } > \"$RECORD\"\n";
    fake_home::MakeExecutable(m_dir, "bin/wine", script);
    fake_home::MakeExecutable(m_dir, "Steam/steamapps/common/Proton 8.0/proton", script);
    m_dir.MakeDirectory("home/.steam/root");
    const std::string wine = m_dir / "bin/wine";
    const std::string proton = m_dir / "Steam/steamapps/common/Proton 8.0/proton";
    const std::string inPrefix = m_dir / "pfx/drive_c/Games/Giants/giants.exe";
    const std::string compat = m_dir / "lib/steamapps/compatdata/111000";
    const std::string inProton = compat + "/pfx/drive_c/Giants/giants.exe";
    const std::string plain = m_dir / "games/Giants/giants.exe";
    std::string error;

    // Wine: the game's prefix, unless the environment names one.
    EXPECT_EQ(RunThrough(wine, inPrefix, error), wine + "\n" + inPrefix + "\n-host\nWINEPREFIX=" +
                                                     (m_dir / "pfx") + "\nDATA=\nCLIENT=\n");
    EXPECT_EQ(RunThrough(wine, plain, error),
              wine + "\n" + plain + "\n-host\nWINEPREFIX=\nDATA=\nCLIENT=\n");
    ::setenv("WINEPREFIX", "/chosen", 1);
    EXPECT_EQ(RunThrough(wine, inPrefix, error),
              wine + "\n" + inPrefix + "\n-host\nWINEPREFIX=/chosen\nDATA=\nCLIENT=\n");
    ::unsetenv("WINEPREFIX");

    // Proton: "proton run" with the compatibility data of the prefix the game lies in.
    EXPECT_EQ(RunThrough(proton, inProton, error),
              proton + "\nrun\n" + inProton + "\n-host\nWINEPREFIX=\nDATA=" + compat +
                  "\nCLIENT=" + (m_dir / "home/.steam/root") + "\n");
    EXPECT_EQ(RunThrough(proton, plain, error), "<not started>");
    EXPECT_NE(error.find("lies in no Proton prefix"), std::string::npos) << error;

    // A game in a plain folder runs in the prefix setup stored for it (Heroic and Lutris keep
    // them apart); the game's own prefix and the environment come first, a missing one is unused.
    m_dir.MakeDirectory("heroic/Giants");
    m_dir.MakeDirectory("heroic/Proton/pfx");
    const std::string stored = m_dir / "heroic/Giants";
    EXPECT_EQ(RunThrough(wine, plain, error, stored),
              wine + "\n" + plain + "\n-host\nWINEPREFIX=" + stored + "\nDATA=\nCLIENT=\n");
    EXPECT_EQ(RunThrough(wine, inPrefix, error, stored),
              wine + "\n" + inPrefix + "\n-host\nWINEPREFIX=" + (m_dir / "pfx") +
                  "\nDATA=\nCLIENT=\n");
    EXPECT_EQ(RunThrough(wine, plain, error, m_dir / "heroic/gone"),
              wine + "\n" + plain + "\n-host\nWINEPREFIX=\nDATA=\nCLIENT=\n");
    EXPECT_EQ(RunThrough(proton, plain, error, m_dir / "heroic/Proton/pfx"),
              proton + "\nrun\n" + plain + "\n-host\nWINEPREFIX=\nDATA=" +
                  (m_dir / "heroic/Proton") + "\nCLIENT=" + (m_dir / "home/.steam/root") + "\n");

    // KORVANE_WINE outranks the stored launcher; a missing launcher is named with the fix.
    EXPECT_EQ(app::LauncherInForce(""), "wine");
    EXPECT_EQ(app::LauncherInForce(proton), proton);
    ::setenv("KORVANE_WINE", "no-such-wine", 1);
    EXPECT_EQ(app::LauncherInForce(proton), "no-such-wine");
    ::unsetenv("KORVANE_WINE");
    EXPECT_EQ(RunThrough("no-such-wine", plain, error), "<not started>");
    EXPECT_EQ(error, "Error spawning Giants: the launcher \"no-such-wine\" was not found; Giants "
                     "is a Windows program and needs it to start.\nInstall Wine (the Debian "
                     "package \"wine\"), or choose the launcher in Setup... (right-click "
                     "Korvane's main window); it is kept as the value Launcher under "
                     "HKEY_CURRENT_USER\\Software\\KRV.");
    EXPECT_FALSE(app::ChooseRunner(m_dir / "bin/missing", plain, error));
    ::unsetenv("RECORD");
    ::setenv("HOME", home.c_str(), 1);
}
