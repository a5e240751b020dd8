#pragma once
// A download on its way into a folder: the bytes go to a hidden temporary file beside the target,
// and only Commit puts them in the target's place, in one rename. Until then the target (the
// archive the player already had) is untouched; a download that is abandoned leaves nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/SystemCalls.h"

class PartialDownload {
  public:
    PartialDownload() = default;
    ~PartialDownload(); // removes the temporary file unless committed
    PartialDownload(const PartialDownload&) = delete;
    PartialDownload& operator=(const PartialDownload&) = delete;

    // Creates the temporary file in `directory` (a real path) for a target named `fileName`.
    bool Create(const std::string& directory, const std::string& fileName);
    // Buffers and writes; false once a write has failed (the disk is full, say).
    bool Write(std::string_view bytes);
    // Writes what is buffered and closes the file, after a sync when asked; false when any of it
    // failed. A download that replaces an archive the player had is synced, so that a crash
    // right after it cannot leave a torn archive where a good one was; a new archive is not
    // (a lost one is simply fetched again at the next join), as browsers and curl do not.
    enum class Durability { Synced, Unsynced };
    bool Finish(Durability durability);
    const std::string& TemporaryPath() const { return m_tempPath; }
    // Moves the finished file over the target, replacing an existing one.
    bool Commit(const std::string& targetPath);

    // Bytes that the folder's file system can still take, or nothing when it cannot tell.
    static std::optional<uint64_t> FreeSpace(const std::string& directory);
    // Test seam: while set, FreeSpace answers this for every folder, so that a test can play a
    // disk too full for the download. Returns the value in force before, for the caller to put
    // back.
    static std::optional<uint64_t> SetFreeSpaceOverride(std::optional<uint64_t> bytes);

    // True for the names Create gives: "." + a target name + ".download-" + six letters or digits.
    static bool IsTemporaryName(std::string_view name);
    // Removes the regular files of `directory` with such names that no running download holds
    // (each holds a lock on its file for as long as it is open; the kernel drops it when the
    // process dies). Nothing else in the folder, and nothing below it, is touched.
    static void SweepLeftovers(const std::string& directory);

  private:
    bool Flush();

    platform::sys::FileDescriptor m_file;
    platform::sys::FileDescriptor m_lock; // held until the file is committed or removed
    std::string m_tempPath;
    std::string m_pending;
    off_t m_written = 0;        // bytes written to the file so far
    off_t m_writebackStart = 0; // where the part not yet handed to the disk begins
    bool m_failed = false;
    bool m_committed = false;
};
