// korvane-reg: see app/RegCommand.h.
#include <unistd.h>

#include <iostream>

#include "app/RegCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Only as the sole argument: anywhere else "--version" may be data being stored (/d).
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "korvane-reg " KORVANE_VERSION "\n";
        return 0;
    }
    RegConsole console{std::cout, std::cerr, nullptr};
    if (::isatty(STDIN_FILENO)) {
        console.confirm = [](const std::string& question) {
            std::cout << question << " " << std::flush;
            std::string answer;
            return std::getline(std::cin, answer) && !answer.empty() &&
                   (answer[0] == 'y' || answer[0] == 'Y');
        };
    }
    return RunRegCommand(args, console);
}
