#include "app/Settings.h"

#include <cstring>

#include "app/RegKey.h"
#include "app/RunLog.h"

std::string g_strGiantsDir;
std::string g_strKorvaneDir;
std::string g_strCmdLine;
uint32_t g_nSecondsToJoin = 0;
uint32_t g_bAutoJoin = 0;

namespace {

constexpr const char* kGiantsKey = "Software\\PlanetMoon\\Giants";
constexpr const char* kKrvKey = "Software\\KRV";
constexpr uint32_t kMaxSecondsToJoin = 60;
constexpr uint32_t kDefaultSecondsToJoin = 5;
constexpr uint32_t kStringBufferSize = 1024;

void RemoveOneTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
}

// Reads one directory setting into `variable`, without its one trailing backslash. A missing
// one shows `missingMessage`; one that is not a full path shows a message naming the value. In
// both cases the variable keeps what it held, so that an Options dialog reopened after the value
// went wrong never leaves the engine working at the file system root or in whatever directory it
// last changed to.
bool ReadDirectory(const char* key, std::string& variable, const char* missingMessage) {
    std::string directory = QueryString(key, "DestDir");
    if (directory.empty()) {
        platform::ShowMessage(missingMessage, platform::kErrorCaption);
        return false;
    }
    if (!IsFullFolderPath(directory)) {
        platform::ShowMessage(
            std::string("Error - DestDir of HKEY_CURRENT_USER\\") + key + " is \"" + directory +
                "\", which is not the full path of a folder.\nSet it to the folder's full "
                "Linux path: start Korvane without arguments to choose it in the setup dialog, "
                "or set the value with korvane-reg add.",
            platform::kErrorCaption);
        return false;
    }
    RemoveOneTrailingBackslash(directory);
    variable = directory;
    return true;
}

} // namespace

bool IsFullFolderPath(std::string_view directory) {
    if (!directory.empty() && directory.back() == '\\')
        directory.remove_suffix(1);
    const bool absolute =
        !directory.empty() && (directory.front() == '/' || directory.front() == '\\');
    return absolute && directory.find_first_not_of("/\\") != std::string_view::npos;
}

std::string QueryString(const char* subKey, const char* valueName) {
    try {
        CRegKey key;
        key.Open(HKEY_CURRENT_USER, subKey, regkey::kQueryValue);
        char buffer[kStringBufferSize] = {};
        uint32_t size = sizeof buffer;
        key.QueryValue(buffer, valueName, &size);
        // A value stored without its terminating zero ends where its bytes end.
        return std::string(buffer, strnlen(buffer, size));
    } catch (const char*) {
        return {};
    }
}

bool GetRegistryItems() {
    Log("GetRegistryItems()");

    // One read of the store for every value below, however large the file.
    const RegistryReading reading;
    // A store file that does not parse would otherwise look like a missing installation; the
    // player needs to hear which line to fix instead.
    if (!reading.Error().empty()) {
        platform::ShowMessage("Error - the settings could not be read.\n" + reading.Error(),
                              platform::kErrorCaption);
        return false;
    }

    if (!ReadDirectory(kGiantsKey, g_strGiantsDir,
                       "Error - Giants : Citizen Kabuto was not found on your system."))
        return false;
    if (!ReadDirectory(kKrvKey, g_strKorvaneDir,
                       "Error - Korvane is not installed correctly. Please reinstall."))
        return false;

    g_strCmdLine = QueryString(kKrvKey, "CMDLine");

    CRegKey key;
    try {
        key.Open(HKEY_CURRENT_USER, kKrvKey, regkey::kQueryValue);
    } catch (const char*) {
        // The key was read a moment ago; if another program removed it since, the numbers take
        // their defaults like missing values do.
        g_nSecondsToJoin = kDefaultSecondsToJoin;
        g_bAutoJoin = 0;
        return true;
    }
    try {
        key.QueryValue(g_nSecondsToJoin, "SecondsToJoin");
    } catch (const char*) {
        g_nSecondsToJoin = kDefaultSecondsToJoin;
    }
    if (g_nSecondsToJoin > kMaxSecondsToJoin)
        g_nSecondsToJoin = kMaxSecondsToJoin;
    try {
        key.QueryValue(g_bAutoJoin, "AutoJoin");
    } catch (const char*) {
        g_bAutoJoin = 0;
    }
    key.Close();
    return true;
}
