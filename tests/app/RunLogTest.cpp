// The run log: nothing without -krvdebug, the banner and CR LF lines with it, and the refusal of
// a second traced instance while the first runs.
#include "FakeClock.h"
#include "RegistryFixture.h"
#include "app/RunLog.h"
#include "app/Settings.h"

namespace {

class RunLogTest : public RegistryTest {
protected:
    RunLogTest()
    {
        // The own directory as an installation on Windows might store it: with a trailing
        // backslash, which the log keeps (the path then holds two separators in a row).
        WriteRegistry("[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"" + m_dir.Path() + "\\\\\"\n");
    }
    std::optional<std::string> LogFile() const { return m_dir.ReadFile("KRVRun.log"); }
};

// An argv whose strings the run log may empty, as the process's own would be.
struct Args {
    explicit Args(std::vector<std::string> values) : text(std::move(values))
    {
        for (std::string& s : text)
            pointers.push_back(s.data());
    }
    std::vector<std::string> Current() const { return {pointers.begin(), pointers.end()}; }
    std::vector<std::string> text;
    std::vector<char*> pointers;
};

const std::string kBanner = "\r\n===========================\r\nLog file opened @ 01:46, Sunday, September 09, 2001\r\n";

} // namespace

TEST_F(RunLogTest, WithoutTheSwitchNothingIsTouched)
{
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

TEST_F(RunLogTest, TracedStartWritesBannerAndCrLfLines)
{
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

TEST_F(RunLogTest, SecondTracedInstanceIsRefusedAndFirstLogKept)
{
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
