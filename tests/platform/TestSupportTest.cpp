// The message boxes' console fallback, and the one property of the test fakes that other tests
// cannot show by failing: a crash injected at an operation happens before that operation.
#include "platform/MessageBoxes.h"

#include "FaultyFileSystem.h"
#include "TempDir.h"

#include <gtest/gtest.h>

TEST(PlatformSupport, MessagesWithoutBoxesGoToTheConsole) {
    testing::internal::CaptureStderr();
    platform::ShowMessage("Could not open RemoveList.txt", platform::kErrorCaption);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "KRV Error: Could not open RemoveList.txt\n");
}

// The crash tests kill the process in this hook: were it called after the operation, they would
// test a later moment than they name, and still pass.
TEST(PlatformSupport, FaultyFileSystemHookRunsBeforeTheOperation) {
    testing_support::TempDir dir;
    testing_support::FaultyFileSystem files(platform::Files());
    bool existedAtHook = true;
    files.CallAt(1, [&] { existedAtHook = dir.ReadFile("f").has_value(); });
    EXPECT_TRUE(files.WriteFile(dir / "f", "x"));
    EXPECT_FALSE(existedAtHook);
}
