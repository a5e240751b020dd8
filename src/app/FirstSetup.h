#pragma once
// The first start: whether Korvane's two folders are usable, the one message that names what is
// wrong with them, and storing what the setup dialog chose.
//
// Order of use at start: CheckFolders(); without arguments and with a folder not Good, the setup
// dialog runs and ends in ApplySetup(); then GetRegistryItems(), which refuses a value that is not
// a full Linux path (a Windows path among them) with a message naming it, and, for a folder that
// is set but missing, FolderProblemMessage() instead of the errors that would follow later.
#include <optional>
#include <string>

#include "app/InstallationScan.h"

namespace app {

enum class FolderState { Good, Unset, WindowsPath, Missing };

struct FolderCheck {
    std::string gameDir; // as stored, without one trailing backslash
    std::string ownDir;
    FolderState game = FolderState::Unset;
    FolderState own = FolderState::Unset;
    bool storeReadable = true; // false: the store file does not parse, setup cannot write it

    bool Good() const { return game == FolderState::Good && own == FolderState::Good; }
};

FolderCheck CheckFolders();

// The message for a folder that is set but missing or a Windows path: the value, the folder and
// the fix. Nothing when both folders are good or merely unset (their own messages stay).
std::optional<std::string> FolderProblemMessage(const FolderCheck& check);

// The stored Launcher and WinePrefix values ("" when there is none).
std::string LauncherSetting();
std::string WinePrefixSetting();

// $XDG_DATA_HOME/korvane (~/.local/share/korvane).
std::string DefaultOwnFolder();

struct SetupChoice {
    std::string gameDir;
    std::string ownDir;
    std::string launcher;                 // "" for wine on the PATH
    std::optional<FoundKorvane> takeOver; // a Windows Korvane whose files and settings to copy
    std::string prefix;                   // the prefix the game runs in, "" for none
};

// Creates the own folder with Modpacks; copies a Windows Korvane's Master.abx, world lists,
// modpacks and settings when taking over (never moving or overwriting anything), else the game's
// bin/worldlist.bin as both world lists; then stores both folders, the launcher and, for a game
// that does not lie in the prefix it runs in, that prefix. Returns the error for the player, or
// nothing when all went well.
std::optional<std::string> ApplySetup(const SetupChoice& choice);

} // namespace app
