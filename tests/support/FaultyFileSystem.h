#pragma once
// A file system that counts every operation and breaks the k-th one (1-based), for tests of what
// the engine leaves behind when a step fails or the process dies in the middle:
//
//   FaultyFileSystem files(platform::Files());   // usually over the disk
//   ScopedFileSystem use(files);
//   RunSomething(); const int total = files.Count();      // first measure
//   files.Reset(); files.FailAt(k); RunSomething();       // then fail operation k
//   files.CallAt(k, [] { std::abort(); });                // or die there (in a child process)
//
// A failed operation does nothing and returns false or nullopt with LastError() == EIO. A hook
// runs before the operation, which then goes ahead if the hook returns.
#include "platform/FileSystem.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

class FaultyFileSystem : public platform::FileSystem {
  public:
    explicit FaultyFileSystem(platform::FileSystem& inner) : m_inner(inner) {}

    void FailAt(int operation) { SetFault(operation, false); }
    // Fails operation k and every one after it, as a full disk or a lost mount would.
    void FailFrom(int operation) { SetFault(operation, true); }
    void CallAt(int operation, std::function<void()> hook) {
        std::lock_guard lock(m_mutex);
        m_hookAt = operation;
        m_hook = std::move(hook);
    }
    // Forgets the count, the log and the faults.
    void Reset() {
        SetFault(0, false);
        CallAt(0, nullptr);
        std::lock_guard lock(m_mutex);
        m_count = 0;
        m_operations.clear();
    }

    int Count() const {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    // One line per operation so far, "CopyFile a -> b", to tell which one number k was.
    std::vector<std::string> Operations() const {
        std::lock_guard lock(m_mutex);
        return m_operations;
    }

    bool CopyFile(const std::string& from, const std::string& to,
                  platform::Overwrite overwrite) override {
        const char* mode = overwrite == platform::Overwrite::Yes ? " (overwrite)" : "";
        return Proceed("CopyFile " + from + " -> " + to + mode) &&
               m_inner.CopyFile(from, to, overwrite);
    }
    bool MoveFile(const std::string& from, const std::string& to) override {
        return Proceed("MoveFile " + from + " -> " + to) && m_inner.MoveFile(from, to);
    }
    bool DeleteFile(const std::string& path) override {
        return Proceed("DeleteFile " + path) && m_inner.DeleteFile(path);
    }
    bool CreateDirectory(const std::string& path) override {
        return Proceed("CreateDirectory " + path) && m_inner.CreateDirectory(path);
    }
    bool SetCurrentDirectory(const std::string& path) override {
        return Proceed("SetCurrentDirectory " + path) && m_inner.SetCurrentDirectory(path);
    }
    std::optional<std::vector<platform::DirEntry>> ListDirectory(const std::string& path) override {
        if (!Proceed("ListDirectory " + path))
            return std::nullopt;
        return m_inner.ListDirectory(path);
    }
    bool WriteFile(const std::string& path, std::string_view bytes) override {
        return Proceed("WriteFile " + path) && m_inner.WriteFile(path, bytes);
    }
    std::optional<std::string> ReadFile(const std::string& path) override {
        if (!Proceed("ReadFile " + path))
            return std::nullopt;
        return m_inner.ReadFile(path);
    }
    bool Exists(const std::string& path) override {
        return Proceed("Exists " + path) && m_inner.Exists(path);
    }
    platform::PendingFile CreatePendingFile(const std::string& path) override {
        if (!Proceed("CreatePendingFile " + path))
            return {};
        return m_inner.CreatePendingFile(path);
    }
    bool PlacePendingFile(platform::PendingFile& file, const std::string& path,
                          platform::Overwrite overwrite) override {
        const char* mode = overwrite == platform::Overwrite::Yes ? " (overwrite)" : "";
        return Proceed("PlacePendingFile " + path + mode) &&
               m_inner.PlacePendingFile(file, path, overwrite);
    }

  private:
    void SetFault(int operation, bool onwards) {
        std::lock_guard lock(m_mutex);
        m_failAt = operation;
        m_failOnwards = onwards;
    }
    // Counts one operation; false when it must fail.
    bool Proceed(std::string description);

    platform::FileSystem& m_inner;
    mutable std::mutex m_mutex;
    int m_count = 0;
    int m_failAt = 0;
    bool m_failOnwards = false;
    int m_hookAt = 0;
    std::function<void()> m_hook;
    std::vector<std::string> m_operations;
};

// Installs a file system for its lifetime and puts back the one installed before.
class ScopedFileSystem {
  public:
    explicit ScopedFileSystem(platform::FileSystem& files)
        : m_previous(platform::SetFileSystem(&files)) {}
    ~ScopedFileSystem() { platform::SetFileSystem(m_previous); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

  private:
    platform::FileSystem* m_previous;
};

} // namespace testing_support
