#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"

#include "FakeClock.h"
#include "FaultyFileSystem.h"
#include "RecordingMessageBoxes.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

using namespace testing_support;

TEST(PlatformSupport, MessagesGoToTheInstalledBoxesAndBackToTheConsole) {
    {
        ScopedMessageRecorder outer;
        platform::ShowMessage("first", platform::kErrorCaption);
        {
            ScopedMessageRecorder inner;
            platform::ShowMessage("second", platform::kAppTitle, platform::Owner::MainDialog);
            EXPECT_EQ(inner.Last().caption, "Korvane");
            EXPECT_EQ(inner.Last().owner, platform::Owner::MainDialog);
        }
        platform::ShowMessage("third", platform::kWarningCaption);
        EXPECT_EQ(outer.Texts(), (std::vector<std::string>{"first", "third"}));
        outer.Clear();
        EXPECT_TRUE(outer.Empty());
    }
    testing::internal::CaptureStderr();
    platform::ShowMessage("Could not open RemoveList.txt", platform::kErrorCaption);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KRV Error: Could not open RemoveList.txt\n");
}

TEST(PlatformSupport, FakeClockStandsStillUntilMoved) {
    const auto real = platform::Now();
    {
        ScopedFakeClock clock;
        const auto start = platform::Now();
        EXPECT_EQ(start.time_since_epoch(), std::chrono::seconds(1000000000));
        clock.Advance(std::chrono::seconds(90));
        EXPECT_EQ(platform::Now() - start, std::chrono::seconds(90));
    }
    EXPECT_GE(platform::Now(), real);
}

TEST(PlatformSupport, TempDirSnapshotsTheTreeAndRemovesIt) {
    std::string path;
    {
        TempDir dir;
        path = dir.Path();
        dir.WriteFile("bin/Override/a.tga", std::string("\0\1", 2));
        dir.MakeDirectory("KRVBackup");
        ::chmod((dir / "bin").c_str(), 0555);
        EXPECT_EQ(dir.Snapshot(), (std::map<std::string, std::string>{
                                      {"KRVBackup/", ""},
                                      {"bin/", ""},
                                      {"bin/Override/", ""},
                                      {"bin/Override/a.tga", std::string("\0\1", 2)}}));
        EXPECT_EQ(dir.ListTree("bin"), (std::vector<std::string>{"Override/", "Override/a.tga"}));
    }
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST(PlatformSupport, FaultyFileSystemCountsAndFailsTheChosenOperation) {
    TempDir dir;
    FaultyFileSystem files(platform::Files());
    ScopedFileSystem use(files);
    const auto run = [&] {
        const bool made = platform::Files().CreateDirectory(dir / "d");
        const bool written = platform::Files().WriteFile(dir / "d/f", "x");
        const bool copied =
            platform::Files().CopyFile(dir / "d/f", dir / "g", platform::Overwrite::No);
        return std::vector<bool>{made, written, copied};
    };

    EXPECT_EQ(run(), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(files.Count(), 3);
    EXPECT_EQ(files.Operations()[2], "CopyFile " + (dir / "d/f") + " -> " + (dir / "g"));

    files.Reset();
    ::unlink((dir / "g").c_str());
    files.FailAt(2);
    ::unlink((dir / "d/f").c_str());
    EXPECT_EQ(run(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(platform::LastError(), ENOENT); // the real copy found no source
    EXPECT_FALSE(dir.ReadFile("d/f").has_value());

    files.Reset();
    files.FailFrom(2);
    EXPECT_EQ(run(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(platform::LastError(), EIO);
    EXPECT_EQ(dir.ListTree(), (std::vector<std::string>{"d/"}));
}

TEST(PlatformSupport, FaultyFileSystemHookRunsBeforeTheOperation) {
    TempDir dir;
    FaultyFileSystem files(platform::Files());
    bool existedAtHook = true;
    files.CallAt(1, [&] { existedAtHook = dir.ReadFile("f").has_value(); });
    EXPECT_TRUE(files.WriteFile(dir / "f", "x"));
    EXPECT_FALSE(existedAtHook);

    files.Reset();
    files.CallAt(2, [] { std::_Exit(7); });
    EXPECT_EXIT(
        {
            files.WriteFile(dir / "a", "1");
            files.WriteFile(dir / "b", "2");
        },
        testing::ExitedWithCode(7), "");
    EXPECT_FALSE(dir.ReadFile("b").has_value());
}
