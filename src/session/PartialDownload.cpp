#include "session/PartialDownload.h"

#include <fcntl.h>
#include <sys/statvfs.h>

namespace {

// Pieces arrive 1 KiB at a time; the disk is written in larger steps.
constexpr std::size_t kWriteStep = 256 * 1024;
// Written data is handed to the disk in windows of this size while the download goes on, so that
// the sync at the end finds little left to do.
constexpr off_t kWritebackWindow = 8 * 1024 * 1024;

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
    m_file = platform::sys::CreateUniqueFile(directory, "." + fileName + ".download-", m_tempPath);
    if (!m_file.IsOpen()) {
        m_tempPath.clear();
        return false;
    }
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
        ::sync_file_range(m_file.Get(), m_writebackStart, m_written - m_writebackStart,
                          SYNC_FILE_RANGE_WRITE);
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
    return true;
}

std::optional<uint64_t> PartialDownload::FreeSpace(const std::string& directory) {
    struct statvfs status {};
    if (::statvfs(directory.c_str(), &status) != 0)
        return std::nullopt;
    return static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
}
