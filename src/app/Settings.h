#pragma once
// The program-wide settings, loaded from the registry store by GetRegistryItems().
// Every other part of the program reads these variables, never the store.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/MessageBoxes.h"

extern std::string g_strGiantsDir;  // game directory, no trailing backslash
extern std::string g_strKorvaneDir; // own directory, no trailing backslash once loaded
extern std::string g_strCmdLine;    // extra parameters put before the game's own arguments
extern uint32_t g_nSecondsToJoin;   // auto-join countdown, at most 60
extern uint32_t g_bAutoJoin;        // non-zero: auto-join on

// Loads the five settings; shows its own message and returns false when a directory is missing.
bool GetRegistryItems();

// True when a directory setting, its one trailing backslash removed, names a folder by its full
// path ("/home/me/korvane"; a backslash counts as a slash): the engine changes the current
// directory freely, so a relative one would mean another folder at every step, and neither an
// empty one nor the file system root may stand for Korvane's or the game's folder.
bool IsFullFolderPath(std::string_view directory);

// The text of a value under HKEY_CURRENT_USER, read through a 1024-byte buffer; empty when the
// key or value is missing or the value does not fit. Shows nothing.
std::string QueryString(const char* subKey, const char* valueName);

// One value for WriteKrvSettings: a 4-byte number (REG_DWORD) or a string.
struct KrvSetting {
    static KrvSetting Dword(std::string name, uint32_t value);
    static KrvSetting Text(std::string name, std::string value);

    std::string name;
    bool isNumber = false;
    uint32_t number = 0;
    std::string text;
};

// Stores the values, in order, under "Software\KRV", which must exist (it is opened for writing,
// never created). When it cannot be opened, or a value cannot be stored, shows
// "Could not write to KRV registry\n" followed by the error text, with the given owner and
// caption, and returns false. Used by the Options dialog and the host-check dialog.
bool WriteKrvSettings(std::initializer_list<KrvSetting> values, platform::Owner owner,
                      const std::string& caption = platform::kAppTitle);
bool StoreKrvDword(const std::string& name, uint32_t value, platform::Owner owner,
                   const std::string& caption = platform::kAppTitle);
