#include "ui/ProgramArguments.h"

#include <cstdio>
#include <cstdlib>

namespace ui {

namespace {

int g_argc = 0;
char** g_argv = nullptr;

} // namespace

void SetProgramArguments(int argc, char** argv) {
    g_argc = argc;
    g_argv = argv;
}

int ArgCount() {
    return g_argc;
}

char** ArgVector() {
    return g_argv;
}

void EndProcess(int status) {
    std::fflush(nullptr);
    std::exit(status);
}

} // namespace ui
