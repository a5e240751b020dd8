#pragma once
// The process's own argument vector, exactly as main() received it. The run log and the switch
// reader empty the switches they consume in place (first character set to the terminating zero);
// the count never changes, so a run started with any argument stays an automated run.
namespace ui {

struct ProgramArguments {
    int count = 0;
    char** vector = nullptr;
};
// Set by main() once; a test that plays a start without switches sets its own for a scope. Returns
// the arguments in force before, so that a scoped override can put them back.
ProgramArguments SetProgramArguments(ProgramArguments arguments);
int ArgCount();
char** ArgVector();

// Automation mode: the run was started with at least one argument, even one emptied since.
inline bool IsAutomated() {
    return ArgCount() > 1;
}

// Ends the process at once with the status. Used where an automated run is over.
[[noreturn]] void EndProcess(int status);

} // namespace ui
