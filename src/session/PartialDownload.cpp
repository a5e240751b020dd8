#include "session/PartialDownload.h"

#include <fcntl.h>

#include <cstdint>

#include "platform/Seam.h"

namespace {

// Pieces arrive 1 KiB at a time; the disk is written in larger steps.
constexpr std::size_t kWriteStep = 256 * 1024;
// Written data is handed to the disk in windows of this size while the download goes on, so that
// the sync at the end finds little left to do.
constexpr off_t kWritebackWindow = 8 * 1024 * 1024;

constexpr std::string_view kTemporaryMark = ".download-";
// mkostemp's unique part.
constexpr std::size_t kUniqueLength = 6;

} // namespace

PartialDownload::~PartialDownload() {
    if (!m_tempPath.empty() && !m_committed) {
        m_file.Close();
        platform::sys::Unlink(m_tempPath);
    }
}

bool PartialDownload::Create(const std::string& directory, const std::string& fileName) {
    // A hidden name that the catalogue's "*.gck" never lists, so that a download in progress (or
    // one left by a crash) never shows up as a modpack.
    m_file = platform::sys::CreateUniqueFile(
        directory, "." + fileName + std::string(kTemporaryMark), m_tempPath);
    if (!m_file.IsOpen()) {
        m_tempPath.clear();
        return false;
    }
    // Tells a Korvane starting meanwhile on the same folder that this file is not left over, from
    // now until it is committed or removed (the file itself is closed before the checks).
    m_lock = platform::sys::Open(m_tempPath, O_RDONLY);
    if (m_lock.IsOpen())
        platform::sys::TryLockExclusive(m_lock.Get());
    // The temporary file is private to us; the archive it becomes is an ordinary file.
    platform::sys::ChangeMode(m_file.Get(), 0644);
    m_pending.reserve(kWriteStep);
    return true;
}

bool PartialDownload::Write(std::string_view bytes) {
    if (m_failed || !m_file.IsOpen())
        return false;
    m_pending.append(bytes);
    return m_pending.size() < kWriteStep || Flush();
}

bool PartialDownload::Flush() {
    if (!m_failed && !platform::sys::WriteAll(m_file.Get(), m_pending))
        m_failed = true;
    m_written += static_cast<off_t>(m_pending.size());
    m_pending.clear();
    if (!m_failed && m_written - m_writebackStart >= kWritebackWindow) {
        // Starts the write-out without waiting for it; a failure here only means that the final
        // sync does all the work.
        platform::sys::StartWriteBack(m_file.Get(), m_writebackStart, m_written - m_writebackStart);
        m_writebackStart = m_written;
    }
    return !m_failed;
}

bool PartialDownload::Finish(Durability durability) {
    if (!m_file.IsOpen())
        return false;
    bool written = Flush();
    if (written && durability == Durability::Synced)
        written = platform::sys::Sync(m_file.Get());
    return m_file.Close() && written;
}

bool PartialDownload::Commit(const std::string& targetPath) {
    if (m_tempPath.empty() || m_file.IsOpen() || m_failed)
        return false;
    if (!platform::sys::Rename(m_tempPath, targetPath))
        return false;
    m_committed = true;
    m_lock.Close();
    return true;
}

namespace {
constinit platform::Seam<std::optional<uint64_t>> g_freeSpaceOverride{std::nullopt};
} // namespace

std::optional<uint64_t> PartialDownload::SetFreeSpaceOverride(std::optional<uint64_t> bytes) {
    return g_freeSpaceOverride.Exchange(bytes);
}

std::optional<uint64_t> PartialDownload::FreeSpace(const std::string& directory) {
    if (const std::optional<uint64_t> forced = g_freeSpaceOverride.Get())
        return forced;
    struct statvfs status {};
    if (!platform::sys::FileSystemStatus(directory, status))
        return std::nullopt;
    return static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
}

bool PartialDownload::IsTemporaryName(std::string_view name) {
    if (name.size() < 1 + 1 + kTemporaryMark.size() + kUniqueLength || name.front() != '.')
        return false;
    const std::string_view unique = name.substr(name.size() - kUniqueLength);
    for (const char c : unique) {
        const bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit)
            return false;
    }
    const std::string_view rest = name.substr(0, name.size() - kUniqueLength);
    return rest.substr(rest.size() - kTemporaryMark.size()) == kTemporaryMark;
}

void PartialDownload::SweepLeftovers(const std::string& directory) {
    platform::sys::Directory folder(directory);
    if (!folder.IsOpen())
        return;
    bool failed = false;
    while (const dirent* entry = folder.Next(failed)) {
        if (!IsTemporaryName(entry->d_name))
            continue;
        const std::string path = directory + "/" + entry->d_name;
        struct stat status {};
        if (!platform::sys::LinkStatus(path, status) || !S_ISREG(status.st_mode))
            continue;
        platform::sys::FileDescriptor file =
            platform::sys::Open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (!file.IsOpen() || !platform::sys::TryLockExclusive(file.Get()))
            continue; // a download in progress, or not ours to judge
        platform::sys::Unlink(path);
    }
}
