#include "platform/FileSystem.h"

#include "platform/GamePath.h"
#include "platform/Seam.h"
#include "platform/SystemCalls.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace platform {

namespace {

constinit DiskFileSystem g_disk;
constinit Seam<FileSystem*> g_installed{nullptr};
thread_local int t_lastError = 0;

constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kNewDirectoryMode = 0755;

// Records errno as the reason and returns false, so that a failing step reads `return Fail();`.
bool Fail() {
    t_lastError = errno != 0 ? errno : EIO;
    return false;
}

bool Fail(int error) {
    errno = error;
    return Fail();
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::string_view kTemporaryMark = ".krvtmp-";

// A file being written beside its final name, removed unless it was put in place. Hidden and
// clearly ours, so that a crash between creation and rename leaves something recognisable.
class TemporaryFile {
  public:
    explicit TemporaryFile(const std::string& target) {
        // Built by appending: "." + string trips a false -Wrestrict warning of GCC 12.
        std::string prefix(".");
        prefix.append(BaseNameOf(target)).append(kTemporaryMark);
        m_fd = sys::CreateUniqueFile(ParentOf(target), prefix, m_path);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (m_path.empty())
            return;
        const int saved = errno;
        m_fd.Close();
        sys::Unlink(m_path);
        errno = saved;
    }

    bool IsOpen() const { return m_fd.IsOpen(); }
    int Fd() const { return m_fd.Get(); }

    // Makes the content durable before the name changes, so that the target is either the old
    // file or the complete new one, never a torn mix, even after a crash.
    bool SyncAndClose() { return sys::Sync(m_fd.Get()) && m_fd.Close(); }

    // Hands the open file and its name over, for a pending file that is placed later.
    PendingFile Pending() { return {m_fd.Release(), std::exchange(m_path, {})}; }

    bool ReplaceTarget(const std::string& target, Overwrite overwrite) {
        const bool placed = overwrite == Overwrite::Yes ? sys::Rename(m_path, target)
                                                        : sys::RenameNoReplace(m_path, target);
        if (placed)
            m_path.clear();
        return placed;
    }

  private:
    sys::FileDescriptor m_fd;
    std::string m_path;
};

} // namespace

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_temporaryPath(std::move(other.m_temporaryPath)) {
    other.m_temporaryPath.clear();
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
    if (this != &other) {
        Discard();
        m_fd = std::exchange(other.m_fd, -1);
        m_temporaryPath = std::move(other.m_temporaryPath);
        other.m_temporaryPath.clear();
    }
    return *this;
}

bool PendingFile::Placed() {
    m_temporaryPath.clear();
    return sys::FileDescriptor(std::exchange(m_fd, -1)).Close();
}

void PendingFile::Discard() {
    const int saved = errno;
    sys::FileDescriptor(std::exchange(m_fd, -1)).Close();
    if (!m_temporaryPath.empty())
        sys::Unlink(m_temporaryPath);
    m_temporaryPath.clear();
    errno = saved;
}

bool DiskFileSystem::CopyFile(const std::string& from, const std::string& to, Overwrite overwrite) {
    const std::string source = ResolvePath(from);
    const std::string target = ResolvePath(to);
    struct stat status {};
    // Cheap early answer for the common refusal; the final step still refuses under a race.
    if (overwrite == Overwrite::No && sys::LinkStatus(target, status))
        return Fail(EEXIST);

    sys::FileDescriptor in = sys::Open(source, O_RDONLY);
    if (!in.IsOpen() || !sys::FileStatus(in.Get(), status))
        return Fail();
    if (!S_ISREG(status.st_mode))
        return Fail(S_ISDIR(status.st_mode) ? EISDIR : EINVAL);

    TemporaryFile temporary(target);
    if (!temporary.IsOpen())
        return Fail();
    // The owner can always rewrite and delete what we copied; the rest follows the source.
    if (!sys::ChangeMode(temporary.Fd(), (status.st_mode & 0777) | S_IRUSR | S_IWUSR) ||
        !sys::CopyContent(in.Get(), temporary.Fd()) || !temporary.SyncAndClose() ||
        !temporary.ReplaceTarget(target, overwrite))
        return Fail();
    return true;
}

bool DiskFileSystem::MoveFile(const std::string& from, const std::string& to) {
    return sys::RenameNoReplace(ResolvePath(from), ResolvePath(to)) || Fail();
}

bool DiskFileSystem::DeleteFile(const std::string& path) {
    return sys::Unlink(ResolvePath(path)) || Fail();
}

bool DiskFileSystem::CreateDirectory(const std::string& path) {
    const std::string resolved = ResolvePath(path);
    if (sys::MakeDirectory(resolved, kNewDirectoryMode))
        return true;
    const int error = errno;
    struct stat status {};
    if (error == EEXIST && sys::Status(resolved, status) && S_ISDIR(status.st_mode))
        return true;
    return Fail(error == EEXIST ? ENOTDIR : error);
}

bool DiskFileSystem::SetCurrentDirectory(const std::string& path) {
    return sys::ChangeDirectory(ResolvePath(path)) || Fail();
}

std::optional<std::vector<DirEntry>> DiskFileSystem::ListDirectory(const std::string& path) {
    sys::Directory dir(ResolvePath(path));
    if (!dir.IsOpen()) {
        Fail();
        return std::nullopt;
    }
    std::vector<DirEntry> entries;
    bool failed = false;
    while (const dirent* entry = dir.Next(failed)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        // Some file systems do not fill d_type, and a link to a folder is a folder to the game.
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat status {};
            isDirectory = sys::StatusAt(dir.Fd(), entry->d_name, status) && S_ISDIR(status.st_mode);
        }
        entries.push_back(DirEntry{std::string(name), isDirectory});
    }
    if (failed) {
        Fail();
        return std::nullopt;
    }
    return entries;
}

bool DiskFileSystem::WriteFile(const std::string& path, std::string_view bytes) {
    const std::string target = ResolvePath(path);
    struct stat status {};
    // A rewritten file keeps the permissions it had; a new one gets the usual ones.
    const mode_t mode = sys::Status(target, status) && S_ISREG(status.st_mode)
                            ? (status.st_mode & 0777) | S_IRUSR | S_IWUSR
                            : kNewFileMode;
    TemporaryFile temporary(target);
    if (!temporary.IsOpen() || !sys::ChangeMode(temporary.Fd(), mode) ||
        !sys::WriteAll(temporary.Fd(), bytes) || !temporary.SyncAndClose() ||
        !temporary.ReplaceTarget(target, Overwrite::Yes))
        return Fail();
    return true;
}

std::optional<std::string> DiskFileSystem::ReadFile(const std::string& path) {
    sys::FileDescriptor in = sys::Open(ResolvePath(path), O_RDONLY);
    std::string content;
    if (!in.IsOpen() || !sys::ReadAll(in.Get(), content)) {
        Fail();
        return std::nullopt;
    }
    return content;
}

PendingFile DiskFileSystem::CreatePendingFile(const std::string& path) {
    const std::string target = ResolvePath(path);
    sys::FileDescriptor nameless = sys::OpenUnnamed(ParentOf(target), kNewFileMode);
    if (nameless.IsOpen())
        return PendingFile(nameless.Release(), {});
    TemporaryFile temporary(target);
    if (!temporary.IsOpen() || !sys::ChangeMode(temporary.Fd(), kNewFileMode)) {
        Fail();
        return {};
    }
    return temporary.Pending();
}

bool DiskFileSystem::PlacePendingFile(PendingFile& file, const std::string& path,
                                      Overwrite overwrite) {
    const std::string target = ResolvePath(path);
    if (file.TemporaryPath().empty() && overwrite == Overwrite::No) {
        if (!sys::LinkUnnamed(file.Fd(), target))
            return Fail();
    } else if (file.TemporaryPath().empty()) {
        // A link cannot replace a name: the content reaches it the way CopyFile's does.
        TemporaryFile temporary(target);
        if (!temporary.IsOpen() || !sys::ChangeMode(temporary.Fd(), kNewFileMode) ||
            !sys::Rewind(file.Fd()) || !sys::CopyContent(file.Fd(), temporary.Fd()) ||
            !temporary.SyncAndClose() || !temporary.ReplaceTarget(target, Overwrite::Yes))
            return Fail();
        file.Discard();
        return true;
    } else {
        const bool placed = overwrite == Overwrite::Yes
                                ? sys::Sync(file.Fd()) && sys::Rename(file.TemporaryPath(), target)
                                : sys::RenameNoReplace(file.TemporaryPath(), target);
        if (!placed)
            return Fail();
    }
    return file.Placed() || Fail();
}

bool DiskFileSystem::Exists(const std::string& path) {
    struct stat status {};
    return sys::LinkStatus(ResolvePath(path), status) || Fail();
}

FileSystem& Files() {
    FileSystem* installed = g_installed.Get();
    return installed != nullptr ? *installed : g_disk;
}

FileSystem* SetFileSystem(FileSystem* files) {
    return g_installed.Exchange(files);
}

int LastError() {
    return t_lastError;
}

std::string LastErrorText() {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in our buffer.
    return ::strerror_r(t_lastError, buffer, sizeof buffer);
}

void SetLastError(int error) {
    t_lastError = error;
}

bool IsTemporaryFileName(std::string_view name) {
    return name.size() > kTemporaryMark.size() + 1 && name.front() == '.' &&
           name.find(kTemporaryMark) != std::string_view::npos;
}

} // namespace platform
