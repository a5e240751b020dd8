#include "platform/RegistryData.h"

#include "platform/Ascii.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform {

namespace {

// A key with more values than this gets an index of their names.
constexpr size_t kIndexFrom = 16;

int SortRank(char c) {
    if (c == '\\')
        return 0;
    return static_cast<unsigned char>(UpperAscii(c)) + 1;
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        c = UpperAscii(c);
    return folded;
}

struct RootName {
    std::string_view full;
    std::string_view shortName;
};

constexpr std::array<RootName, 6> kRoots{{
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
    {"HKEY_CURRENT_CONFIG", "HKCC"},
    {"HKEY_DYN_DATA", "HKDD"},
}};

} // namespace

bool SameRegistryName(std::string_view a, std::string_view b) {
    // Most names are asked for as they were written; a plain comparison answers those at once.
    return a.size() == b.size() &&
           (a == b || std::equal(a.begin(), a.end(), b.begin(),
                                 [](char x, char y) { return UpperAscii(x) == UpperAscii(y); }));
}

bool IsSameOrBelow(std::string_view path, std::string_view ancestor) {
    if (path.size() == ancestor.size())
        return SameRegistryName(path, ancestor);
    return path.size() > ancestor.size() && path[ancestor.size()] == '\\' &&
           SameRegistryName(path.substr(0, ancestor.size()), ancestor);
}

std::string CanonicalKeyPath(std::string_view path) {
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    const size_t slash = path.find('\\');
    const std::string_view root = path.substr(0, slash);
    const auto known = std::find_if(kRoots.begin(), kRoots.end(), [&](const RootName& r) {
        return SameRegistryName(root, r.full) || SameRegistryName(root, r.shortName);
    });
    if (known == kRoots.end())
        return {};
    std::string result(known->full);
    if (slash == std::string_view::npos)
        return result;
    const std::string_view rest = path.substr(slash);
    if (rest.find("\\\\") != std::string_view::npos)
        return {};
    result.append(rest);
    return result;
}

bool RegistryPathOrder::operator()(std::string_view a, std::string_view b) const {
    // Paths share long beginnings ("HKEY_CURRENT_USER\Software\..."): skip the identical bytes
    // at memory speed, then compare by rank from the first difference.
    const size_t common = std::min(a.size(), b.size());
    size_t i = static_cast<size_t>(std::mismatch(a.begin(), a.begin() + common, b.begin()).first -
                                   a.begin());
    for (; i < common; ++i) {
        const int x = SortRank(a[i]);
        const int y = SortRank(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

RegistryData::RegistryData(const RegistryData& other) : m_keys(other.m_keys) {}

RegistryData& RegistryData::operator=(const RegistryData& other) {
    if (this != &other) {
        m_keys = other.m_keys;
        m_last = m_keys.end();
    }
    return *this;
}

RegistryData::RegistryData(RegistryData&& other) noexcept : m_keys(std::move(other.m_keys)) {
    other.m_last = other.m_keys.end();
}

RegistryData& RegistryData::operator=(RegistryData&& other) noexcept {
    m_keys = std::move(other.m_keys);
    m_last = m_keys.end();
    other.m_last = other.m_keys.end();
    return *this;
}

std::vector<const RegistryKey*> RegistryData::Keys() const {
    std::vector<const RegistryKey*> keys;
    keys.reserve(m_keys.size());
    for (const StoredKey& stored : m_keys)
        keys.push_back(&stored.key);
    return keys;
}

std::vector<const RegistryKey*> RegistryData::KeysAtOrBelow(std::string_view path) const {
    std::vector<const RegistryKey*> keys;
    for (auto it = m_keys.lower_bound(path);
         it != m_keys.end() && IsSameOrBelow(it->key.path, path); ++it)
        keys.push_back(&it->key);
    return keys;
}

bool RegistryData::KeyExists(std::string_view path) const {
    // The key itself, or else the first key below it, is the first one not sorted before it.
    const auto it = m_keys.lower_bound(path);
    return it != m_keys.end() && IsSameOrBelow(it->key.path, path);
}

const RegistryKey* RegistryData::FindKey(std::string_view path) const {
    const auto it = m_keys.find(path);
    return it == m_keys.end() ? nullptr : &it->key;
}

const RegistryData::StoredKey& RegistryData::Stored(std::string_view path) {
    if (m_last != m_keys.end() && SameRegistryName(m_last->key.path, path))
        return *m_last;
    // A file of our own lists its keys in order, so a new key usually goes at the end.
    if (m_keys.empty() || RegistryPathOrder()(std::prev(m_keys.end())->key.path, path)) {
        m_last =
            m_keys.emplace_hint(m_keys.end(), StoredKey{RegistryKey{std::string(path), {}}, {}});
        return *m_last;
    }
    auto it = m_keys.lower_bound(path);
    if (it == m_keys.end() || !SameRegistryName(it->key.path, path))
        it = m_keys.emplace_hint(it, StoredKey{RegistryKey{std::string(path), {}}, {}});
    m_last = it;
    return *it;
}

const RegistryKey& RegistryData::CreateKey(std::string_view path) {
    return Stored(path).key;
}

bool RegistryData::DeleteKey(std::string_view path) {
    auto it = m_keys.lower_bound(path);
    const auto first = it;
    while (it != m_keys.end() && IsSameOrBelow(it->key.path, path))
        ++it;
    if (it == first)
        return false;
    m_keys.erase(first, it);
    m_last = m_keys.end();
    return true;
}

RegistryData::ValueIndex::ValueIndex(const ValueIndex& other)
    : m_names(other.m_names
                  ? std::make_unique<std::unordered_map<std::string, size_t>>(*other.m_names)
                  : nullptr) {}

RegistryData::ValueIndex& RegistryData::ValueIndex::operator=(const ValueIndex& other) {
    if (this != &other)
        *this = ValueIndex(other);
    return *this;
}

void RegistryData::ValueIndex::Add(std::string folded, size_t position) {
    if (!m_names)
        m_names = std::make_unique<std::unordered_map<std::string, size_t>>();
    m_names->emplace(std::move(folded), position);
}

long RegistryData::ValueIndex::Find(const std::string& folded) const {
    if (!m_names)
        return -1;
    const auto it = m_names->find(folded);
    return it == m_names->end() ? -1 : static_cast<long>(it->second);
}

void RegistryData::Reindex(const StoredKey& stored) {
    stored.index.Clear();
    if (stored.key.values.size() <= kIndexFrom)
        return;
    for (size_t i = 0; i < stored.key.values.size(); ++i)
        stored.index.Add(Folded(stored.key.values[i].name), i);
}

RegistryValue* RegistryData::FindIn(const StoredKey& stored, std::string_view name) {
    std::vector<RegistryValue>& values = stored.key.values;
    if (!stored.index.Empty()) {
        const long position = stored.index.Find(Folded(name));
        return position < 0 ? nullptr : &values[static_cast<size_t>(position)];
    }
    for (RegistryValue& value : values) {
        if (SameRegistryName(value.name, name))
            return &value;
    }
    return nullptr;
}

const RegistryValue* RegistryData::FindValue(std::string_view path, std::string_view name) const {
    const auto it = m_keys.find(path);
    if (it == m_keys.end())
        return nullptr;
    return FindIn(*it, name);
}

void RegistryData::SetValue(std::string_view path, RegistryValue value) {
    const StoredKey& stored = Stored(path);
    if (RegistryValue* existing = FindIn(stored, value.name)) {
        // The name keeps the spelling it was created with, as in Windows.
        existing->type = value.type;
        existing->bytes = std::move(value.bytes);
        return;
    }
    std::vector<RegistryValue>& values = stored.key.values;
    values.push_back(std::move(value));
    if (!stored.index.Empty())
        stored.index.Add(Folded(values.back().name), values.size() - 1);
    else if (values.size() > kIndexFrom)
        Reindex(stored);
}

bool RegistryData::DeleteValue(std::string_view path, std::string_view name) {
    const auto it = m_keys.find(path);
    if (it == m_keys.end())
        return false;
    std::vector<RegistryValue>& values = it->key.values;
    const size_t before = values.size();
    std::erase_if(values,
                  [&](const RegistryValue& value) { return SameRegistryName(value.name, name); });
    if (values.size() == before)
        return false;
    Reindex(*it);
    return true;
}

bool RegistryData::ClearValues(std::string_view path) {
    const auto it = m_keys.find(path);
    if (it == m_keys.end() || it->key.values.empty())
        return false;
    it->key.values.clear();
    it->index.Clear();
    return true;
}

std::vector<std::string> RegistryData::SubKeyNames(std::string_view path) const {
    std::vector<std::string> names;
    const std::string below = std::string(path) + '\\';
    auto it = m_keys.lower_bound(below);
    while (it != m_keys.end() && IsSameOrBelow(it->key.path, path)) {
        const std::string_view rest = std::string_view(it->key.path).substr(below.size());
        const std::string_view name = rest.substr(0, rest.find('\\'));
        names.emplace_back(name);
        // Everything below this child sorts before the child's name followed by any character
        // but the separator, so one search skips the whole branch.
        it = m_keys.lower_bound(below + std::string(name) + '\0');
    }
    return names;
}

} // namespace platform
