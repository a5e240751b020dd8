#include "FaultyFileSystem.h"

#include <cerrno>

namespace testing_support {

bool FaultyFileSystem::Proceed(std::string description) {
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

} // namespace testing_support
