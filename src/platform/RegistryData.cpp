#include "platform/RegistryData.h"

#include <algorithm>
#include <array>
#include <utility>

namespace platform {

namespace {

char FoldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
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

bool SameRegistryName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return FoldCase(x) == FoldCase(y); });
}

bool IsSameOrBelow(std::string_view path, std::string_view ancestor)
{
    if (path.size() == ancestor.size())
        return SameRegistryName(path, ancestor);
    return path.size() > ancestor.size() && path[ancestor.size()] == '\\' &&
           SameRegistryName(path.substr(0, ancestor.size()), ancestor);
}

std::string CanonicalKeyPath(std::string_view path)
{
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

bool RegistryData::KeyExists(std::string_view path) const
{
    return std::any_of(m_keys.begin(), m_keys.end(),
                       [&](const RegistryKey& key) { return IsSameOrBelow(key.path, path); });
}

const RegistryKey* RegistryData::FindKey(std::string_view path) const
{
    for (const RegistryKey& key : m_keys) {
        if (SameRegistryName(key.path, path))
            return &key;
    }
    return nullptr;
}

RegistryKey& RegistryData::CreateKey(std::string_view path)
{
    for (RegistryKey& key : m_keys) {
        if (SameRegistryName(key.path, path))
            return key;
    }
    m_keys.push_back(RegistryKey{std::string(path), {}});
    return m_keys.back();
}

bool RegistryData::DeleteKey(std::string_view path)
{
    const size_t before = m_keys.size();
    std::erase_if(m_keys, [&](const RegistryKey& key) { return IsSameOrBelow(key.path, path); });
    return m_keys.size() != before;
}

const RegistryValue* RegistryData::FindValue(std::string_view path, std::string_view name) const
{
    const RegistryKey* key = FindKey(path);
    if (key == nullptr)
        return nullptr;
    for (const RegistryValue& value : key->values) {
        if (SameRegistryName(value.name, name))
            return &value;
    }
    return nullptr;
}

void RegistryData::SetValue(std::string_view path, RegistryValue value)
{
    RegistryKey& key = CreateKey(path);
    for (RegistryValue& existing : key.values) {
        if (SameRegistryName(existing.name, value.name)) {
            // The name keeps the spelling it was created with, as in Windows.
            existing.type = value.type;
            existing.bytes = std::move(value.bytes);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

bool RegistryData::DeleteValue(std::string_view path, std::string_view name)
{
    for (RegistryKey& key : m_keys) {
        if (!SameRegistryName(key.path, path))
            continue;
        const size_t before = key.values.size();
        std::erase_if(key.values,
                      [&](const RegistryValue& value) { return SameRegistryName(value.name, name); });
        return key.values.size() != before;
    }
    return false;
}

std::vector<std::string> RegistryData::SubKeyNames(std::string_view path) const
{
    std::vector<std::string> names;
    for (const RegistryKey& key : m_keys) {
        if (key.path.size() <= path.size() || !IsSameOrBelow(key.path, path))
            continue;
        const std::string_view below = std::string_view(key.path).substr(path.size() + 1);
        const std::string name(below.substr(0, below.find('\\')));
        const bool known = std::any_of(names.begin(), names.end(),
                                       [&](const std::string& n) { return SameRegistryName(n, name); });
        if (!known)
            names.push_back(name);
    }
    return names;
}

} // namespace platform
