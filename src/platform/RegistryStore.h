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

namespace platform {

struct RegistryLoad {
    std::optional<RegistryData> data; // empty on failure
    std::string error;                // why, with the file's path and the line when it did not parse
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

// The store file's path under the rules above, looked up afresh on every call.
std::string DefaultRegistryPath();

} // namespace platform
