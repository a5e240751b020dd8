#include "modpack/GameFolderLock.h"

#include <fcntl.h>

#include <cerrno>

#include "platform/GamePath.h"

GameFolderLock::Result GameFolderLock::Acquire(const std::string& folder) {
    if (IsHeld())
        return Result::Held;
    platform::sys::FileDescriptor fd =
        platform::sys::Open(platform::ResolvePath(folder), O_RDONLY | O_DIRECTORY);
    if (!fd.IsOpen())
        return Result::Unavailable;
    if (!platform::sys::TryLockExclusive(fd.Get()))
        return errno == EWOULDBLOCK ? Result::Busy : Result::Unavailable;
    m_fd = std::move(fd);
    return Result::Held;
}

bool GameFolderLock::HeldElsewhere(const std::string& folder) {
    if (IsHeld())
        return false;
    const bool busy = Acquire(folder) == Result::Busy;
    Release();
    return busy;
}
