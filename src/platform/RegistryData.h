#pragma once
// The content of the registry store: keys with their typed values, held in memory.
//
// Key paths are full paths beginning with their root ("HKEY_CURRENT_USER\Software\KRV"). Paths
// and value names compare without regard to ASCII letter case, as Windows does, and keep the case
// in which they were first written. A key exists when it is stored or when a stored key lies
// below it, so creating "A\B\C" makes "A" and "A\B" exist too, as in the Windows registry.
//
// A full export of a user's registry holds some 40,000 keys, and every start reads the whole
// store, so keys are held sorted (in the order regedit writes them, which is also the order of
// the store file) and every lookup is logarithmic; a key with many values indexes their names.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
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

// The order in which regedit sorts key paths: letter case ignored, and the separator before every
// other character, so that "A\B" comes right after "A" and before "A B". Every key below a path
// therefore follows that path without a gap.
struct RegistryPathOrder {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

class RegistryData {
  public:
    RegistryData() = default;
    RegistryData(const RegistryData& other);
    RegistryData& operator=(const RegistryData& other);
    RegistryData(RegistryData&& other) noexcept;
    RegistryData& operator=(RegistryData&& other) noexcept;

    // The stored keys in regedit's order; those at or below `path` when it is given.
    std::vector<const RegistryKey*> Keys() const;
    std::vector<const RegistryKey*> KeysAtOrBelow(std::string_view path) const;
    size_t KeyCount() const { return m_keys.size(); }

    bool KeyExists(std::string_view path) const;
    const RegistryKey* FindKey(std::string_view path) const;
    // Returns the key, adding it when it is not stored yet.
    const RegistryKey& CreateKey(std::string_view path);
    // Removes the key and everything below it; false when nothing was there.
    bool DeleteKey(std::string_view path);

    const RegistryValue* FindValue(std::string_view path, std::string_view name) const;
    // Stores the value, creating its key; a value of the same name is replaced in place.
    void SetValue(std::string_view path, RegistryValue value);
    bool DeleteValue(std::string_view path, std::string_view name);
    // Removes every value of the key; false when it held none.
    bool ClearValues(std::string_view path);

    // Names of the keys right below `path`, each once, in regedit's order.
    std::vector<std::string> SubKeyNames(std::string_view path) const;

  private:
    // Folded value name to position in the key's values; made only for keys with many values,
    // where a search of the list would make an import quadratic, and small when absent.
    class ValueIndex {
      public:
        ValueIndex() = default;
        ValueIndex(const ValueIndex& other);
        ValueIndex& operator=(const ValueIndex& other);
        ValueIndex(ValueIndex&&) noexcept = default;
        ValueIndex& operator=(ValueIndex&&) noexcept = default;

        bool Empty() const { return !m_names || m_names->empty(); }
        void Clear() { m_names.reset(); }
        void Add(std::string folded, size_t position);
        // The position, or -1 when the name is not there.
        long Find(const std::string& folded) const;

      private:
        std::unique_ptr<std::unordered_map<std::string, size_t>> m_names;
    };
    // The path inside `key` is what the set is sorted by and never changes once stored; the
    // values may, so they are mutable in the set's constant elements.
    struct StoredKey {
        mutable RegistryKey key;
        mutable ValueIndex index;
    };
    struct StoredKeyOrder {
        using is_transparent = void;
        bool operator()(const StoredKey& a, const StoredKey& b) const {
            return RegistryPathOrder()(a.key.path, b.key.path);
        }
        bool operator()(const StoredKey& a, std::string_view b) const {
            return RegistryPathOrder()(a.key.path, b);
        }
        bool operator()(std::string_view a, const StoredKey& b) const {
            return RegistryPathOrder()(a, b.key.path);
        }
    };
    using KeyMap = std::set<StoredKey, StoredKeyOrder>;

    const StoredKey& Stored(std::string_view path);
    static void Reindex(const StoredKey& stored);
    static RegistryValue* FindIn(const StoredKey& stored, std::string_view name);

    KeyMap m_keys;
    // The key changed last: the values of a .reg file come key by key, so most lookups hit it.
    KeyMap::iterator m_last = m_keys.end();
};

bool SameRegistryName(std::string_view a, std::string_view b);
// True when `path` is `ancestor` itself or lies below it.
bool IsSameOrBelow(std::string_view path, std::string_view ancestor);
// The path with its root written in full and upper case ("hkcu\Software" gives
// "HKEY_CURRENT_USER\Software") and without trailing backslashes; empty when the root is not one
// of the registry's roots or a component is empty.
std::string CanonicalKeyPath(std::string_view path);

} // namespace platform
