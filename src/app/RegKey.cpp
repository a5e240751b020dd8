#include "app/RegKey.h"

#include <cstring>
#include <functional>

#include "platform/RegistryStore.h"

namespace {

const regkey::Handle kCurrentUser{"HKEY_CURRENT_USER", regkey::kAllAccess};

thread_local std::string t_lastError;

platform::RegistryStore Store() {
    return platform::RegistryStore(platform::DefaultRegistryPath());
}

} // namespace

// The content that a scope read once, shared by the CRegKey calls of its thread.
struct RegistryView {
    std::optional<platform::RegistryStore> store;
    std::optional<platform::RegistryWrite> write; // set for a writing scope
    platform::RegistryData data;
    std::string error; // why the content could not be read; then `data` is not used
    bool changed = false;
    RegistryView* outer = nullptr; // the scope this one stands in for until it ends
};

namespace {

thread_local RegistryView* t_view = nullptr;

// The full path of a sub-key, or empty when the parent is not open or the name is not valid.
std::string SubKeyPath(const regkey::Handle* parent, const char* name) {
    if (parent == nullptr)
        return {};
    std::string path = parent->path;
    if (name != nullptr && *name != '\0')
        path += std::string("\\") + name;
    return platform::CanonicalKeyPath(path);
}

bool IsRoot(const std::string& path) {
    return path.find('\\') == std::string::npos;
}

bool Exists(const platform::RegistryData& data, const std::string& path) {
    return IsRoot(path) || data.KeyExists(path);
}

// The store's content for one read: the scope's, or else read now. On failure keeps the reason
// and throws the caller's message.
class Content {
  public:
    explicit Content(const char* message) {
        if (t_view != nullptr) {
            if (!t_view->error.empty())
                Fail(t_view->error, message);
            m_data = &t_view->data;
            return;
        }
        platform::RegistryLoad load = Store().Load();
        if (!load.data)
            Fail(load.error, message);
        m_own = std::move(*load.data);
        m_data = &*m_own;
    }
    const platform::RegistryData& operator*() const { return *m_data; }
    const platform::RegistryData* operator->() const { return m_data; }

  private:
    [[noreturn]] static void Fail(const std::string& error, const char* message) {
        t_lastError = error;
        throw message;
    }

    std::optional<platform::RegistryData> m_own;
    const platform::RegistryData* m_data = nullptr;
};

// Runs one change: on the writing scope's content, or else under the store's lock on the file.
// `change` returns false when it changes nothing; with `Required::Yes` that is a failure (nothing
// is written and the message is thrown).
enum class Required { Yes, No };

void Change(const char* message, Required required,
            const std::function<bool(platform::RegistryData&)>& change) {
    bool applied = false;
    if (t_view != nullptr && t_view->write) {
        if (!t_view->error.empty()) {
            t_lastError = t_view->error;
            throw message;
        }
        applied = change(t_view->data);
        t_view->changed = t_view->changed || applied;
    } else {
        const std::optional<std::string> error = Store().Update([&](platform::RegistryData& data) {
            applied = change(data);
            return applied;
        });
        if (error) {
            t_lastError = *error;
            throw message;
        }
        // A reading scope goes on answering with what the file now holds.
        if (applied && t_view != nullptr && t_view->error.empty())
            change(t_view->data);
    }
    if (!applied && required == Required::Yes)
        throw message;
}

std::string WithZero(const char* text) {
    std::string bytes = text != nullptr ? text : "";
    bytes += '\0';
    return bytes;
}

} // namespace

const regkey::Handle* const HKEY_CURRENT_USER = &kCurrentUser;

const std::string& LastRegistryError() {
    return t_lastError;
}

CRegKey::CRegKey() = default;

CRegKey::~CRegKey() = default;

void CRegKey::Close() {
    m_hKey.reset();
}

void CRegKey::Open(const regkey::Handle* hKeyParent, const char* lpszKeyName, uint32_t samDesired) {
    constexpr const char* kMessage = "Error in CRegKey::Open";
    t_lastError.clear();
    const std::string path = SubKeyPath(hKeyParent, lpszKeyName);
    if (path.empty())
        throw kMessage;
    if (!Exists(*Content(kMessage), path))
        throw kMessage;
    m_hKey = std::make_unique<regkey::Handle>(regkey::Handle{path, samDesired});
}

void CRegKey::SetKeyValue(const char* lpszKeyName, const char* lpszValue,
                          const char* lpszValueName) {
    constexpr const char* kMessage = "Error in CRegKey::SetKeyValue";
    t_lastError.clear();
    const std::string path = SubKeyPath(m_hKey.get(), lpszKeyName);
    if (path.empty() || IsRoot(path))
        throw kMessage;
    const std::string held = m_hKey->path;
    Change(kMessage, Required::Yes, [&](platform::RegistryData& data) {
        if (!Exists(data, held))
            return false;
        data.SetValue(path, {lpszValueName != nullptr ? lpszValueName : "", platform::kRegSz,
                             WithZero(lpszValue)});
        return true;
    });
}

void CRegKey::Create(const regkey::Handle* hKeyParent, const char* lpszKeyName) {
    constexpr const char* kMessage = "Error in CRegKey::Create";
    t_lastError.clear();
    const std::string path = SubKeyPath(hKeyParent, lpszKeyName);
    if (path.empty())
        throw kMessage;
    if (!IsRoot(path)) {
        Change(kMessage, Required::No, [&](platform::RegistryData& data) {
            if (data.KeyExists(path))
                return false;
            data.CreateKey(path);
            return true;
        });
    }
    m_hKey = std::make_unique<regkey::Handle>(regkey::Handle{path, regkey::kAllAccess});
}

void CRegKey::QueryValue(char* szValue, const char* lpszValueName, uint32_t* pdwCount) {
    constexpr const char* kMessage = "Error in CRegKey::QueryValue";
    t_lastError.clear();
    if (!m_hKey || pdwCount == nullptr || (m_hKey->access & regkey::kQueryValue) == 0)
        throw kMessage;
    const Content data(kMessage);
    const platform::RegistryValue* value =
        data->FindValue(m_hKey->path, lpszValueName != nullptr ? lpszValueName : "");
    if (value == nullptr)
        throw kMessage;
    const size_t size = value->bytes.size();
    const size_t capacity = *pdwCount;
    *pdwCount = static_cast<uint32_t>(size);
    if (szValue == nullptr)
        return; // a size enquiry
    if (size > capacity)
        throw kMessage;
    // The value's bytes as Windows hands them over, a string's terminator among them when it
    // was stored with one; nothing is added.
    std::memcpy(szValue, value->bytes.data(), size); // NOLINT(bugprone-not-null-terminated-result)
}

void CRegKey::QueryValue(uint32_t& dwValue, const char* lpszValueName) {
    // Windows fills the variable with as many bytes as the value holds, whatever its type, and
    // leaves the rest of it as it was; a two-byte string therefore changes only the low bytes.
    char bytes[sizeof(uint32_t)];
    uint32_t size = sizeof bytes;
    QueryValue(bytes, lpszValueName, &size);
    std::memcpy(&dwValue, bytes, size);
}

void CRegKey::SetValue(uint32_t dwValue, const char* lpszValueName) {
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((dwValue >> shift) & 0xFF);
    StoreValue(lpszValueName, platform::kRegDword, std::move(bytes));
}

void CRegKey::SetValue(const char* lpszValue, const char* lpszValueName) {
    StoreValue(lpszValueName, platform::kRegSz, WithZero(lpszValue));
}

void CRegKey::StoreValue(const char* lpszValueName, uint32_t type, std::string bytes) {
    constexpr const char* kMessage = "Error in CRegKey::SetValue";
    t_lastError.clear();
    if (!m_hKey || (m_hKey->access & regkey::kSetValue) == 0)
        throw kMessage;
    const std::string path = m_hKey->path;
    Change(kMessage, Required::Yes, [&](platform::RegistryData& data) {
        if (!Exists(data, path))
            return false; // removed since it was opened
        data.SetValue(path, {lpszValueName != nullptr ? lpszValueName : "", type, bytes});
        return true;
    });
}

RegistryReading::RegistryReading() : m_view(new RegistryView) {
    platform::RegistryLoad load = Store().Load();
    if (load.data)
        m_view->data = std::move(*load.data);
    else
        m_view->error = load.error.empty() ? "the settings could not be read" : load.error;
    m_view->outer = t_view;
    t_view = m_view;
}

RegistryReading::~RegistryReading() {
    if (t_view == m_view)
        t_view = m_view->outer;
    delete m_view;
}

const std::string& RegistryReading::Error() const {
    return m_view->error;
}

RegistryWriting::RegistryWriting() : m_view(new RegistryView) {
    m_view->store.emplace(platform::DefaultRegistryPath());
    m_view->write.emplace(*m_view->store);
    if (const std::optional<std::string> error = m_view->write->Begin())
        m_view->error = error->empty() ? "the settings could not be read" : *error;
    else
        m_view->data = std::move(m_view->write->Data());
    m_view->outer = t_view;
    t_view = m_view;
}

RegistryWriting::~RegistryWriting() {
    if (t_view == m_view)
        t_view = m_view->outer;
    delete m_view; // releases the lock without writing when Commit did not run
}

void RegistryWriting::Commit() {
    if (!m_view->error.empty() || !m_view->changed)
        return;
    m_view->write->Data() = std::move(m_view->data);
    m_view->changed = false;
    // The content has gone to the file; later calls of this thread read the file again.
    m_view->error = "the settings were written already";
    if (t_view == m_view)
        t_view = m_view->outer;
    if (const std::optional<std::string> error = m_view->write->Commit()) {
        t_lastError = *error;
        throw "Error in CRegKey::SetValue";
    }
}
