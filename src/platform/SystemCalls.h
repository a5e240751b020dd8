#pragma once
// The POSIX calls of the platform layer, each wrapped once: interrupted calls are retried here,
// every descriptor is opened close-on-exec (the game is started as a child process and must not
// inherit our files), and a failure returns false or -1 with errno left as the call set it.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

namespace platform::sys {

// Owns one file descriptor and closes it when it goes out of scope.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    int Release();
    // Closes now and reports the result, for files whose last write must be known to have landed.
    bool Close();

private:
    int m_fd = -1;
};

FileDescriptor Open(const std::string& path, int flags, mode_t mode = 0);
// Creates a new file with a unique name beginning with `prefix` in `directory` ("" for the
// current one) and returns it open for writing; `createdPath` receives its path.
FileDescriptor CreateUniqueFile(const std::string& directory, std::string_view prefix,
                                std::string& createdPath);

// Reads up to `size` bytes; 0 at end of file, -1 on error.
ssize_t Read(int fd, void* buffer, size_t size);
// Writes all of `bytes` or fails.
bool WriteAll(int fd, std::string_view bytes);
// Reads until end of file.
bool ReadAll(int fd, std::string& out);
// Copies the rest of `in` to `out` from their current offsets, in the kernel where it can.
bool CopyContent(int in, int out);

bool Sync(int fd);
bool ChangeMode(int fd, mode_t mode);
bool FileStatus(int fd, struct stat& status);
// Follows symbolic links.
bool Status(const std::string& path, struct stat& status);
// Does not follow a final symbolic link: tells whether a name is there at all.
bool LinkStatus(const std::string& path, struct stat& status);
bool StatusAt(int dirFd, const char* name, struct stat& status);

bool Rename(const std::string& from, const std::string& to);
// Renames only when `to` does not exist, atomically; fails with EEXIST otherwise.
bool RenameNoReplace(const std::string& from, const std::string& to);
bool Unlink(const std::string& path);
bool MakeDirectory(const std::string& path, mode_t mode);
bool ChangeDirectory(const std::string& path);
// Takes an exclusive advisory lock (flock) on the open file without waiting; fails with
// EWOULDBLOCK while another open file description holds it. The kernel drops the lock when the
// last descriptor of the holder closes, also when its process dies.
bool TryLockExclusive(int fd);

// An open directory stream.
class Directory {
public:
    explicit Directory(const std::string& path);
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    ~Directory();

    bool IsOpen() const { return m_dir != nullptr; }
    int Fd() const;
    // The next entry, or nullptr at the end or on error (then `failed` is set and errno tells).
    const dirent* Next(bool& failed);

private:
    DIR* m_dir = nullptr;
};

} // namespace platform::sys
