#include "platform/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/RegFile.h"
#include "platform/SystemCalls.h"

namespace platform {

namespace {

// Another instance holds the lock only for one read-modify-write; waiting longer than this means
// something is wrong with the lock file, and the caller hears about it instead of hanging.
constexpr int kLockWaitMilliseconds = 10000;
constexpr int kLockPollMilliseconds = 10;

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

std::string Directory(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool MakeDirectories(const std::string& path) {
    struct stat status {};
    if (path.empty() || sys::Status(path, status))
        return true;
    if (!MakeDirectories(Directory(path)))
        return false;
    return sys::MakeDirectory(path, 0755) || errno == EEXIST;
}

// A store file reached through a symbolic link stays a link: the target is what gets replaced.
std::string RealTarget(const std::string& path) {
    std::string resolved;
    struct stat status {};
    if (sys::LinkStatus(path, status) && S_ISLNK(status.st_mode) && sys::RealPath(path, resolved))
        return resolved;
    return path;
}

// Takes the exclusive lock on `path`, waiting a while for another writer.
std::optional<std::string> Lock(const std::string& path, sys::FileDescriptor& fd) {
    fd = sys::Open(path, O_RDWR | O_CREAT, 0644);
    if (!fd.IsOpen())
        return SystemError("Could not open the lock file", path);
    for (int waited = 0;; waited += kLockPollMilliseconds) {
        if (sys::TryLockExclusive(fd.Get()))
            return std::nullopt;
        if (errno != EWOULDBLOCK) {
            const std::string error = SystemError("Could not lock", path);
            fd = sys::FileDescriptor();
            return error;
        }
        if (waited >= kLockWaitMilliseconds) {
            fd = sys::FileDescriptor();
            return "Timed out waiting for the lock on " + path + " held by another program";
        }
        const timespec pause{0, kLockPollMilliseconds * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

std::optional<std::string> WriteAtomically(const std::string& path, const std::string& text) {
    std::string temporary;
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    sys::FileDescriptor fd = sys::CreateUniqueFile(
        slash == std::string::npos ? "" : Directory(path), "." + name + ".", temporary);
    if (!fd.IsOpen())
        return SystemError("Could not create a temporary file beside", path);
    struct stat existing {};
    const mode_t mode = sys::Status(path, existing) ? (existing.st_mode & 07777) : 0644;
    const bool written = sys::WriteAll(fd.Get(), text) && sys::ChangeMode(fd.Get(), mode) &&
                         sys::Sync(fd.Get()) && fd.Close();
    if (!written || !sys::Rename(temporary, path)) {
        const std::string error = SystemError("Could not write", path);
        sys::Unlink(temporary);
        return error;
    }
    return std::nullopt;
}

} // namespace

RegistryStore::RegistryStore(std::string path) : m_path(RealTarget(path)) {}

RegistryLoad RegistryStore::Load() const {
    RegistryLoad result;
    sys::FileDescriptor fd = sys::Open(m_path, O_RDONLY);
    if (!fd.IsOpen()) {
        if (errno == ENOENT)
            result.data.emplace();
        else
            result.error = SystemError("Could not open", m_path);
        return result;
    }
    std::string text;
    if (!sys::ReadAll(fd.Get(), text)) {
        result.error = SystemError("Could not read", m_path);
        return result;
    }
    RegistryData data;
    if (const std::optional<RegFileError> error = ApplyRegFile(text, data)) {
        result.error = m_path + " line " + std::to_string(error->line) + ": " + error->message;
        return result;
    }
    result.data = std::move(data);
    return result;
}

std::optional<std::string>
RegistryStore::Update(const std::function<bool(RegistryData&)>& change) const {
    RegistryWrite write(*this);
    if (std::optional<std::string> error = write.Begin())
        return error;
    if (!change(write.Data()))
        return std::nullopt;
    return write.Commit();
}

std::optional<std::string> RegistryWrite::Begin() {
    const std::string& path = m_store.Path();
    if (!MakeDirectories(Directory(path)))
        return SystemError("Could not create the folder", Directory(path));
    if (std::optional<std::string> error = Lock(path + ".lock", m_lock))
        return error;
    // Read under the lock: what another writer stored a moment ago is kept.
    RegistryLoad current = m_store.Load();
    if (!current.data) {
        End();
        return current.error;
    }
    m_data = std::move(*current.data);
    return std::nullopt;
}

std::optional<std::string> RegistryWrite::Commit() {
    std::optional<std::string> error = WriteAtomically(m_store.Path(), FormatRegFile(m_data));
    End();
    return error;
}

void RegistryWrite::End() {
    m_lock = sys::FileDescriptor();
}

void AnchorRegistryPath() {
    const char* explicitPath = std::getenv("KORVANE_REGISTRY");
    if (explicitPath == nullptr || explicitPath[0] == '\0' || explicitPath[0] == '/')
        return;
    std::string directory;
    if (!sys::CurrentDirectory(directory))
        return; // the current directory is gone; nothing better is known
    const std::string absolute = directory + "/" + explicitPath;
    ::setenv("KORVANE_REGISTRY", absolute.c_str(), 1);
}

std::string DefaultRegistryPath() {
    if (const char* explicitPath = std::getenv("KORVANE_REGISTRY"); explicitPath && *explicitPath)
        return explicitPath;
    std::string config;
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : "/";
        }
        config = std::string(home) + "/.config";
    }
    return config + "/korvane/registry.reg";
}

} // namespace platform
