#pragma once
// The content of the registry store: keys with their typed values, held in memory.
//
// Key paths are full paths beginning with their root ("HKEY_CURRENT_USER\Software\KRV"). Paths
// and value names compare without regard to ASCII letter case, as Windows does, and keep the case
// in which they were first written. A key exists when it is stored or when a stored key lies
// below it, so creating "A\B\C" makes "A" and "A\B" exist too, as in the Windows registry.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Value types, numbered as the Windows registry numbers them (and as "hex(N):" writes them).
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// One value: its raw bytes exactly as stored (a string keeps its terminating zero).
struct RegistryValue {
    std::string name; // empty for the key's default value ("@" in a .reg file)
    uint32_t type = kRegNone;
    std::string bytes;
};

struct RegistryKey {
    std::string path;
    std::vector<RegistryValue> values; // in the order they were first set
};

class RegistryData {
public:
    const std::vector<RegistryKey>& Keys() const { return m_keys; }

    bool KeyExists(std::string_view path) const;
    const RegistryKey* FindKey(std::string_view path) const;
    // Returns the key, adding it when it is not stored yet.
    RegistryKey& CreateKey(std::string_view path);
    // Removes the key and everything below it; false when nothing was there.
    bool DeleteKey(std::string_view path);

    const RegistryValue* FindValue(std::string_view path, std::string_view name) const;
    // Stores the value, creating its key; a value of the same name is replaced in place.
    void SetValue(std::string_view path, RegistryValue value);
    bool DeleteValue(std::string_view path, std::string_view name);

    // Names of the keys right below `path`, each once, in the order their keys were stored.
    std::vector<std::string> SubKeyNames(std::string_view path) const;

private:
    std::vector<RegistryKey> m_keys;
};

bool SameRegistryName(std::string_view a, std::string_view b);
// True when `path` is `ancestor` itself or lies below it.
bool IsSameOrBelow(std::string_view path, std::string_view ancestor);
// The path with its root written in full and upper case ("hkcu\Software" gives
// "HKEY_CURRENT_USER\Software") and without trailing backslashes; empty when the root is not one
// of the registry's roots or a component is empty.
std::string CanonicalKeyPath(std::string_view path);

} // namespace platform
