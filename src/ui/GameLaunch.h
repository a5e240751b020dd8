#pragma once
// Starting giants.exe for Host or Join and waiting until the game has exited.
//
// The command line is built as a Windows program would receive it: the program path, then the
// arguments joined by single spaces without added quotes. On Linux the text after the program
// path is split by the Windows runtime's rules into the game's argument vector, and a Windows
// program is started through Wine.
#include <optional>
#include <string>
#include <vector>

class CKorvane;

namespace ui {

enum class LaunchMode { Host, Join };

struct LaunchRequest {
    LaunchMode mode = LaunchMode::Host;
    std::string address;           // Join only: the address exactly as typed
    bool joinButtonEnabled = true; // false when "-host" was on Korvane's command line
};

// g_strGiantsDir + "\giants.exe".
std::string GameProgramPath();
// Each argument 1..argc-1 in double quotes, each followed by one space.
std::string PassThroughText(int argc, char** argv);
// The whole command line: program path, g_strCmdLine, then the mode's arguments.
std::string GameCommandLine(const LaunchRequest& request, int argc, char** argv);

// The program to execute and its argument vector for a command line whose first `pathLength`
// characters are the program path. `resolvedProgram` is the path on disk. A Windows program
// ("MZ" at its start) runs through the launcher in force (app/GameRunner.h); when that cannot be
// found, `error` is the message that names it and the fix.
struct GameCommand {
    std::string program;
    std::vector<std::string> argv;
    std::vector<std::string> environment; // "NAME=value" for the game only
};
std::optional<GameCommand> BuildGameCommand(const std::string& resolvedProgram,
                                            const std::string& commandLine, size_t pathLength,
                                            std::string& error);

// Enters the game directory, starts the game, waits for it. False only when the game directory
// could not be entered (after its message; in join mode the game is restored first). A game
// that cannot be started or ends with a non-zero status gives the spawn message and true.
bool LaunchGiants(const LaunchRequest& request, CKorvane& korvane);

} // namespace ui
