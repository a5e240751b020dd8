#pragma once
// The registry store: one REGEDIT4 file standing in for the Windows registry.
//
// The file lives at $KORVANE_REGISTRY when that is set, otherwise at
// $XDG_CONFIG_HOME/korvane/registry.reg (~/.config when XDG_CONFIG_HOME is unset). A missing file
// is an empty registry. Several processes may change the file at once: every change takes an
// exclusive lock on "<file>.lock", reads the file afresh, applies itself and replaces the file
// atomically (temporary file, sync, rename), so no writer loses another's values and a reader
// never sees a torn file. A file that does not parse is reported with its line number and never
// replaced.
#include <functional>
#include <optional>
#include <string>

#include "platform/RegistryData.h"
#include "platform/SystemCalls.h"

namespace platform {

struct RegistryLoad {
    std::optional<RegistryData> data; // empty on failure
    std::string error; // why, with the file's path and the line when it did not parse
};

class RegistryStore {
  public:
    explicit RegistryStore(std::string path);

    const std::string& Path() const { return m_path; }

    RegistryLoad Load() const;

    // Applies `change` to the current content under the lock; the file is written only when
    // `change` returns true. Returns the error text, or nothing on success.
    std::optional<std::string> Update(const std::function<bool(RegistryData&)>& change) const;

  private:
    std::string m_path;
};

// One change of several steps: Begin takes the lock and reads the content once, the caller
// changes Data(), Commit writes it once. Until Commit (or when it is never called) the file is
// untouched; the lock is held until Commit, End or destruction.
class RegistryWrite {
  public:
    explicit RegistryWrite(const RegistryStore& store) : m_store(store) {}

    // The error text, or nothing when the lock is held and the content read.
    std::optional<std::string> Begin();
    RegistryData& Data() { return m_data; }
    // Writes the content and releases the lock.
    std::optional<std::string> Commit();
    // Releases the lock without writing.
    void End();

  private:
    const RegistryStore& m_store;
    sys::FileDescriptor m_lock; // closing it releases the lock
    RegistryData m_data;
};

// The store file's path under the rules above. A relative $KORVANE_REGISTRY is taken from the
// directory the program started in (see AnchorRegistryPath).
std::string DefaultRegistryPath();

// Makes a relative $KORVANE_REGISTRY absolute, from the current directory, in the environment.
// Called once at start, before anything changes the current directory: the engine changes it
// freely, and the settings must stay where they were when the program started.
void AnchorRegistryPath();

} // namespace platform
