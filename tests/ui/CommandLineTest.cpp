// The real program run from its command line, as a game lobby would start it, against a registry
// file, own and game folders of its own and a stand-in game that records its arguments. Message
// boxes are recorded and answered through the program's KORVANE_MESSAGE_RECORD seam.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "RefusingPort.h"
#include "TempDir.h"
#include "platform/Process.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

struct Outcome {
    int status = -1;
    Lines messages;      // caption, a tab, the text (line feeds as \n)
    Lines game;          // the game's argv; empty when it was not started
    std::string gameDir; // the game's current directory
};

class KorvaneCommandLine : public ::testing::Test {
  protected:
    KorvaneCommandLine() {
        m_dir.MakeDirectory("own/Modpacks");
        m_dir.WriteFile("game/bin/worldlist.bin", "game's list");
        m_dir.WriteFile("own/worldlist.bin", "game's list");
        m_dir.WriteFile("own/KRVworldlist.bin", "default list");
        m_dir.WriteFile("own/Master.abx", "companion");
        fs::copy_file(RECORDING_GAME_PATH, Game());
        fs::permissions(Game(), fs::perms::owner_all);
        SetRegistry("");
    }

    void SetRegistry(const std::string& extraKrvValues, bool withGame = true) {
        std::string body = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"" +
                           m_dir / "own" +
                           "\"\r\n\"AutoJoin\"=dword:00000001\r\n"
                           "\"SecondsToJoin\"=dword:00000000\r\n" +
                           extraKrvValues + "\r\n";
        if (withGame)
            body += "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n\"DestDir\"=\"" +
                    m_dir / "game" + "\"\r\n";
        m_dir.WriteFile("registry.reg", body);
    }

    // Runs Korvane to its end; its messages and its game's arguments are read from files.
    Outcome Start(const Lines& arguments, const std::string& gameExit = "0") {
        ::setenv("KORVANE_TEST_GAME_EXIT", gameExit.c_str(), 1);
        ::setenv("KORVANE_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
        ::setenv("KORVANE_MESSAGE_RECORD", (m_dir / "messages.txt").c_str(), 1);
        ::setenv("KORVANE_TEST_ARGV_FILE", (m_dir / "argv.txt").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        fs::remove(m_dir / "messages.txt");
        fs::remove(m_dir / "argv.txt");
        Lines argv{KORVANE_BINARY_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::string error;
        auto child = platform::ChildProcess::Start(KORVANE_BINARY_PATH, argv, error);
        EXPECT_TRUE(child) << error;
        Outcome run;
        if (!child)
            return run;
        auto status = child->WaitFor(std::chrono::seconds(60));
        if (!status) {
            ::kill(child->Pid(), SIGKILL);
            ADD_FAILURE() << "Korvane did not end by itself";
            status = child->Wait();
        }
        run.status = status->exited ? status->code : 128 + status->code;
        run.messages = ReadLines("messages.txt");
        Lines game = ReadLines("argv.txt");
        if (!game.empty()) {
            run.gameDir = game.front();
            run.game.assign(game.begin() + 1, game.end());
        }
        return run;
    }

    Lines ReadLines(const std::string& name) const {
        Lines lines;
        std::istringstream in(m_dir.ReadFile(name).value_or(""));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string Game() const { return m_dir / "game/giants.exe"; }

    testing_support::TempDir m_dir;
};

} // namespace

TEST_F(KorvaneCommandLine, StartsTheGameWithTheLobbysArgumentsInItsFolder) {
    // Switches Korvane consumed reach the game as empty arguments. A countdown of 0 seconds joins
    // at once, and a countdown join passes over a host that refuses the connection without a
    // message.
    const testing_support::RefusingPort closed(8155);
    const std::string game = Game();
    const std::pair<Lines, Lines> cases[] = {
        {{"-krv_autohost"}, {game, "-host"}},
        {{"-host", "-name", "Bob", "-krv_autohost"}, {game, "-host", "-name", "Bob", ""}},
        // Capital switches are not Korvane's; auto-host wins over a join.
        {{"-HOST", "-join", "127.0.0.1", "-JOIN", "-krv_autohost"}, {game, "-host"}},
        // "-join" takes the next argument as its address, even "-host", which disables Join.
        {{"-join", "-host", "-krv_autohost"}, {game, "-join", "-host", ""}},
        {{"-krvdebug", "-join", "127.0.0.1", "-name", "Bob"},
         {game, "", "-join", "127.0.0.1", "-name", "Bob"}}};
    for (const auto& [arguments, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        const Outcome run = Start(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.game, expected);
        EXPECT_EQ(fs::canonical(run.gameDir), fs::canonical(m_dir / "game"));
        EXPECT_EQ(run.messages, Lines{});
    }
    const std::string log = m_dir.ReadFile("own/KRVRun.log").value_or("");
    EXPECT_NE(log.find("Connecting to 127.0.0.1"), std::string::npos);
    EXPECT_NE(log.find("Could not open http://127.0.0.1:8155/giantshost.htm: "), std::string::npos)
        << log;

    SetRegistry("\"CMDLine\"=\"+set fast\"");
    EXPECT_EQ(Start({"-krv_autohost"}).game, (Lines{Game(), "+set", "fast", "-host"}));
}

TEST_F(KorvaneCommandLine, VersionAndHelpAnswerBeforeSettingsOrWindow) {
    // Without a display Qt would abort, and an unreadable registry would give a message: either
    // shows that something ran before the answer.
    m_dir.WriteFile("registry.reg", "not a registry\n");
    ::setenv("KORVANE_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
    ::setenv("KORVANE_MESSAGE_RECORD", (m_dir / "messages.txt").c_str(), 1);
    const std::pair<const char*, const char*> cases[] = {
        {"--version", "korvane " KORVANE_VERSION "\n"}, {"--help", "Usage: korvane [SWITCH...]\n"}};
    for (const auto& [argument, firstLine] : cases) {
        SCOPED_TRACE(argument);
        std::string error;
        const auto status = platform::RunAndWait(
            "/usr/bin/env",
            {"env", "-u", "QT_QPA_PLATFORM", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "sh", "-c",
             "exec \"$0\" \"$1\" >\"$2\"", KORVANE_BINARY_PATH, argument, m_dir / "out.txt"},
            error);
        ASSERT_TRUE(status) << error;
        EXPECT_TRUE(status->Succeeded());
        const Lines out = ReadLines("out.txt");
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.front() + "\n", firstLine);
        EXPECT_EQ(ReadLines("messages.txt"), Lines{});
    }
    EXPECT_EQ(m_dir.ReadFile("registry.reg").value_or(""), "not a registry\n");
}

TEST_F(KorvaneCommandLine, BadArgumentsGiveTheirMessage) {
    const testing_support::RefusingPort closed(8155); // no host answers a join
    const std::string invalid = "KRV Error\tInvalid IP address";
    const std::tuple<Lines, std::string, Lines> cases[] = {
        {{"-join"}, invalid, {}},
        {{"-join", "-host"}, invalid, {}},
        // A selection error suppresses auto-host but not the join.
        {{"-krv_autohost", "-join", "127.0.0.1", "-krv_selectgck"},
         "KRV Error\tNo GCK file was specified with -krv_selectgck switch",
         {Game(), "", "-join", "127.0.0.1", ""}},
        {{"-krv_selectgck", "gone.gck", "-krv_autohost", "-join", "127.0.0.1"},
         "KRV Error\t\"gone.gck\" is not in list",
         {Game(), "", "", "", "-join", "127.0.0.1"}},
        {{"-krv_selectgck", ".gck", "-join", "127.0.0.1"},
         "KRV Error\t\".gck\" is not in list",
         {Game(), "", "", "-join", "127.0.0.1"}}};
    for (const auto& [arguments, message, game] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        const Outcome run = Start(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.messages, Lines{message});
        EXPECT_EQ(run.game, game);
    }
    // Started by a lobby, nobody may be there to answer a setup dialog: the messages end the run.
    SetRegistry("", false);
    Outcome run = Start({"-name", "Bob"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.messages,
              (Lines{"KRV Error\tError - Giants : Citizen Kabuto was not found on your system."}));
    // A folder carried over from Windows gives one message that names it, not the errors that
    // would follow from it, and the game is not started.
    m_dir.WriteFile("registry.reg",
                    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"" +
                        m_dir / "own" +
                        "\"\r\n[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n"
                        "\"DestDir\"=\"C:\\\\Games\\\\Giants\"\r\n");
    run = Start({"-krv_autohost"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.messages,
        (Lines{"KRV Error\tError - DestDir of HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants "
               "is \"C:\\Games\\Giants\", which is not the full path of a folder.\\nSet it "
               "to the folder's full Linux path: start Korvane without arguments to choose "
               "it in the setup dialog, or set the value with korvane-reg add."}));
    EXPECT_TRUE(run.game.empty());
}

TEST_F(KorvaneCommandLine, GameFailuresGiveTheSpawnMessage) {
    const std::string spawn =
        "Korvane\tError spawning Giants\\nIf Giants did not start, check that it is installed "
        "properly.\\nIf Giants did start, it did not exit properly.";
    Outcome run = Start({"-krv_autohost"}, "1");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.game.size(), 2u);
    EXPECT_EQ(run.messages, Lines{spawn});

    fs::remove(Game());
    run = Start({"-krv_autohost"});
    EXPECT_EQ(run.messages, Lines{spawn});
}

TEST_F(KorvaneCommandLine, WindowsGameStartsThroughTheWineLauncher) {
    m_dir.WriteFile("game/giants.exe", "MZ not really a game");
    ::setenv("KORVANE_WINE", RECORDING_GAME_PATH, 1);
    Outcome run = Start({"-krv_autohost"});
    ::unsetenv("KORVANE_WINE");
    EXPECT_EQ(run.game, (Lines{RECORDING_GAME_PATH, Game(), "-host"}));

    // The launcher that setup stored, and a missing one named in the window with the fix.
    SetRegistry(std::string("\"Launcher\"=\"") + RECORDING_GAME_PATH + "\"\r\n");
    run = Start({"-krv_autohost"});
    EXPECT_EQ(run.game, (Lines{RECORDING_GAME_PATH, Game(), "-host"}));
    SetRegistry("\"Launcher\"=\"/no/such/wine\"\r\n");
    run = Start({"-krv_autohost"});
    EXPECT_TRUE(run.game.empty());
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].rfind("KRV Error\tError spawning Giants: the launcher "
                                    "\"/no/such/wine\" was not found",
                                    0),
              0u)
        << run.messages[0];
    EXPECT_NE(run.messages[0].find("Setup..."), std::string::npos);
}
