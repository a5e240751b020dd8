#include "platform/SystemCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace platform::sys {

namespace {

template <typename Call>
auto RetryOnInterrupt(Call call)
{
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

bool ReadWriteCopy(int in, int out)
{
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
bool IsUnsupported(int error)
{
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
           error == EBADF || error == ENOTSUP;
}

// Repeats one in-kernel copy call until the end of the input: true when the whole rest was
// copied, false when the copy failed, nothing when this way does not apply to these files (the
// call is unsupported, or reports no data on the first try) and another must be used.
template <typename Call>
std::optional<bool> KernelCopy(Call call)
{
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

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = other.Release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    ErrnoKeeper keep;
    Close();
}

int FileDescriptor::Release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileDescriptor::Close()
{
    if (m_fd < 0)
        return true;
    // Linux releases the descriptor even when close is interrupted, so it is never retried.
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 || errno == EINTR;
}

FileDescriptor Open(const std::string& path, int flags, mode_t mode)
{
    return FileDescriptor(
        RetryOnInterrupt([&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); }));
}

FileDescriptor CreateUniqueFile(const std::string& directory, std::string_view prefix,
                                std::string& createdPath)
{
    std::string pattern = directory.empty() ? std::string() : directory + "/";
    pattern.append(prefix);
    pattern += "XXXXXX";
    const int fd = RetryOnInterrupt([&] { return ::mkostemp(pattern.data(), O_CLOEXEC); });
    if (fd >= 0)
        createdPath = pattern;
    return FileDescriptor(fd);
}

ssize_t Read(int fd, void* buffer, size_t size)
{
    return RetryOnInterrupt([&] { return ::read(fd, buffer, size); });
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t put = RetryOnInterrupt([&] { return ::write(fd, bytes.data(), bytes.size()); });
        if (put < 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    return true;
}

bool ReadAll(int fd, std::string& out)
{
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

bool CopyContent(int in, int out)
{
    // copy_file_range lets the file system share or copy blocks without a trip through user
    // space; sendfile still saves the copy into a buffer; read/write works everywhere. A file
    // that reports no data on the first try (files of /proc and the like) goes the plain way.
    constexpr size_t kChunk = size_t{1} << 30;
    if (const auto copied = KernelCopy(
            [&] { return ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0); }))
        return *copied;
    if (const auto copied = KernelCopy([&] { return ::sendfile(out, in, nullptr, kChunk); }))
        return *copied;
    return ReadWriteCopy(in, out);
}

bool Sync(int fd)
{
    return RetryOnInterrupt([&] { return ::fsync(fd); }) == 0;
}

bool ChangeMode(int fd, mode_t mode)
{
    return RetryOnInterrupt([&] { return ::fchmod(fd, mode); }) == 0;
}

bool FileStatus(int fd, struct stat& status)
{
    return RetryOnInterrupt([&] { return ::fstat(fd, &status); }) == 0;
}

bool Status(const std::string& path, struct stat& status)
{
    return RetryOnInterrupt([&] { return ::stat(path.c_str(), &status); }) == 0;
}

bool LinkStatus(const std::string& path, struct stat& status)
{
    return RetryOnInterrupt([&] { return ::lstat(path.c_str(), &status); }) == 0;
}

bool StatusAt(int dirFd, const char* name, struct stat& status)
{
    return RetryOnInterrupt([&] { return ::fstatat(dirFd, name, &status, 0); }) == 0;
}

bool Rename(const std::string& from, const std::string& to)
{
    return RetryOnInterrupt([&] { return ::rename(from.c_str(), to.c_str()); }) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to)
{
    const int result = RetryOnInterrupt([&] {
        return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    });
    if (result == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // File systems without RENAME_NOREPLACE: a hard link fails when the name exists, which is
    // the same guarantee; the old name is dropped once the new one is in place.
    if (RetryOnInterrupt([&] { return ::link(from.c_str(), to.c_str()); }) != 0)
        return false;
    Unlink(from);
    return true;
}

bool Unlink(const std::string& path)
{
    return RetryOnInterrupt([&] { return ::unlink(path.c_str()); }) == 0;
}

bool MakeDirectory(const std::string& path, mode_t mode)
{
    return RetryOnInterrupt([&] { return ::mkdir(path.c_str(), mode); }) == 0;
}

bool ChangeDirectory(const std::string& path)
{
    return RetryOnInterrupt([&] { return ::chdir(path.c_str()); }) == 0;
}

bool TryLockExclusive(int fd)
{
    return RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0;
}

Directory::Directory(const std::string& path)
{
    FileDescriptor fd = Open(path.empty() ? "." : path, O_RDONLY | O_DIRECTORY);
    if (!fd.IsOpen())
        return;
    m_dir = ::fdopendir(fd.Get());
    if (m_dir != nullptr)
        fd.Release();
}

Directory::~Directory()
{
    if (m_dir != nullptr) {
        ErrnoKeeper keep;
        ::closedir(m_dir);
    }
}

int Directory::Fd() const
{
    return m_dir != nullptr ? ::dirfd(m_dir) : -1;
}

const dirent* Directory::Next(bool& failed)
{
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
