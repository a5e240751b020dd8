// The run log: nothing without -krvdebug, the banner and CR LF lines with it, and the refusal of
// a second traced instance while the first runs.
#include <sys/stat.h>

#include "FakeClock.h"
#include "RegistryFixture.h"
#include "app/RunLog.h"
#include "app/Settings.h"

namespace {

class RunLogTest : public RegistryTest {
  protected:
    RunLogTest() {
        // The own directory as an installation on Windows might store it: with a trailing
        // backslash, which the log keeps (the path then holds two separators in a row).
        WriteRegistry("[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"" + m_dir.Path() +
                      "\\\\\"\n");
    }
    std::optional<std::string> LogFile() const { return m_dir.ReadFile("KRVRun.log"); }
};

// An argv whose strings the run log may empty, as the process's own would be.
struct Args {
    explicit Args(std::vector<std::string> values) : text(std::move(values)) {
        for (std::string& s : text)
            pointers.push_back(s.data());
    }
    std::vector<std::string> Current() const { return {pointers.begin(), pointers.end()}; }
    std::vector<std::string> text;
    std::vector<char*> pointers;
};

const std::string kBanner =
    "\r\n===========================\r\nLog file opened @ 01:46, Sunday, September 09, 2001\r\n";

} // namespace

TEST_F(RunLogTest, WithoutTheSwitchNothingIsTouched) {
    Args args({"korvane", "-KRVDEBUG", "-krvdebug2", "-join"});
    {
        CRunLog log(4, args.pointers.data());
        EXPECT_EQ(g_pRunLog, &log);
        Log("not written");
    }
    EXPECT_EQ(g_pRunLog, nullptr);
    EXPECT_EQ(args.Current(), args.text);
    EXPECT_FALSE(LogFile());
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(RunLogTest, TracedStartWritesBannerAndCrLfLines) {
    testing_support::ScopedFakeClock clock;
    m_dir.WriteFile("KRVRun.log", "an earlier run's lines, much longer than the new file\r\n");
    g_strKorvaneDir.clear();
    Args args({"korvane", "-krvdebug", "-join", "-krvdebug"});
    {
        CRunLog log(4, args.pointers.data());
        EXPECT_EQ(args.Current(), (std::vector<std::string>{"korvane", "", "-join", ""}));
        EXPECT_EQ(g_strKorvaneDir, m_dir.Path() + "\\");
        EXPECT_EQ(LogFile(), kBanner);
        Log("GetRegistryItems()");
        EXPECT_EQ(LogFile(), kBanner + "GetRegistryItems()\r\n") << "each line is on disk at once";
        Log("two\nlines");
    }
    EXPECT_EQ(LogFile(), kBanner + "GetRegistryItems()\r\ntwo\r\nlines\r\n");
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(RunLogTest, SecondTracedInstanceIsRefusedAndFirstLogKept) {
    Args args({"korvane", "-krvdebug"});
    CRunLog first(2, args.pointers.data());
    Log("first running");
    const std::optional<std::string> firstLog = LogFile();
    const ChildResult second = Run(KORVANE_RUNLOG_PROBE, {"-krvdebug"});
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.err.find("KRV Error"), std::string::npos) << second.err;
    EXPECT_NE(second.err.find("Korvane already running"), std::string::npos) << second.err;
    EXPECT_EQ(LogFile(), firstLog);
    // Without the switch any number of instances run beside it.
    EXPECT_EQ(Run(KORVANE_RUNLOG_PROBE, {"-join"}).status, 0);
    EXPECT_EQ(LogFile(), firstLog);
}

// Korvane's start in the directory it was started from, then on elsewhere as the engine goes.
class StartTest : public RunLogTest {
  protected:
    StartTest() {
        m_dir.WriteFile("elsewhere/.keep", "");
        m_dir.WriteFile("game/giants.exe", "");
    }
    ChildResult Start(const std::string& registry, const std::vector<std::string>& args) {
        std::vector<std::string> command = {"-C", m_dir.Path(), "KORVANE_REGISTRY=" + registry,
                                            "KORVANE_PROBE_CHDIR=elsewhere", KORVANE_RUNLOG_PROBE};
        command.insert(command.end(), args.begin(), args.end());
        return Run("/usr/bin/env", command);
    }
    void WriteSettings(const std::string& own) {
        WriteRegistry("[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"" + own +
                      "\"\n"
                      "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\n\"DestDir\"=\"" +
                      (m_dir / "game") + "\"\n");
    }
};

TEST_F(StartTest, RelativeRegistryPathIsTheStartDirectorys) {
    WriteSettings(m_dir.Path());
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-krvdebug"}}) {
        const ChildResult result = Start("config/registry.reg", args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, m_dir / "game" + "\n" + m_dir.Path() + "\n");
        EXPECT_NE(ReadRegistry().find("\"AutoJoin\"=dword:00000001"), std::string::npos);
        EXPECT_FALSE(m_dir.ReadFile("elsewhere/config/registry.reg"))
            << "nothing lands where the engine went";
    }
}

TEST_F(StartTest, TracedStartWithUnusableSettingsSaysWhyAndMakesNoLog) {
    // The root is where an empty own directory would put the log; none may appear there (looked
    // at only when none was there before, left by an older build).
    struct stat status {};
    const bool rootWasClean = ::stat("/KRVRun.log", &status) != 0;
    const std::pair<std::string, std::string> cases[] = {
        {"[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"" + m_dir.Path() + "\"\noops\n",
         RegistryPath() + " line 7: unrecognised line"},
        {"[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"own\"\n",
         "DestDir of HKEY_CURRENT_USER\\Software\\KRV is \"own\", which is not the full path of a "
         "folder."},
        {"[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"\\\\\"\n",
         "DestDir of HKEY_CURRENT_USER\\Software\\KRV is \"\\\", which is not the full path of a "
         "folder."},
        {"[HKEY_CURRENT_USER\\Software\\KRV]\n",
         "Error - Korvane is not installed correctly. Please reinstall."},
    };
    m_dir.WriteFile("own/.keep", "");
    for (const auto& [body, message] : cases) {
        WriteRegistry("[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\n\"DestDir\"=\"" +
                      (m_dir / "game") + "\"\n" + body);
        const ChildResult result = Start(RegistryPath(), {"-krvdebug"});
        EXPECT_EQ(result.status, 2) << body;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("already running"), std::string::npos) << result.err;
        EXPECT_FALSE(m_dir.ReadFile("own/KRVRun.log")) << body;
        EXPECT_FALSE(m_dir.ReadFile("KRVRun.log")) << body;
        if (rootWasClean && ::stat("/KRVRun.log", &status) == 0) {
            ::unlink("/KRVRun.log");
            ADD_FAILURE() << "a log at the file system root for " << body;
        }
    }
}
