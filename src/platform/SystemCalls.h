#pragma once
// The POSIX calls of the platform layer, each wrapped once: interrupted calls are retried here,
// every descriptor is opened close-on-exec (the game is started as a child process and must not
// inherit our files), and a failure returns false or -1 with errno left as the call set it.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <cstdio>
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
// A pipe whose two ends (`ends[0]` to read, `ends[1]` to write) are left open for the life of the
// caller's choosing.
bool CreatePipe(int ends[2]);
bool SetNonBlocking(int fd);
// Hands `fd` over to a stdio stream, which closes it when the stream is closed. On failure
// nullptr, and `fd` stays with the caller.
std::FILE* OpenStream(FileDescriptor& fd, const char* mode);
// Creates a new file with a unique name beginning with `prefix` in `directory` ("" for the
// current one) and returns it open for writing; `createdPath` receives its path.
FileDescriptor CreateUniqueFile(const std::string& directory, std::string_view prefix,
                                std::string& createdPath);

// Creates a file without a name in `directory`, open for reading and writing (O_TMPFILE). It
// vanishes when closed unless LinkUnnamed gave it a name first. Fails (EOPNOTSUPP, EISDIR, ...)
// where the file system cannot make such files.
FileDescriptor OpenUnnamed(const std::string& directory, mode_t mode);
// Gives a file made by OpenUnnamed the name `path`; fails with EEXIST when that name exists.
bool LinkUnnamed(int fd, const std::string& path);

// Reads up to `size` bytes; 0 at end of file, -1 on error.
ssize_t Read(int fd, void* buffer, size_t size);
// Writes all of `bytes` or fails.
bool WriteAll(int fd, std::string_view bytes);
// One write of as much of `bytes` as the file takes now: the count written, or -1 with errno.
// On a socket it never waits (EAGAIN when full); other files wait only when opened blocking. A
// reader that has gone away gives EPIPE, never SIGPIPE.
ssize_t WriteSome(int fd, std::string_view bytes);
// Reads until end of file.
bool ReadAll(int fd, std::string& out);
// Copies the rest of `in` to `out` from their current offsets, in the kernel where it can.
bool CopyContent(int in, int out);

bool Sync(int fd);
// Moves the file offset back to the start.
bool Rewind(int fd);
bool Truncate(int fd, off_t length);
// Takes the exclusive advisory lock of the file without waiting: false with EWOULDBLOCK when
// another open of the file holds it. The lock goes with the last descriptor of this open.
bool TryLockExclusive(int fd);
// Tells the kernel that the file will be read from start to end, so it reads ahead further.
void AdviseSequential(int fd);
// Starts writing `length` bytes from `offset` out to the disk without waiting for them.
bool StartWriteBack(int fd, off_t offset, off_t length);
// Sets the permission bits; a file system that keeps none of its own (FAT, exFAT) refusing is no
// failure.
bool ChangeMode(int fd, mode_t mode);
bool FileStatus(int fd, struct stat& status);
// Follows symbolic links.
bool Status(const std::string& path, struct stat& status);
// True for a folder (or a link to one) at `path`.
bool IsDirectory(const std::string& path);
// Does not follow a final symbolic link: tells whether a name is there at all.
bool LinkStatus(const std::string& path, struct stat& status);
bool StatusAt(int dirFd, const char* name, struct stat& status);
// The status of the file system holding `path` (its free space, among others).
bool FileSystemStatus(const std::string& path, struct statvfs& status);
// The target of a symbolic link as stored (a relative one stays relative).
bool ReadLink(const std::string& path, std::string& target);
// The absolute path with every symbolic link and "." or ".." resolved; the file must exist.
bool RealPath(const std::string& path, std::string& resolved);
bool CurrentDirectory(std::string& path);
// The directory of the running program as the kernel names it (symbolic links resolved): "/"
// for a program at the root, false when the kernel does not tell (no /proc).
bool ExecutableDirectory(std::string& directory);

bool Rename(const std::string& from, const std::string& to);
// Renames only when `to` does not exist, atomically (on a file system with neither a rename that
// refuses to replace nor hard links, by a look-up before the rename); fails with EEXIST otherwise.
bool RenameNoReplace(const std::string& from, const std::string& to);
bool Unlink(const std::string& path);
bool MakeDirectory(const std::string& path, mode_t mode);
bool ChangeDirectory(const std::string& path);

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
