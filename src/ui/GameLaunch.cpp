#include "ui/GameLaunch.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "app/FirstSetup.h"
#include "app/GameRunner.h"
#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/Korvane.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"
#include "platform/Process.h"
#include "platform/WindowsCommandLine.h"
#include "ui/InputBlocker.h"
#include "ui/ProgramArguments.h"

namespace ui {

namespace {

constexpr const char* kSpawnError =
    "Error spawning Giants\nIf Giants did not start, check that it is installed properly.\nIf "
    "Giants did start, it did not exit properly.";

bool IsWindowsProgram(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char magic[2] = {};
    return file.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

std::optional<platform::ExitStatus> StartAndWait(const GameCommand& command, std::string& error) {
    std::optional<platform::ChildProcess> child =
        platform::ChildProcess::Start(command.program, command.argv, command.environment, error);
    if (!child)
        return std::nullopt;
    if (QCoreApplication::instance() == nullptr)
        return child->Wait();
    InputBlocker blocker;
    for (;;) {
        if (std::optional<platform::ExitStatus> status =
                child->WaitFor(std::chrono::milliseconds(50)))
            return status;
        QCoreApplication::processEvents();
    }
}

} // namespace

std::string GameProgramPath() {
    return g_strGiantsDir + "\\giants.exe";
}

std::string PassThroughText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i)
        text += std::string("\"") + argv[i] + "\" ";
    return text;
}

std::string GameCommandLine(const LaunchRequest& request, int argc, char** argv) {
    std::vector<std::string> arguments{g_strCmdLine};
    const bool automated = argc > 1;
    if (request.mode == LaunchMode::Host) {
        if (request.joinButtonEnabled)
            arguments.push_back("-host");
        else
            arguments.push_back(PassThroughText(argc, argv));
    } else if (!automated) {
        arguments.push_back("-join");
        arguments.push_back(request.address);
    } else {
        arguments.push_back(PassThroughText(argc, argv));
    }
    std::string line = GameProgramPath();
    for (const std::string& argument : arguments)
        line += " " + argument;
    return line;
}

std::optional<GameCommand> BuildGameCommand(const std::string& resolvedProgram,
                                            const std::string& commandLine, size_t pathLength,
                                            std::string& error) {
    GameCommand command;
    if (IsWindowsProgram(resolvedProgram)) {
        std::optional<app::RunnerChoice> runner =
            app::ChooseRunner(app::LauncherInForce(app::LauncherSetting()), resolvedProgram, error,
                              app::WinePrefixSetting());
        if (!runner)
            return std::nullopt;
        command.program = std::move(runner->program);
        command.argv = std::move(runner->argv);
        command.environment = std::move(runner->environment);
    } else {
        command.program = resolvedProgram;
        command.argv = {resolvedProgram};
    }
    for (std::string& argument :
         platform::SplitWindowsCommandLine(std::string_view(commandLine).substr(pathLength)))
        command.argv.push_back(std::move(argument));
    return command;
}

bool LaunchGiants(const LaunchRequest& request, CKorvane& korvane) {
    const std::string programPath = GameProgramPath();
    if (request.mode == LaunchMode::Host)
        Log("Spawning giants");
    if (!platform::Files().SetCurrentDirectory(g_strGiantsDir)) {
        if (request.mode == LaunchMode::Join)
            korvane.RestoreGiants();
        platform::ShowMessage("Error changing to Giants directory", platform::kErrorCaption,
                              platform::Owner::MainDialog);
        return false;
    }

    const std::string commandLine = GameCommandLine(request, ArgCount(), ArgVector());
    std::string error;
    std::optional<platform::ExitStatus> status;
    std::optional<GameCommand> command = BuildGameCommand(platform::ResolvePath(programPath),
                                                          commandLine, programPath.size(), error);
    if (!command) {
        // The launcher is missing: the player needs its name and the fix, not the spawn text.
        platform::ShowMessage(error, platform::kErrorCaption, platform::Owner::MainDialog);
        return true;
    }
    status = StartAndWait(*command, error);
    if (!status || !status->Succeeded()) {
        if (!error.empty())
            std::fprintf(stderr, "Korvane: %s\n", error.c_str());
        platform::ShowMessage(kSpawnError, platform::kAppTitle, platform::Owner::MainDialog);
    }
    return true;
}

} // namespace ui
