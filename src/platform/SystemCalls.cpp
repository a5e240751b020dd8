#include "platform/SystemCalls.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace platform::sys {

namespace {

template <typename Call> auto RetryOnInterrupt(Call call) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR)
            return result;
    }
}

// Keeps errno across clean-up calls, so that the caller sees why the operation failed.
struct ErrnoKeeper {
    int saved = errno;
    ~ErrnoKeeper() { errno = saved; }
};

bool ReadWriteCopy(int in, int out) {
    std::vector<char> buffer(1 << 17);
    for (;;) {
        const ssize_t got = Read(in, buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(got))))
            return false;
    }
}

// Errors that mean "this way of copying does not apply to these files", not "the copy failed".
bool IsUnsupported(int error) {
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF || error == ENOTSUP;
}

// Repeats one in-kernel copy call until the end of the input: true when the whole rest was
// copied, false when the copy failed, nothing when this way does not apply to these files (the
// call is unsupported, or reports no data on the first try) and another must be used.
template <typename Call> std::optional<bool> KernelCopy(Call call) {
    bool copiedAny = false;
    for (;;) {
        const ssize_t n = RetryOnInterrupt(call);
        if (n > 0) {
            copiedAny = true;
            continue;
        }
        if (n == 0 && copiedAny)
            return true;
        if (n < 0 && (copiedAny || !IsUnsupported(errno)))
            return false;
        return std::nullopt;
    }
}

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.Release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    ErrnoKeeper keep;
    Close();
}

int FileDescriptor::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileDescriptor::Close() {
    if (m_fd < 0)
        return true;
    // Linux releases the descriptor even when close is interrupted, so it is never retried.
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 || errno == EINTR;
}

FileDescriptor Open(const std::string& path, int flags, mode_t mode) {
    return FileDescriptor(
        RetryOnInterrupt([&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); }));
}

bool CreatePipe(int ends[2]) {
    return ::pipe2(ends, O_CLOEXEC) == 0;
}

bool SetNonBlocking(int fd) {
    const int flags = RetryOnInterrupt([&] { return ::fcntl(fd, F_GETFL); });
    return flags != -1 &&
           RetryOnInterrupt([&] { return ::fcntl(fd, F_SETFL, flags | O_NONBLOCK); }) == 0;
}

std::FILE* OpenStream(FileDescriptor& fd, const char* mode) {
    std::FILE* stream = ::fdopen(fd.Get(), mode);
    if (stream != nullptr)
        fd.Release();
    return stream;
}

FileDescriptor CreateUniqueFile(const std::string& directory, std::string_view prefix,
                                std::string& createdPath) {
    std::string pattern = directory.empty() ? std::string() : directory + "/";
    pattern.append(prefix);
    pattern += "XXXXXX";
    const int fd = RetryOnInterrupt([&] { return ::mkostemp(pattern.data(), O_CLOEXEC); });
    if (fd >= 0)
        createdPath = pattern;
    return FileDescriptor(fd);
}

FileDescriptor OpenUnnamed(const std::string& directory, mode_t mode) {
    // Only /proc links such a file on every kernel (see LinkUnnamed): without it none is made,
    // and the caller writes a named temporary file instead.
    static const bool linkable = ::access("/proc/self/fd", F_OK) == 0;
    if (!linkable) {
        errno = EOPNOTSUPP;
        return FileDescriptor();
    }
    return Open(directory.empty() ? "." : directory, O_TMPFILE | O_RDWR, mode);
}

bool LinkUnnamed(int fd, const std::string& path) {
    // Linking the descriptor itself needs a kernel from 6.10 on (or CAP_DAC_READ_SEARCH), and
    // fails with ENOENT before; its link in /proc works everywhere /proc is mounted, at the cost
    // of a longer lookup. Once the direct way has failed, only the other is tried.
    static std::atomic<bool> direct{true};
    if (direct.load(std::memory_order_relaxed)) {
        if (RetryOnInterrupt(
                [&] { return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH); }) == 0)
            return true;
        if (errno != ENOENT && errno != EPERM)
            return false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (RetryOnInterrupt([&] {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
        }) != 0)
        return false;
    direct.store(false, std::memory_order_relaxed);
    return true;
}

ssize_t Read(int fd, void* buffer, size_t size) {
    return RetryOnInterrupt([&] { return ::read(fd, buffer, size); });
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put =
            RetryOnInterrupt([&] { return ::write(fd, bytes.data(), bytes.size()); });
        if (put < 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    return true;
}

ssize_t WriteSome(int fd, std::string_view bytes) {
    const ssize_t sent = RetryOnInterrupt(
        [&] { return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT); });
    if (sent >= 0 || errno != ENOTSOCK)
        return sent;
    // A pipe whose reader has gone raises SIGPIPE, which would end the process: it is held back
    // on this thread for the write, and one it raised is taken before it is let through.
    sigset_t pipeSignal;
    sigset_t before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    const ssize_t written =
        RetryOnInterrupt([&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (written < 0 && errno == EPIPE) {
        ErrnoKeeper keep;
        const timespec none{};
        while (RetryOnInterrupt([&] { return ::sigtimedwait(&pipeSignal, nullptr, &none); }) ==
               SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return written;
}

bool ReadAll(int fd, std::string& out) {
    struct stat status {};
    if (FileStatus(fd, status) && S_ISREG(status.st_mode) && status.st_size > 0)
        out.reserve(out.size() + static_cast<size_t>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = Read(fd, buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        out.append(buffer, static_cast<size_t>(got));
    }
}

bool CopyContent(int in, int out) {
    // copy_file_range lets the file system share or copy blocks without a trip through user
    // space; sendfile still saves the copy into a buffer; read/write works everywhere. A file
    // that reports no data on the first try (files of /proc and the like) goes the plain way.
    constexpr size_t kChunk = size_t{1} << 30;
    if (const auto copied =
            KernelCopy([&] { return ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0); }))
        return *copied;
    if (const auto copied = KernelCopy([&] { return ::sendfile(out, in, nullptr, kChunk); }))
        return *copied;
    return ReadWriteCopy(in, out);
}

bool Sync(int fd) {
    return RetryOnInterrupt([&] { return ::fsync(fd); }) == 0;
}

bool Rewind(int fd) {
    return ::lseek(fd, 0, SEEK_SET) == 0;
}

bool Truncate(int fd, off_t length) {
    return RetryOnInterrupt([&] { return ::ftruncate(fd, length); }) == 0;
}

bool TryLockExclusive(int fd) {
    return RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0;
}

void AdviseSequential(int fd) {
    // Only advice: a file system that ignores it serves the file all the same.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool StartWriteBack(int fd, off_t offset, off_t length) {
    return RetryOnInterrupt(
               [&] { return ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE); }) == 0;
}

bool ChangeMode(int fd, mode_t mode) {
    if (RetryOnInterrupt([&] { return ::fchmod(fd, mode); }) == 0)
        return true;
    // FAT and exFAT keep no permissions of their own (the mount options decide them), and refuse
    // most changes (EPERM) or every one (ENOSYS through FUSE). Only files we made ourselves are
    // changed, so a refusal never means that somebody else's file stayed open to others.
    return errno == EPERM || errno == ENOSYS || errno == ENOTSUP || errno == EOPNOTSUPP;
}

bool FileStatus(int fd, struct stat& status) {
    return RetryOnInterrupt([&] { return ::fstat(fd, &status); }) == 0;
}

bool Status(const std::string& path, struct stat& status) {
    return RetryOnInterrupt([&] { return ::stat(path.c_str(), &status); }) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat status {};
    return !path.empty() && Status(path, status) && S_ISDIR(status.st_mode);
}

bool LinkStatus(const std::string& path, struct stat& status) {
    return RetryOnInterrupt([&] { return ::lstat(path.c_str(), &status); }) == 0;
}

bool ReadLink(const std::string& path, std::string& target) {
    char buffer[4096];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (length < 0 || static_cast<size_t>(length) >= sizeof buffer)
        return false;
    target.assign(buffer, static_cast<size_t>(length));
    return true;
}

bool RealPath(const std::string& path, std::string& resolved) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer) == nullptr)
        return false;
    resolved = buffer;
    return true;
}

bool CurrentDirectory(std::string& path) {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr)
        return false;
    path = buffer;
    return true;
}

bool ExecutableDirectory(std::string& directory) {
    std::string path;
    if (!ReadLink("/proc/self/exe", path) || path.empty())
        return false;
    const size_t slash = path.rfind('/');
    directory = slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
    return true;
}

bool StatusAt(int dirFd, const char* name, struct stat& status) {
    return RetryOnInterrupt([&] { return ::fstatat(dirFd, name, &status, 0); }) == 0;
}

bool FileSystemStatus(const std::string& path, struct statvfs& status) {
    return RetryOnInterrupt([&] { return ::statvfs(path.c_str(), &status); }) == 0;
}

bool Rename(const std::string& from, const std::string& to) {
    return RetryOnInterrupt([&] { return ::rename(from.c_str(), to.c_str()); }) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    const int result = RetryOnInterrupt([&] {
        return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    });
    if (result == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // File systems without RENAME_NOREPLACE (NFS, NTFS through FUSE): a hard link fails when the
    // name exists, which is the same guarantee; the old name is dropped once the new one is in
    // place.
    if (RetryOnInterrupt([&] { return ::link(from.c_str(), to.c_str()); }) == 0) {
        Unlink(from);
        return true;
    }
    if (errno != EPERM && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP)
        return false;
    // Nor hard links (FAT and exFAT through FUSE): the name is looked up, then taken by rename.
    // Only a writer between the two could be replaced; our folders have no other writer while we
    // work in them (the game folder is locked), so on such a disk that is the best there is.
    struct stat status {};
    if (LinkStatus(to, status)) {
        errno = EEXIST;
        return false;
    }
    return errno == ENOENT && Rename(from, to);
}

bool Unlink(const std::string& path) {
    return RetryOnInterrupt([&] { return ::unlink(path.c_str()); }) == 0;
}

bool MakeDirectory(const std::string& path, mode_t mode) {
    return RetryOnInterrupt([&] { return ::mkdir(path.c_str(), mode); }) == 0;
}

bool ChangeDirectory(const std::string& path) {
    return RetryOnInterrupt([&] { return ::chdir(path.c_str()); }) == 0;
}

Directory::Directory(const std::string& path) {
    FileDescriptor fd = Open(path.empty() ? "." : path, O_RDONLY | O_DIRECTORY);
    if (!fd.IsOpen())
        return;
    m_dir = ::fdopendir(fd.Get());
    if (m_dir != nullptr)
        fd.Release();
}

Directory::~Directory() {
    if (m_dir != nullptr) {
        ErrnoKeeper keep;
        ::closedir(m_dir);
    }
}

int Directory::Fd() const {
    return m_dir != nullptr ? ::dirfd(m_dir) : -1;
}

const dirent* Directory::Next(bool& failed) {
    failed = false;
    if (m_dir == nullptr) {
        failed = true;
        return nullptr;
    }
    errno = 0;
    const dirent* entry = ::readdir(m_dir);
    if (entry == nullptr && errno != 0)
        failed = true;
    return entry;
}

} // namespace platform::sys
