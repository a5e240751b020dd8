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

void RemoveOneTrailingBackslash(std::string& path)
{
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
}

} // namespace

std::string QueryString(const char* subKey, const char* valueName)
{
    try {
        CRegKey key;
        key.Open(HKEY_CURRENT_USER, subKey, KEY_QUERY_VALUE);
        char buffer[kStringBufferSize] = {};
        uint32_t size = sizeof buffer;
        key.QueryValue(buffer, valueName, &size);
        // A value stored without its terminating zero ends where its bytes end.
        return std::string(buffer, strnlen(buffer, size));
    } catch (const char*) {
        return {};
    }
}

bool GetRegistryItems()
{
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

    g_strGiantsDir = QueryString(kGiantsKey, "DestDir");
    if (g_strGiantsDir.empty()) {
        platform::ShowMessage("Error - Giants : Citizen Kabuto was not found on your system.",
                              platform::kErrorCaption);
        return false;
    }
    RemoveOneTrailingBackslash(g_strGiantsDir);

    g_strKorvaneDir = QueryString(kKrvKey, "DestDir");
    if (g_strKorvaneDir.empty()) {
        platform::ShowMessage("Error - Korvane is not installed correctly. Please reinstall.",
                              platform::kErrorCaption);
        return false;
    }
    RemoveOneTrailingBackslash(g_strKorvaneDir);

    g_strCmdLine = QueryString(kKrvKey, "CMDLine");

    CRegKey key;
    try {
        key.Open(HKEY_CURRENT_USER, kKrvKey, KEY_QUERY_VALUE);
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
