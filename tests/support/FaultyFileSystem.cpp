#include "FaultyFileSystem.h"

#include <cerrno>

namespace testing_support {

void FaultyFileSystem::FailAt(int operation)
{
    std::lock_guard lock(m_mutex);
    m_failAt = operation;
    m_failOnwards = false;
}

void FaultyFileSystem::FailFrom(int operation)
{
    std::lock_guard lock(m_mutex);
    m_failAt = operation;
    m_failOnwards = true;
}

void FaultyFileSystem::CallAt(int operation, std::function<void()> hook)
{
    std::lock_guard lock(m_mutex);
    m_hookAt = operation;
    m_hook = std::move(hook);
}

void FaultyFileSystem::Reset()
{
    std::lock_guard lock(m_mutex);
    m_count = 0;
    m_failAt = 0;
    m_failOnwards = false;
    m_hookAt = 0;
    m_hook = nullptr;
    m_operations.clear();
}

int FaultyFileSystem::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

std::vector<std::string> FaultyFileSystem::Operations() const
{
    std::lock_guard lock(m_mutex);
    return m_operations;
}

bool FaultyFileSystem::Proceed(std::string description)
{
    std::function<void()> hook;
    bool fail = false;
    {
        std::lock_guard lock(m_mutex);
        const int number = ++m_count;
        m_operations.push_back(std::move(description));
        if (number == m_hookAt)
            hook = m_hook;
        fail = m_failAt > 0 && (number == m_failAt || (m_failOnwards && number > m_failAt));
    }
    // Outside the lock: the hook may well look at the count, or never return.
    if (hook)
        hook();
    if (fail)
        platform::SetLastError(EIO);
    return !fail;
}

bool FaultyFileSystem::CopyFile(const std::string& from, const std::string& to,
                                platform::Overwrite overwrite)
{
    const char* mode = overwrite == platform::Overwrite::Yes ? " (overwrite)" : "";
    return Proceed("CopyFile " + from + " -> " + to + mode) &&
           m_inner.CopyFile(from, to, overwrite);
}

bool FaultyFileSystem::MoveFile(const std::string& from, const std::string& to)
{
    return Proceed("MoveFile " + from + " -> " + to) && m_inner.MoveFile(from, to);
}

bool FaultyFileSystem::DeleteFile(const std::string& path)
{
    return Proceed("DeleteFile " + path) && m_inner.DeleteFile(path);
}

bool FaultyFileSystem::CreateDirectory(const std::string& path)
{
    return Proceed("CreateDirectory " + path) && m_inner.CreateDirectory(path);
}

bool FaultyFileSystem::SetCurrentDirectory(const std::string& path)
{
    return Proceed("SetCurrentDirectory " + path) && m_inner.SetCurrentDirectory(path);
}

std::optional<std::vector<platform::DirEntry>>
FaultyFileSystem::ListDirectory(const std::string& path)
{
    if (!Proceed("ListDirectory " + path))
        return std::nullopt;
    return m_inner.ListDirectory(path);
}

bool FaultyFileSystem::WriteFile(const std::string& path, std::string_view bytes)
{
    return Proceed("WriteFile " + path) && m_inner.WriteFile(path, bytes);
}

std::optional<std::string> FaultyFileSystem::ReadFile(const std::string& path)
{
    if (!Proceed("ReadFile " + path))
        return std::nullopt;
    return m_inner.ReadFile(path);
}

bool FaultyFileSystem::Exists(const std::string& path)
{
    return Proceed("Exists " + path) && m_inner.Exists(path);
}

} // namespace testing_support
