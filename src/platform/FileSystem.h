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
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class Overwrite { No, Yes };

struct DirEntry {
    std::string name;
    bool isDirectory = false;
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
