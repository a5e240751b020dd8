#include "platform/SystemCalls.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <filesystem>

namespace sys = platform::sys;
using testing_support::TempDir;

namespace {

bool ClosesOnExec(int fd) {
    return (::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
}

// The run log refuses a second traced instance and registry writers wait for each other through
// this lock, so a second open of the same file must be refused until the first is closed.
TEST(SystemCalls, LockExcludesOtherOpensUntilClosedAndNoDescriptorReachesTheGame) {
    TempDir dir;
    dir.WriteFile("lock", "");
    sys::FileDescriptor first = sys::Open(dir / "lock", O_RDWR);
    sys::FileDescriptor second = sys::Open(dir / "lock", O_RDWR);
    ASSERT_TRUE(first.IsOpen() && second.IsOpen());
    EXPECT_TRUE(sys::TryLockExclusive(first.Get()));
    errno = 0;
    EXPECT_FALSE(sys::TryLockExclusive(second.Get()));
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_TRUE(first.Close());
    EXPECT_TRUE(sys::TryLockExclusive(second.Get()));

    int ends[2] = {-1, -1};
    ASSERT_TRUE(sys::CreatePipe(ends));
    const sys::FileDescriptor readEnd(ends[0]), writeEnd(ends[1]);
    EXPECT_TRUE(ClosesOnExec(second.Get()));
    EXPECT_TRUE(ClosesOnExec(readEnd.Get()));
    EXPECT_TRUE(ClosesOnExec(writeEnd.Get()));
}

TEST(SystemCalls, StreamTakesTheDescriptorOnlyWhenItOpens) {
    TempDir dir;
    dir.WriteFile("log", "old contents");
    sys::FileDescriptor readOnly = sys::Open(dir / "log", O_RDONLY);
    ASSERT_TRUE(readOnly.IsOpen());
    EXPECT_EQ(sys::OpenStream(readOnly, "w"), nullptr); // a read-only descriptor cannot write
    EXPECT_TRUE(readOnly.IsOpen());

    sys::FileDescriptor fd = sys::Open(dir / "log", O_WRONLY);
    ASSERT_TRUE(fd.IsOpen());
    ASSERT_TRUE(sys::Truncate(fd.Get(), 0));
    std::FILE* stream = sys::OpenStream(fd, "w");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(fd.IsOpen());
    std::fputs("new", stream);
    EXPECT_EQ(std::fclose(stream), 0);
    EXPECT_EQ(dir.ReadFile("log"), "new");
}

TEST(SystemCalls, ExecutableDirectoryIsTheFolderOfTheRunningProgram) {
    std::string directory;
    ASSERT_TRUE(sys::ExecutableDirectory(directory));
    EXPECT_EQ(directory, std::filesystem::canonical("/proc/self/exe").parent_path().string());
}

} // namespace
