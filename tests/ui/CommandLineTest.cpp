// The real program run from its command line, as a game lobby would start it, against a registry
// file, own and game folders of its own and a stand-in game that records its arguments. Message
// boxes are recorded and answered through the program's KORVANE_MESSAGE_RECORD seam.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

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
        InstallGame(RECORDING_GAME_PATH);
        SetRegistry("");
    }

    void InstallGame(const std::string& program) {
        const fs::path target = m_dir / "game/giants.exe";
        fs::copy_file(program, target, fs::copy_options::overwrite_existing);
        fs::permissions(target, fs::perms::owner_all);
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

    Outcome Start(const Lines& arguments, const std::string& gameExit = "0") {
        ::setenv("KORVANE_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
        ::setenv("KORVANE_MESSAGE_RECORD", (m_dir / "messages.txt").c_str(), 1);
        ::setenv("KORVANE_TEST_ARGV_FILE", (m_dir / "argv.txt").c_str(), 1);
        ::setenv("KORVANE_TEST_GAME_EXIT", gameExit.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        fs::remove(m_dir / "messages.txt");
        fs::remove(m_dir / "argv.txt");

        const std::string program = KORVANE_BINARY_PATH;
        Lines argv{program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::string error;
        auto child = platform::ChildProcess::Start(program, argv, error);
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

TEST_F(KorvaneCommandLine, AutoHostStartsTheGameAsHostInItsFolder) {
    const Outcome run = Start({"-krv_autohost"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.game, (Lines{Game(), "-host"}));
    EXPECT_EQ(fs::canonical(run.gameDir), fs::canonical(m_dir / "game"));
    EXPECT_EQ(run.messages, Lines{});
}

TEST_F(KorvaneCommandLine, HostSwitchPassesKorvanesOwnArgumentsThrough) {
    const Outcome run = Start({"-host", "-name", "Bob", "-krv_autohost"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.game, (Lines{Game(), "-host", "-name", "Bob", ""}));
}

TEST_F(KorvaneCommandLine, ExtraParametersComeFirstAsSeparateArguments) {
    SetRegistry("\"CMDLine\"=\"+set fast\"");
    EXPECT_EQ(Start({"-krv_autohost"}).game, (Lines{Game(), "+set", "fast", "-host"}));
}

TEST_F(KorvaneCommandLine, CapitalSwitchesAreIgnoredAndAutoHostWinsOverJoin) {
    const Outcome run = Start({"-HOST", "-join", "127.0.0.1:1", "-JOIN", "-krv_autohost"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.game, (Lines{Game(), "-host"}));
}

TEST_F(KorvaneCommandLine, JoinPassesTheLobbysArgumentsWithConsumedOnesEmpty) {
    // The countdown of 0 seconds joins at once; port "1:8155" reaches no host, which a
    // countdown join passes over silently.
    const Outcome run = Start({"-krvdebug", "-join", "127.0.0.1:1", "-name", "Bob"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.game, (Lines{Game(), "", "-join", "127.0.0.1:1", "-name", "Bob"}));
    EXPECT_EQ(run.messages, Lines{});
    const std::string log = m_dir.ReadFile("own/KRVRun.log").value_or("");
    EXPECT_NE(log.find("Connecting to 127.0.0.1:1"), std::string::npos);
}

TEST_F(KorvaneCommandLine, JoinAsLastArgumentFailsValidationAndEnds) {
    const Outcome run = Start({"-join"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.messages, (Lines{"KRV Error\tInvalid IP address"}));
    EXPECT_TRUE(run.game.empty());
}

TEST_F(KorvaneCommandLine, JoinFollowedByHostTakesItAsAddressAndDisablesJoin) {
    const Outcome run = Start({"-join", "-host", "-krv_autohost"});
    EXPECT_EQ(run.game, (Lines{Game(), "-join", "-host", ""}));
    const Outcome joinOnly = Start({"-join", "-host"});
    EXPECT_EQ(joinOnly.messages, (Lines{"KRV Error\tInvalid IP address"}));
}

TEST_F(KorvaneCommandLine, SelectionErrorsSuppressAutoHostButNotJoin) {
    Outcome run = Start({"-krv_autohost", "-join", "127.0.0.1:1", "-krv_selectgck"});
    EXPECT_EQ(run.messages,
              (Lines{"KRV Error\tNo GCK file was specified with -krv_selectgck switch"}));
    EXPECT_EQ(run.game, (Lines{Game(), "", "-join", "127.0.0.1:1", ""}));

    run = Start({"-krv_selectgck", "gone.gck", "-krv_autohost", "-join", "127.0.0.1:1"});
    EXPECT_EQ(run.messages, (Lines{"KRV Error\t\"gone.gck\" is not in list"}));
    EXPECT_EQ(run.game, (Lines{Game(), "", "", "", "-join", "127.0.0.1:1"}));

    run = Start({"-krv_selectgck", ".gck", "-join", "127.0.0.1:1"});
    EXPECT_EQ(run.messages, (Lines{"KRV Error\t\".gck\" is not in list"}));
}

TEST_F(KorvaneCommandLine, GameFailuresGiveTheSpawnMessage) {
    const std::string spawn =
        "Korvane\tError spawning Giants\\nIf Giants did not start, check that it is installed "
        "properly.\\nIf Giants did start, it did not exit properly.";
    Outcome run = Start({"-krv_autohost"}, "1");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.game.size(), 2u);
    EXPECT_EQ(run.messages, Lines{spawn});

    fs::remove(m_dir / "game/giants.exe");
    run = Start({"-krv_autohost"});
    EXPECT_EQ(run.messages, Lines{spawn});
}

TEST_F(KorvaneCommandLine, WindowsGameStartsThroughTheWineLauncher) {
    m_dir.WriteFile("game/giants.exe", "MZ not really a game");
    ::setenv("KORVANE_WINE", RECORDING_GAME_PATH, 1);
    const Outcome run = Start({"-krv_autohost"});
    ::unsetenv("KORVANE_WINE");
    ASSERT_EQ(run.game.size(), 3u);
    EXPECT_EQ(run.game[1], Game());
    EXPECT_EQ(run.game[2], "-host");
}

TEST_F(KorvaneCommandLine, MissingSettingsEndTheStart) {
    SetRegistry("", false);
    const Outcome run = Start({});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.messages,
              (Lines{"KRV Error\tError - Giants : Citizen Kabuto was not found on your system."}));
}

TEST_F(KorvaneCommandLine, SecondTracedInstanceIsRefusedBeforeTheWindowComesUp) {
    // The first instance keeps the trace file while its game runs for a while.
    ::setenv("KORVANE_TEST_GAME_SLEEP_MS", "4000", 1);
    ::setenv("KORVANE_REGISTRY", (m_dir / "registry.reg").c_str(), 1);
    ::setenv("KORVANE_TEST_ARGV_FILE", (m_dir / "first-argv.txt").c_str(), 1);
    ::setenv("KORVANE_MESSAGE_RECORD", (m_dir / "first-messages.txt").c_str(), 1);
    std::string error;
    auto first = platform::ChildProcess::Start(
        KORVANE_BINARY_PATH, {KORVANE_BINARY_PATH, "-krvdebug", "-krv_autohost"}, error);
    ASSERT_TRUE(first) << error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(m_dir / "first-argv.txt") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::unsetenv("KORVANE_TEST_GAME_SLEEP_MS");

    const Outcome second = Start({"-krvdebug"});
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.messages, (Lines{"KRV Error\tKorvane already running"}));
    EXPECT_TRUE(first->Wait().Succeeded());
    const std::string log = m_dir.ReadFile("own/KRVRun.log").value_or("");
    EXPECT_NE(log.find("Giants spawn complete"), std::string::npos);
}
