// Korvane's entry point. The order of construction matters: see ui/KorvaneApp.h.
#include <QApplication>
#include <csignal>
#include <iostream>

#include "app/RunLog.h"
#include "ui/InfoSwitches.h"
#include "ui/KorvaneApp.h"
#include "ui/ProgramArguments.h"
#include "ui/QtMessageBoxes.h"

// For builds with the leak checker: fontconfig (Qt's text layout) and D-Bus (the desktop
// platform's accessibility bridge) keep caches until the process ends.
// The leak checker looks these hooks up by their reserved names.
extern "C" const char* __lsan_default_suppressions() { // NOLINT(bugprone-reserved-identifier)
    return "leak:libfontconfig\nleak:libdbus-1\n";
}
extern "C" const char* __lsan_default_options() { // NOLINT(bugprone-reserved-identifier)
    return "print_suppressions=0";
}

int main(int argc, char** argv) {
    if (const auto status = ui::AnswerInfoSwitch(argc > 1 ? argv[1] : nullptr, std::cout))
        return *status;
    // A peer that goes away mid-transfer must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    static QtMessageBoxes boxes;
    platform::SetMessageBoxes(&boxes);
    ui::SetProgramArguments({argc, argv});
    CRunLog runLog(argc, argv);

    // Qt gets a list of its own with only the program name; the real one stays untouched.
    static char name[] = "korvane";
    static char* qtArgv[] = {name, nullptr};
    static int qtArgc = 1;
    QApplication application(qtArgc, qtArgv);
    QApplication::setApplicationName("Korvane");
    QApplication::setDesktopFileName("korvane");

    CKorvaneApp app;
    app.InitInstance();
    platform::SetMessageBoxes(nullptr);
    return 0;
}
