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

using platform::SplitWindowsCommandLine;
using Args = std::vector<std::string>;

TEST(WindowsCommandLine, SplitsTheRuntimesDocumentedExamples) {
    EXPECT_EQ(SplitWindowsCommandLine(R"("abc" d e)"), (Args{"abc", "d", "e"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(a\\b d"e f"g h)"), (Args{R"(a\\b)", "de fg", "h"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(a\\\"b c d)"), (Args{R"(a\"b)", "c", "d"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(a\\\\"b c" d e)"), (Args{R"(a\\b c)", "d", "e"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"(a"b"" c d)"), (Args{R"(ab" c d)"}));
}

TEST(WindowsCommandLine, KeepsEmptyQuotedArgumentsAndDropsBlanks) {
    EXPECT_EQ(SplitWindowsCommandLine("  -host"), (Args{"-host"}));
    EXPECT_EQ(SplitWindowsCommandLine(R"( "-join" "1.2.3.4" "" "" )"),
              (Args{"-join", "1.2.3.4", "", ""}));
    EXPECT_EQ(SplitWindowsCommandLine("\t\"\"\t"), (Args{""}));
    EXPECT_EQ(SplitWindowsCommandLine(""), Args{});
    EXPECT_EQ(SplitWindowsCommandLine(R"("unclosed group)"), (Args{"unclosed group"}));
}

namespace {

struct FakeArgs {
    explicit FakeArgs(Args values) : storage(std::move(values)) {
        for (std::string& s : storage)
            pointers.push_back(s.data());
    }
    int argc() const { return static_cast<int>(pointers.size()); }
    char** argv() { return pointers.data(); }
    Args storage;
    std::vector<char*> pointers;
};

ui::LaunchRequest Request(ui::LaunchMode mode, bool joinEnabled = true, std::string address = {}) {
    ui::LaunchRequest request;
    request.mode = mode;
    request.joinButtonEnabled = joinEnabled;
    request.address = std::move(address);
    return request;
}

} // namespace

TEST(GameCommandLine, BuildsEachModesTextExactly) {
    g_strGiantsDir = "/games/My Giants";
    g_strCmdLine = "";
    FakeArgs none({"korvane"});
    const std::string path = "/games/My Giants\\giants.exe";
    EXPECT_EQ(ui::GameCommandLine(Request(ui::LaunchMode::Host), none.argc(), none.argv()),
              path + "  -host");
    EXPECT_EQ(ui::GameCommandLine(Request(ui::LaunchMode::Join, true, "1.2.3.4"), none.argc(),
                                  none.argv()),
              path + "  -join 1.2.3.4");

    FakeArgs lobby({"korvane", "-join", "1.2.3.4", "", ""});
    g_strCmdLine = "+set a";
    EXPECT_EQ(ui::GameCommandLine(Request(ui::LaunchMode::Join, true, "9.9.9.9"), lobby.argc(),
                                  lobby.argv()),
              path + " +set a \"-join\" \"1.2.3.4\" \"\" \"\" ");
    FakeArgs hosting({"korvane", "-host", "-name", "Bob"});
    EXPECT_EQ(
        ui::GameCommandLine(Request(ui::LaunchMode::Host, false), hosting.argc(), hosting.argv()),
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

    ::setenv("KORVANE_WINE", "/bin/true", 1);
    auto wine = ui::BuildGameCommand(dir / "windows.exe", line, 15, error);
    ASSERT_TRUE(wine);
    EXPECT_EQ(wine->program, "/bin/true");
    EXPECT_EQ(wine->argv, (Args{"/bin/true", dir / "windows.exe", "+a", "-join", "1.2.3.4"}));
    ::setenv("KORVANE_WINE", "no-such-wine-launcher", 1);
    EXPECT_FALSE(ui::BuildGameCommand(dir / "windows.exe", line, 15, error));
    EXPECT_NE(error.find("no-such-wine-launcher"), std::string::npos);
    ::unsetenv("KORVANE_WINE");
}

TEST(ChildProcess, ReportsExitStatusSignalAndFailedStart) {
    std::string error;
    auto ok = platform::RunAndWait("/bin/sh", {"sh", "-c", "exit 0"}, error);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(ok->Succeeded());
    auto one = platform::RunAndWait("/bin/sh", {"sh", "-c", "exit 1"}, error);
    ASSERT_TRUE(one);
    EXPECT_FALSE(one->Succeeded());
    EXPECT_EQ(one->code, 1);
    auto killed = platform::RunAndWait("/bin/sh", {"sh", "-c", "kill -9 $$"}, error);
    ASSERT_TRUE(killed);
    EXPECT_FALSE(killed->exited);
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
