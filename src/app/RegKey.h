#pragma once
// CRegKey: the registry key wrapper, over the registry store file (platform/RegistryStore.h).
//
// The wrapper keeps the Windows calling pattern: open or create a key below a parent key, read
// and write values through the held key, close on destruction. Every failure throws the plain
// text of its message (a const char*, not an exception object), e.g. "Error in CRegKey::Open";
// callers catch it by that type. The detail behind the last failure (the store file's path, the
// line that does not parse, the system error) is kept for messages: LastRegistryError().
//
// Values keep their type and raw bytes. Reads never look at the type: the text form hands back
// the stored bytes, the number form copies up to four of them into the variable.
#include <cstdint>
#include <memory>
#include <string>

namespace regkey {

// An open key: its full path and the access it was opened with.
struct Handle {
    std::string path;
    uint32_t access = 0;
};

// Access rights, with the values Windows gives them: a key opened for writing only cannot be
// read, one opened for querying only cannot be written.
inline constexpr uint32_t kQueryValue = 0x0001;
inline constexpr uint32_t kSetValue = 0x0002;
inline constexpr uint32_t kWrite = 0x20006;
inline constexpr uint32_t kAllAccess = 0xF003F;

} // namespace regkey

// The one root the program uses, always open.
extern const regkey::Handle* const HKEY_CURRENT_USER;

class CRegKey {
  public:
    CRegKey();
    ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Opens an existing key; throws "Error in CRegKey::Open".
    void Open(const regkey::Handle* hKeyParent, const char* lpszKeyName,
              uint32_t samDesired = regkey::kAllAccess);
    // Creates or opens the sub-key of the held key and stores the text there as a string value
    // with its terminating zero; throws "Error in CRegKey::SetKeyValue".
    void SetKeyValue(const char* lpszKeyName, const char* lpszValue,
                     const char* lpszValueName = nullptr);
    // Creates or opens a key with full access; throws "Error in CRegKey::Create".
    void Create(const regkey::Handle* hKeyParent, const char* lpszKeyName);
    // Copies the value's bytes into the buffer. *pdwCount holds the capacity on entry and the
    // value's size on return; a value larger than the capacity throws
    // "Error in CRegKey::QueryValue" (with *pdwCount set to the size needed).
    void QueryValue(char* szValue, const char* lpszValueName, uint32_t* pdwCount);
    // Copies a value of at most four bytes into the variable's first bytes; throws
    // "Error in CRegKey::QueryValue" when it is missing or larger.
    void QueryValue(uint32_t& dwValue, const char* lpszValueName);
    // Stores a 4-byte number value (REG_DWORD); throws "Error in CRegKey::SetValue".
    void SetValue(uint32_t dwValue, const char* lpszValueName);
    // Stores a string value with its terminating zero; throws "Error in CRegKey::SetValue".
    void SetValue(const char* lpszValue, const char* lpszValueName);

    void Close();
    operator const regkey::Handle*() const { return m_hKey.get(); }

  private:
    void StoreValue(const char* lpszValueName, uint32_t type, std::string bytes);

    std::unique_ptr<regkey::Handle> m_hKey; // null when no key is open
};

// Why the last registry operation of this thread failed, for messages; empty when it did not
// fail in the store itself (a missing key or value needs no detail).
const std::string& LastRegistryError();

// Without a scope, every CRegKey call reads the store file afresh (and every change takes the lock,
// reads, and writes). A large store makes that slow, and a run of calls could see the file change
// between them; so a run of calls that belongs together opens one of these scopes on its thread.
// A scope opened inside another stands in for it until it ends; a writing scope inside a
// reading one does not update what the reading one answers.
//
// RegistryReading: the store is read once, when the scope opens; CRegKey reads on this thread
// answer from that content. A change made meanwhile still goes to the file at once.
class RegistryReading {
  public:
    RegistryReading();
    ~RegistryReading();
    RegistryReading(const RegistryReading&) = delete;
    RegistryReading& operator=(const RegistryReading&) = delete;

    // Empty when the store was read; otherwise why not (the file's path and the line).
    const std::string& Error() const;

  private:
    struct RegistryView* m_view;
};

// RegistryWriting: the store's lock is taken and the content read once, when the scope opens;
// CRegKey calls on this thread read and change that content; Commit writes it once when anything
// changed. Without Commit nothing is written. The lock is held until Commit or the scope's end,
// so another writer never loses a value to this one.
class RegistryWriting {
  public:
    RegistryWriting();
    ~RegistryWriting();
    RegistryWriting(const RegistryWriting&) = delete;
    RegistryWriting& operator=(const RegistryWriting&) = delete;

    // Writes the changes; throws "Error in CRegKey::SetValue" (detail in LastRegistryError())
    // when they cannot be written.
    void Commit();

  private:
    struct RegistryView* m_view;
};
