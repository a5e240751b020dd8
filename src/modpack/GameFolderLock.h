#pragma once
// The lock a Korvane holds on the game folder while a modpack is installed there: from the
// installation, through the game's run, to the restoration that ends it. Another Korvane on the
// same game folder (a second player started with the same settings) finds it held, and then
// neither restores the game from under the running one nor installs a modpack of its own.
//
// It is the kernel's advisory lock (flock) on the folder itself: nothing is written into the game,
// and a Korvane that is killed leaves no lock behind.
#include <string>

#include "platform/SystemCalls.h"

class GameFolderLock {
  public:
    enum class Result {
        Held,       // this object holds the lock now
        Busy,       // another Korvane holds it
        Unavailable // the folder cannot be opened; nothing to protect, the caller carries on
    };

    // Takes the lock on `folder` (a Windows-style path), or keeps it when already held.
    Result Acquire(const std::string& folder);
    void Release() { m_fd = {}; }
    bool IsHeld() const { return m_fd.IsOpen(); }
    // True when another Korvane holds the lock on `folder` right now.
    bool HeldElsewhere(const std::string& folder);

  private:
    platform::sys::FileDescriptor m_fd;
};
