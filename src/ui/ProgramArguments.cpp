#include "ui/ProgramArguments.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Seam.h"

namespace ui {

namespace {

constinit platform::Seam<ProgramArguments> g_arguments{ProgramArguments{}};

} // namespace

ProgramArguments SetProgramArguments(ProgramArguments arguments) {
    return g_arguments.Exchange(arguments);
}

int ArgCount() {
    return g_arguments.Get().count;
}

char** ArgVector() {
    return g_arguments.Get().vector;
}

void EndProcess(int status) {
    std::fflush(nullptr);
    std::exit(status);
}

} // namespace ui
