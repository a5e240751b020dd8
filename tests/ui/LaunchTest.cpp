// The pieces of a game start that need no window: command-line splitting, the command line that
// each mode builds, the choice between a direct start and Wine, and the wait for the exit status.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "RecordingMessageBoxes.h"
#include "TempDir.h"
#include "app/Settings.h"
#include "platform/Process.h"
#include "platform/WindowsCommandLine.h"
#include "ui/GameLaunch.h"
#include "ui/NumberText.h"

using Args = std::vector<std::string>;

TEST(WindowsCommandLine, SplitsByTheRuntimesRules) {
    const std::pair<const char*, Args> cases[] = {
        {R"("abc" d e)", {"abc", "d", "e"}},
        {R"(a\\b d"e f"g h)", {R"(a\\b)", "de fg", "h"}},
        {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},
        {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
        {R"(a"b"" c d)", {R"(ab" c d)"}},
        // Empty quoted arguments are kept, blanks around them dropped.
        {R"( "-join" "1.2.3.4" "" "" )", {"-join", "1.2.3.4", "", ""}},
        {"\t\"\"\t", {""}},
        {"", {}},
        {R"("unclosed group)", {"unclosed group"}}};
    for (const auto& [line, args] : cases)
        EXPECT_EQ(platform::SplitWindowsCommandLine(line), args) << line;
}

namespace {

std::string LineFor(ui::LaunchMode mode, Args args, bool joinEnabled = true,
                    std::string address = {}) {
    std::vector<char*> argv;
    for (std::string& s : args)
        argv.push_back(s.data());
    return ui::GameCommandLine({mode, std::move(address), joinEnabled}, int(argv.size()),
                               argv.data());
}

} // namespace

TEST(GameCommandLine, BuildsEachModesTextExactly) {
    using ui::LaunchMode;
    g_strGiantsDir = "/games/My Giants";
    const std::string path = "/games/My Giants\\giants.exe";
    g_strCmdLine = "";
    EXPECT_EQ(LineFor(LaunchMode::Host, {"korvane"}), path + "  -host");
    EXPECT_EQ(LineFor(LaunchMode::Join, {"korvane"}, true, "1.2.3.4"), path + "  -join 1.2.3.4");
    g_strCmdLine = "+set a";
    EXPECT_EQ(LineFor(LaunchMode::Join, {"korvane", "-join", "1.2.3.4", "", ""}, true, "9.9.9.9"),
              path + " +set a \"-join\" \"1.2.3.4\" \"\" \"\" ");
    EXPECT_EQ(LineFor(LaunchMode::Host, {"korvane", "-host", "-name", "Bob"}, false),
              path + " +set a \"-host\" \"-name\" \"Bob\" ");
    g_strCmdLine.clear();
}

TEST(GameCommandLine, SplitsAfterThePathEvenWhenThePathHasSpaces) {
    testing_support::TempDir dir;
    dir.WriteFile("native", "#!/bin/sh\n");
    dir.WriteFile("windows.exe", std::string("MZ\x90\0", 4));
    const std::string line = "/x y\\giants.exe +a  -join 1.2.3.4";
    std::string error;
    auto native = ui::BuildGameCommand(dir / "native", line, 15, error);
    ASSERT_TRUE(native);
    EXPECT_EQ(native->program, dir / "native");
    EXPECT_EQ(native->argv, (Args{dir / "native", "+a", "-join", "1.2.3.4"}));

    // A Windows program through Wine is run end to end; here, a launcher that is not there.
    ::setenv("KORVANE_WINE", "no-such-wine-launcher", 1);
    EXPECT_FALSE(ui::BuildGameCommand(dir / "windows.exe", line, 15, error));
    EXPECT_NE(error.find("no-such-wine-launcher"), std::string::npos);
    ::unsetenv("KORVANE_WINE");
}

TEST(ChildProcess, ReportsExitStatusSignalAndFailedStart) {
    std::string error;
    auto run = [&](const char* script) {
        return platform::RunAndWait("/bin/sh", {"sh", "-c", script}, error).value();
    };
    EXPECT_TRUE(run("exit 0").Succeeded());
    EXPECT_FALSE(run("exit 1").Succeeded());
    EXPECT_EQ(run("exit 1").code, 1);
    EXPECT_FALSE(run("kill -9 $$").exited);
    EXPECT_FALSE(platform::RunAndWait("/no/such/giants.exe", {"giants.exe"}, error));
    EXPECT_NE(error.find("/no/such/giants.exe"), std::string::npos);

    auto child = platform::ChildProcess::Start("/bin/sh", {"sh", "-c", "sleep 0.3"}, error);
    ASSERT_TRUE(child);
    EXPECT_FALSE(child->WaitFor(std::chrono::milliseconds(0)));
    EXPECT_TRUE(child->Wait().Succeeded());
}

TEST(TypedNumbers, ValidatesAddressesAsTheFormattedScanReadsThem) {
    testing_support::ScopedMessageRecorder messages;
    for (const char* good :
         {"0.0.0.1", "255.255.255.254", "10.0.0.1:8155", " 1. 2.3.4", "+1.2.3.4"})
        EXPECT_TRUE(ui::ValidateIPAddress(good)) << good;
    EXPECT_TRUE(messages.Empty());
    for (const char* bad : {"256.1.1.1", "1.2.3", "0.0.0.0", "255.255.255.255", "-1.2.3.4", "",
                            "a.b.c.d", "1 .2.3.4", "99999999999.1.1.1"}) {
        EXPECT_FALSE(ui::ValidateIPAddress(bad)) << bad;
        EXPECT_EQ(messages.Last().text, "Invalid IP address");
        EXPECT_EQ(messages.Last().caption, "KRV Error");
        EXPECT_EQ(messages.Last().owner, platform::Owner::None);
    }
}

TEST(TypedNumbers, LimitsCountdownSecondsAndCutsTextWhole) {
    EXPECT_EQ(ui::ReadCountdownSeconds("75"), 60);
    EXPECT_EQ(ui::ReadCountdownSeconds("-3"), 0);
    EXPECT_EQ(ui::ReadCountdownSeconds("12abc"), 12);
    EXPECT_EQ(ui::ReadCountdownSeconds("  7"), 7);
    EXPECT_FALSE(ui::ReadCountdownSeconds("abc"));
    EXPECT_FALSE(ui::ReadCountdownSeconds("   "));
    EXPECT_EQ(ui::CutToBytes(std::string(600, 'x'), 510).size(), 510u);
    // "é" is two bytes: a cut that would split it leaves it out whole.
    EXPECT_EQ(ui::CutToBytes("ab\xC3\xA9", 3), "ab");
}
