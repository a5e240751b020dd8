// korvane-reg: see app/RegCommand.h.
#include <unistd.h>

#include <iostream>

#include "app/RegCommand.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
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
