#include "app/RegKey.h"
#include "app/Settings.h"

KrvSetting KrvSetting::Dword(std::string name, uint32_t value) {
    KrvSetting setting;
    setting.name = std::move(name);
    setting.isNumber = true;
    setting.number = value;
    return setting;
}

KrvSetting KrvSetting::Text(std::string name, std::string value) {
    KrvSetting setting;
    setting.name = std::move(name);
    setting.text = std::move(value);
    return setting;
}

namespace {

void ShowWriteError(const char* thrown, platform::Owner owner, const std::string& caption) {
    std::string text = std::string("Could not write to KRV registry\n") + thrown;
    // The store's own reason (a line that does not parse, a full disk) tells the player what to
    // fix; a plain missing key has none.
    if (!LastRegistryError().empty())
        text += "\n" + LastRegistryError();
    platform::ShowMessage(text, caption, owner);
}

} // namespace

bool WriteKrvSettings(std::initializer_list<KrvSetting> values, platform::Owner owner,
                      const std::string& caption) {
    // One lock, one read and one write for all the values, however large the store.
    RegistryWriting writing;
    CRegKey key;
    try {
        key.Open(HKEY_CURRENT_USER, "Software\\KRV", regkey::kWrite);
        for (const KrvSetting& value : values) {
            if (value.isNumber)
                key.SetValue(value.number, value.name.c_str());
            else
                key.SetValue(value.text.c_str(), value.name.c_str());
        }
        writing.Commit();
    } catch (const char* thrown) {
        ShowWriteError(thrown, owner, caption);
        return false;
    }
    key.Close();
    return true;
}

bool StoreKrvDword(const std::string& name, uint32_t value, platform::Owner owner,
                   const std::string& caption) {
    return WriteKrvSettings({KrvSetting::Dword(name, value)}, owner, caption);
}
