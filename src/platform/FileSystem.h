#pragma once
// The file operations of the engine, in one place so that tests can fail or interrupt any one.
//
// Paths are Windows-style and are resolved with ResolvePath before use, so callers write
// game + "\bin\" + name exactly as the game's layout reads. Every operation reports success as a
// boolean and leaves errno-style detail to LastError() for messages.
//
// Guarantees that installation and restoration build on:
//  - CopyFile never leaves a torn target: it writes a temporary file in the target's folder, syncs
//    it and renames it into place. With Overwrite::No an existing target is never replaced, not
//    even by a racing writer (the final step is a link that fails when the target exists).
//  - MoveFile renames within one file system and never replaces an existing target.
//  - WriteFile replaces the whole file atomically in the same way as CopyFile.
//  - A pending file shows under no name while it is written (see PendingFile), so a name never
//    shows a file that is still being written; PlacePendingFile gives it its name as MoveFile or
//    CopyFile would have placed it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

enum class Overwrite { No, Yes };

struct DirEntry {
    std::string name;
    bool isDirectory = false;
};

// A file being written before it has its name: made by CreatePendingFile, filled through Fd(), and
// given its name by PlacePendingFile once complete. Until then it is a file without a name
// (O_TMPFILE) or, where the file system cannot make one, a hidden temporary file beside the
// target that IsTemporaryFileName knows. One never placed vanishes with this object, or with the
// process.
class PendingFile {
  public:
    PendingFile() = default;
    // Takes over `fd`; `temporaryPath` is the hidden name it has, empty for a file without one.
    PendingFile(int fd, std::string temporaryPath)
        : m_fd(fd), m_temporaryPath(std::move(temporaryPath)) {}
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&& other) noexcept;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() { Discard(); }

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    const std::string& TemporaryPath() const { return m_temporaryPath; }
    // Once placed: the temporary name, if any, is the file's name now. Closes; false when the
    // close reported an error.
    bool Placed();
    // Closes and removes the temporary name, if any: nothing of the file stays.
    void Discard();

  private:
    int m_fd = -1;
    std::string m_temporaryPath;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual bool CopyFile(const std::string& from, const std::string& to, Overwrite overwrite) = 0;
    virtual bool MoveFile(const std::string& from, const std::string& to) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // True when the directory exists afterwards (an existing one is fine).
    virtual bool CreateDirectory(const std::string& path) = 0;
    virtual bool SetCurrentDirectory(const std::string& path) = 0;
    // Entries of a directory, without "." and "..", in the order the file system lists them.
    virtual std::optional<std::vector<DirEntry>> ListDirectory(const std::string& path) = 0;
    // Replaces the file's content atomically (temporary file, then rename).
    virtual bool WriteFile(const std::string& path, std::string_view bytes) = 0;
    virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // A pending file in the folder of `path`, for that name; not open on failure.
    virtual PendingFile CreatePendingFile(const std::string& path) = 0;
    // Gives the complete pending file its name `path` and closes it. With Overwrite::No an
    // existing file is never replaced and the content is not synced first (as MoveFile of a
    // freshly written file); with Overwrite::Yes the file there is replaced atomically by the
    // content made durable first, as CopyFile does. On failure the file stays pending, but for a
    // close that reports an error once the name is given.
    virtual bool PlacePendingFile(PendingFile& file, const std::string& path,
                                  Overwrite overwrite) = 0;
};

// The real file system, over POSIX calls.
class DiskFileSystem final : public FileSystem {
  public:
    bool CopyFile(const std::string& from, const std::string& to, Overwrite overwrite) override;
    bool MoveFile(const std::string& from, const std::string& to) override;
    bool DeleteFile(const std::string& path) override;
    bool CreateDirectory(const std::string& path) override;
    bool SetCurrentDirectory(const std::string& path) override;
    std::optional<std::vector<DirEntry>> ListDirectory(const std::string& path) override;
    bool WriteFile(const std::string& path, std::string_view bytes) override;
    std::optional<std::string> ReadFile(const std::string& path) override;
    bool Exists(const std::string& path) override;
    PendingFile CreatePendingFile(const std::string& path) override;
    bool PlacePendingFile(PendingFile& file, const std::string& path, Overwrite overwrite) override;
};

// True for the hidden ".NAME.krvtmp-XXXXXX" files that CopyFile and WriteFile write beside their
// target. One is left behind only when the process dies mid-copy; restoration sweeps them away.
bool IsTemporaryFileName(std::string_view name);

// The file system in force: the disk unless a test installed another.
FileSystem& Files();
// Installs a file system (not owned); nullptr returns to the disk. Returns the one installed
// before (nullptr for the disk), so that a scoped installer can put it back.
FileSystem* SetFileSystem(FileSystem* files);

// Why the last failed operation of this thread failed, as an errno value, and as a sentence for a
// message ("No such file or directory"). Every failing operation sets it; success leaves it.
int LastError();
std::string LastErrorText();
// For FileSystem implementations other than the disk (test doubles) that fail an operation.
void SetLastError(int error);

} // namespace platform
