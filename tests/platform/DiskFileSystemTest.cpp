#include "platform/FileSystem.h"
#include "platform/SystemCalls.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <thread>

using platform::DiskFileSystem;
using platform::Overwrite;
using testing_support::TempDir;

namespace {

using Tree = std::map<std::string, std::string>;

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 0777;
}

// Limits the size of files this process may write, so a copy fails half-way through.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_saved{};
    void (*m_oldHandler)(int);
};

} // namespace

TEST(PlatformFiles, CopyWithoutOverwriteRefusesAnExistingTarget) {
    TempDir dir;
    DiskFileSystem disk;
    dir.WriteFile("new/GTEXTENGLISH.BIN", "modpack");
    dir.WriteFile("bin/GTextEnglish.bin", "game");
    const Tree before = dir.Snapshot();

    EXPECT_FALSE(
        disk.CopyFile(dir / "new/GTEXTENGLISH.BIN", dir / "bin/GTextEnglish.bin", Overwrite::No));
    EXPECT_EQ(platform::LastError(), EEXIST);
    // Another letter case names the same game file and is refused too.
    EXPECT_FALSE(
        disk.CopyFile(dir / "new\\GTEXTENGLISH.BIN", dir / "BIN\\GTEXTENGLISH.BIN", Overwrite::No));
    EXPECT_EQ(dir.Snapshot(), before);

    EXPECT_TRUE(disk.CopyFile(dir / "new/GTEXTENGLISH.BIN", dir / "BIN\\Added.bin", Overwrite::No));
    EXPECT_EQ(dir.ReadFile("bin/Added.bin"), "modpack");
}

TEST(PlatformFiles, CopyWithoutOverwriteLosesARaceInsteadOfReplacing) {
    TempDir dir;
    DiskFileSystem disk;
    dir.WriteFile("big", std::string(32 << 20, 'b'));
    std::atomic<bool> copying{true};
    std::atomic<bool> racedInTime{false};
    // Another writer creates the target once the copy has passed its first check, that is as
    // soon as the temporary file shows up.
    std::thread rival([&] {
        while (copying && !racedInTime) {
            for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
                if (entry.path().filename().string().find(".krvtmp-") == std::string::npos)
                    continue;
                const int fd = ::open((dir / "target").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                EXPECT_EQ(::write(fd, "rival", 5), 5);
                ::close(fd);
                racedInTime = copying.load();
                break;
            }
        }
    });
    const bool copied = disk.CopyFile(dir / "big", dir / "target", Overwrite::No);
    copying = false;
    rival.join();
    if (!racedInTime)
        GTEST_SKIP() << "the copy finished before the rival could step in";
    EXPECT_FALSE(copied);
    EXPECT_EQ(dir.ReadFile("target"), "rival");
    EXPECT_EQ(dir.ListTree(), (std::vector<std::string>{"big", "target"}));
}

TEST(PlatformFiles, CopyWithOverwriteReplacesTheWholeFile) {
    TempDir dir;
    DiskFileSystem disk;
    const std::string big(300000, 'x');
    dir.WriteFile("from.bin", big);
    dir.WriteFile("bin/GTextEnglish.bin", "a longer old content than the new one");
    ::chmod((dir / "from.bin").c_str(), 0640);

    ASSERT_TRUE(disk.CopyFile(dir / "from.bin", dir / "BIN\\gtextenglish.BIN", Overwrite::Yes));
    EXPECT_EQ(dir.ReadFile("bin/GTextEnglish.bin"), big);
    EXPECT_EQ(ModeOf(dir / "bin/GTextEnglish.bin"), 0640u);
    EXPECT_EQ(dir.ListTree(),
              (std::vector<std::string>{"bin/", "bin/GTextEnglish.bin", "from.bin"}));

    dir.WriteFile("empty", "");
    ASSERT_TRUE(disk.CopyFile(dir / "empty", dir / "bin/GTextEnglish.bin", Overwrite::Yes));
    EXPECT_EQ(dir.ReadFile("bin/GTextEnglish.bin"), "");
}

TEST(PlatformFiles, FailedCopyLeavesNoTemporaryFileBehind) {
    TempDir dir;
    DiskFileSystem disk;
    dir.WriteFile("source", std::string(256 * 1024, 's'));
    dir.WriteFile("target", "old");
    dir.MakeDirectory("folder");
    const Tree before = dir.Snapshot();

    EXPECT_FALSE(disk.CopyFile(dir / "missing", dir / "target", Overwrite::Yes));
    EXPECT_EQ(platform::LastError(), ENOENT);
    EXPECT_FALSE(disk.CopyFile(dir / "folder", dir / "copy", Overwrite::Yes));
    EXPECT_FALSE(disk.CopyFile(dir / "source", dir / "nowhere/copy", Overwrite::Yes));
    // Fails only at the final rename, after the temporary file was written.
    EXPECT_FALSE(disk.CopyFile(dir / "source", dir / "folder", Overwrite::Yes));
    {
        FileSizeLimit limit(4096); // the copy breaks off half-way
        EXPECT_FALSE(disk.CopyFile(dir / "source", dir / "target", Overwrite::Yes));
        EXPECT_EQ(platform::LastError(), EFBIG);
    }
    EXPECT_EQ(dir.Snapshot(), before);

    if (::geteuid() != 0) { // permissions do not stop root
        ::chmod((dir / "folder").c_str(), 0555);
        EXPECT_FALSE(disk.CopyFile(dir / "source", dir / "folder/copy", Overwrite::No));
        EXPECT_EQ(platform::LastError(), EACCES);
        EXPECT_EQ(dir.Snapshot(), before);
    }
}

TEST(PlatformFiles, MoveNeverReplacesAnExistingTarget) {
    TempDir dir;
    DiskFileSystem disk;
    dir.WriteFile("a", "A");
    dir.WriteFile("b", "B");

    EXPECT_FALSE(disk.MoveFile(dir / "a", dir / "B"));
    EXPECT_EQ(platform::LastError(), EEXIST);
    EXPECT_EQ(dir.ReadFile("a"), "A");
    EXPECT_EQ(dir.ReadFile("b"), "B");

    EXPECT_TRUE(disk.MoveFile(dir / "A", dir / "c"));
    EXPECT_EQ(dir.ListTree(), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(dir.ReadFile("c"), "A");

    struct stat shm {};
    if (::stat("/dev/shm", &shm) == 0 && shm.st_dev != [&] {
            struct stat here {};
            ::stat(dir.Path().c_str(), &here);
            return here.st_dev;
        }()) {
        const std::string elsewhere = "/dev/shm/korvane-move-" + std::to_string(::getpid());
        EXPECT_FALSE(disk.MoveFile(dir / "c", elsewhere));
        EXPECT_EQ(platform::LastError(), EXDEV);
        EXPECT_EQ(dir.ReadFile("c"), "A");
        ::unlink(elsewhere.c_str());
    }
}

TEST(PlatformFiles, ListDirectoryTellsFoldersFromFiles) {
    TempDir dir;
    DiskFileSystem disk;
    dir.WriteFile("file.bin", "");
    dir.MakeDirectory("Folder");
    std::filesystem::create_directory_symlink(dir / "Folder", dir / "linkToFolder");
    std::filesystem::create_symlink(dir / "file.bin", dir / "linkToFile");
    std::filesystem::create_symlink(dir / "gone", dir / "dangling");

    auto entries = disk.ListDirectory(dir.Path());
    ASSERT_TRUE(entries.has_value());
    std::map<std::string, bool> seen;
    for (const auto& entry : *entries)
        seen[entry.name] = entry.isDirectory;
    EXPECT_EQ(seen, (std::map<std::string, bool>{{"Folder", true},
                                                 {"dangling", false},
                                                 {"file.bin", false},
                                                 {"linkToFile", false},
                                                 {"linkToFolder", true}}));

    EXPECT_TRUE(disk.ListDirectory(dir / "FOLDER").has_value());
    EXPECT_FALSE(disk.ListDirectory(dir / "missing").has_value());
    EXPECT_FALSE(disk.ListDirectory(dir / "file.bin").has_value());
}

TEST(PlatformFiles, SmallOperationsKeepTheirPromises) {
    TempDir dir;
    DiskFileSystem disk;
    dir.WriteFile("file", "x");

    EXPECT_TRUE(disk.CreateDirectory(dir / "KRVBackup"));
    EXPECT_TRUE(disk.CreateDirectory(dir / "krvbackup")); // exists already, in another case
    EXPECT_FALSE(disk.CreateDirectory(dir / "file"));
    EXPECT_FALSE(disk.DeleteFile(dir / "KRVBackup"));
    EXPECT_TRUE(disk.DeleteFile(dir / "FILE"));
    EXPECT_FALSE(disk.Exists(dir / "file"));
    EXPECT_FALSE(disk.DeleteFile(dir / "file"));

    const std::string bytes("bin\0ary\r\n", 9);
    ASSERT_TRUE(disk.WriteFile(dir / "KRVBackup\\RemoveList.txt", bytes));
    EXPECT_EQ(disk.ReadFile(dir / "krvbackup\\removelist.txt"), bytes);
    ASSERT_TRUE(disk.WriteFile(dir / "KRVBackup\\RemoveList.txt", "short"));
    EXPECT_EQ(dir.ReadFile("KRVBackup/RemoveList.txt"), "short");
    EXPECT_EQ(dir.ListTree(), (std::vector<std::string>{"KRVBackup/", "KRVBackup/RemoveList.txt"}));
    EXPECT_FALSE(disk.ReadFile(dir / "nothing").has_value());
    EXPECT_FALSE(disk.WriteFile(dir / "no/such/folder", "x"));
}

TEST(PlatformFiles, APendingFileHasNoNameUntilPlaced) {
    TempDir dir;
    DiskFileSystem disk;
    dir.WriteFile("Old.tga", "old");
    const auto pending = [&](const std::string& name, std::string_view bytes) {
        const Tree before = dir.Snapshot();
        platform::PendingFile file = disk.CreatePendingFile(dir / name);
        EXPECT_TRUE(file.IsOpen()) << name;
        EXPECT_TRUE(platform::sys::WriteAll(file.Fd(), bytes));
        EXPECT_EQ(dir.Snapshot(), before) << name;
        return file;
    };
    pending("Dropped.tga", "never placed");
    EXPECT_EQ(dir.ListTree(), (std::vector<std::string>{"Old.tga"}));

    platform::PendingFile file = pending("New.tga", "new");
    ASSERT_TRUE(disk.PlacePendingFile(file, dir / "New.tga", Overwrite::No));
    EXPECT_FALSE(file.IsOpen());
    // A name that exists is replaced only when asked to, and the file stays pending till then.
    file = pending("Old.tga", "replacing");
    EXPECT_FALSE(disk.PlacePendingFile(file, dir / "Old.tga", Overwrite::No));
    EXPECT_EQ(platform::LastError(), EEXIST);
    EXPECT_EQ(dir.ReadFile("Old.tga"), "old");
    ASSERT_TRUE(disk.PlacePendingFile(file, dir / "Old.tga", Overwrite::Yes));
    EXPECT_EQ(dir.Snapshot(), (Tree{{"New.tga", "new"}, {"Old.tga", "replacing"}}));
    EXPECT_EQ(ModeOf(dir / "New.tga") & 0600, 0600u);

    EXPECT_FALSE(disk.CreatePendingFile(dir / "missing/File.tga").IsOpen());
    EXPECT_EQ(platform::LastError(), ENOENT);
}

// FAT and exFAT keep no permissions: the kernel's drivers refuse most mode changes (EPERM), FUSE
// ones every one (ENOSYS). A filter in a child refuses fchmod as they do.
TEST(PlatformFiles, ADiskThatKeepsNoPermissionsTakesFilesAllTheSame) {
    TempDir dir;
    dir.WriteFile("game/Sky.tga", "game sky");
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        sock_filter code[] = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                              BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fchmod, 0, 1),
                              BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
                              BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
        const sock_fprog filter{static_cast<unsigned short>(std::size(code)), code};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
            _exit(77);
        DiskFileSystem disk;
        EXPECT_TRUE(disk.CopyFile(dir / "game/Sky.tga", dir / "game/Copy.tga", Overwrite::No));
        EXPECT_TRUE(disk.WriteFile(dir / "game/Written.tga", "written"));
        platform::PendingFile pending = disk.CreatePendingFile(dir / "game/Sky.tga");
        EXPECT_TRUE(pending.IsOpen());
        EXPECT_TRUE(platform::sys::WriteAll(pending.Fd(), "new sky"));
        EXPECT_TRUE(disk.PlacePendingFile(pending, dir / "game/Sky.tga", Overwrite::Yes));
        std::fflush(nullptr);
        _exit(HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no seccomp filter here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the failures of the child above";
    EXPECT_EQ(dir.ReadFile("game/Copy.tga"), "game sky");
    EXPECT_EQ(dir.ReadFile("game/Written.tga"), "written");
    EXPECT_EQ(dir.ReadFile("game/Sky.tga"), "new sky");
}
