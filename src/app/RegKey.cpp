#include "app/RegKey.h"

#include <cstring>
#include <functional>

#include "platform/RegistryStore.h"

namespace {

const RegKeyHandle kCurrentUser{"HKEY_CURRENT_USER", KEY_ALL_ACCESS};

thread_local std::string t_lastError;

platform::RegistryStore Store()
{
    return platform::RegistryStore(platform::DefaultRegistryPath());
}

// The full path of a sub-key, or empty when the parent is not open or the name is not valid.
std::string SubKeyPath(HKEY parent, const char* name)
{
    if (parent == nullptr)
        return {};
    std::string path = parent->path;
    if (name != nullptr && *name != '\0')
        path += std::string("\\") + name;
    return platform::CanonicalKeyPath(path);
}

bool IsRoot(const std::string& path)
{
    return path.find('\\') == std::string::npos;
}

bool Exists(const platform::RegistryData& data, const std::string& path)
{
    return IsRoot(path) || data.KeyExists(path);
}

// Loads the store; on failure keeps the reason and throws the caller's message.
platform::RegistryData LoadOrThrow(const char* message)
{
    platform::RegistryLoad load = Store().Load();
    if (!load.data) {
        t_lastError = load.error;
        throw message;
    }
    return std::move(*load.data);
}

// Runs one change of the store; `change` returns false when the change cannot be made (then
// nothing is written and the message is thrown).
void UpdateOrThrow(const char* message, const std::function<bool(platform::RegistryData&)>& change)
{
    bool applied = false;
    const std::optional<std::string> error = Store().Update([&](platform::RegistryData& data) {
        applied = change(data);
        return applied;
    });
    if (error) {
        t_lastError = *error;
        throw message;
    }
    if (!applied)
        throw message;
}

std::string WithZero(const char* text)
{
    std::string bytes = text != nullptr ? text : "";
    bytes += '\0';
    return bytes;
}

} // namespace

const HKEY HKEY_CURRENT_USER = &kCurrentUser;

const std::string& LastRegistryError()
{
    return t_lastError;
}

CRegKey::CRegKey() = default;

CRegKey::~CRegKey() = default;

void CRegKey::Close()
{
    m_hKey.reset();
}

void CRegKey::Open(HKEY hKeyParent, const char* lpszKeyName, uint32_t samDesired)
{
    constexpr const char* kMessage = "Error in CRegKey::Open";
    t_lastError.clear();
    const std::string path = SubKeyPath(hKeyParent, lpszKeyName);
    if (path.empty())
        throw kMessage;
    if (!Exists(LoadOrThrow(kMessage), path))
        throw kMessage;
    m_hKey = std::make_unique<RegKeyHandle>(RegKeyHandle{path, samDesired});
}

void CRegKey::SetKeyValue(const char* lpszKeyName, const char* lpszValue, const char* lpszValueName)
{
    constexpr const char* kMessage = "Error in CRegKey::SetKeyValue";
    t_lastError.clear();
    const std::string path = SubKeyPath(m_hKey.get(), lpszKeyName);
    if (path.empty() || IsRoot(path))
        throw kMessage;
    const std::string held = m_hKey->path;
    UpdateOrThrow(kMessage, [&](platform::RegistryData& data) {
        if (!Exists(data, held))
            return false;
        data.SetValue(path, {lpszValueName != nullptr ? lpszValueName : "", platform::kRegSz,
                             WithZero(lpszValue)});
        return true;
    });
}

void CRegKey::Create(HKEY hKeyParent, const char* lpszKeyName, const char*, uint32_t)
{
    constexpr const char* kMessage = "Error in CRegKey::Create";
    t_lastError.clear();
    const std::string path = SubKeyPath(hKeyParent, lpszKeyName);
    if (path.empty())
        throw kMessage;
    if (!IsRoot(path)) {
        const std::optional<std::string> error = Store().Update([&](platform::RegistryData& data) {
            if (data.KeyExists(path))
                return false;
            data.CreateKey(path);
            return true;
        });
        if (error) {
            t_lastError = *error;
            throw kMessage;
        }
    }
    m_hKey = std::make_unique<RegKeyHandle>(RegKeyHandle{path, KEY_ALL_ACCESS});
}

void CRegKey::QueryValue(char* szValue, const char* lpszValueName, uint32_t* pdwCount)
{
    constexpr const char* kMessage = "Error in CRegKey::QueryValue";
    t_lastError.clear();
    if (!m_hKey || pdwCount == nullptr || (m_hKey->access & KEY_QUERY_VALUE) == 0)
        throw kMessage;
    const platform::RegistryData data = LoadOrThrow(kMessage);
    const platform::RegistryValue* value =
        data.FindValue(m_hKey->path, lpszValueName != nullptr ? lpszValueName : "");
    if (value == nullptr)
        throw kMessage;
    const size_t size = value->bytes.size();
    const size_t capacity = *pdwCount;
    *pdwCount = static_cast<uint32_t>(size);
    if (szValue == nullptr)
        return; // a size enquiry
    if (size > capacity)
        throw kMessage;
    std::memcpy(szValue, value->bytes.data(), size);
}

void CRegKey::QueryValue(uint32_t& dwValue, const char* lpszValueName)
{
    // Windows fills the variable with as many bytes as the value holds, whatever its type, and
    // leaves the rest of it as it was; a two-byte string therefore changes only the low bytes.
    char bytes[sizeof(uint32_t)];
    uint32_t size = sizeof bytes;
    QueryValue(bytes, lpszValueName, &size);
    std::memcpy(&dwValue, bytes, size);
}

void CRegKey::SetValue(uint32_t dwValue, const char* lpszValueName)
{
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((dwValue >> shift) & 0xFF);
    StoreValue(lpszValueName, platform::kRegDword, std::move(bytes));
}

void CRegKey::SetValue(const char* lpszValue, const char* lpszValueName)
{
    StoreValue(lpszValueName, platform::kRegSz, WithZero(lpszValue));
}

void CRegKey::StoreValue(const char* lpszValueName, uint32_t type, std::string bytes)
{
    constexpr const char* kMessage = "Error in CRegKey::SetValue";
    t_lastError.clear();
    if (!m_hKey || (m_hKey->access & KEY_SET_VALUE) == 0)
        throw kMessage;
    const std::string path = m_hKey->path;
    UpdateOrThrow(kMessage, [&](platform::RegistryData& data) {
        if (!Exists(data, path))
            return false; // removed since it was opened
        data.SetValue(path, {lpszValueName != nullptr ? lpszValueName : "", type, std::move(bytes)});
        return true;
    });
}
