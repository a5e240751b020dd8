#pragma once
// The program-wide settings, loaded from the registry store by GetRegistryItems().
// Every other part of the program reads these variables, never the store.
#include <cstdint>
#include <string>

extern std::string g_strGiantsDir;   // game directory, no trailing backslash
extern std::string g_strKorvaneDir;  // own directory, no trailing backslash once loaded
extern std::string g_strCmdLine;     // extra parameters put before the game's own arguments
extern uint32_t g_nSecondsToJoin;    // auto-join countdown, at most 60
extern uint32_t g_bAutoJoin;         // non-zero: auto-join on

// Loads the five settings; shows its own message and returns false when a directory is missing.
bool GetRegistryItems();
