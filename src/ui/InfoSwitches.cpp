#include "ui/InfoSwitches.h"

#include <cstring>

namespace ui {

namespace {

constexpr const char* kHelp =
    "Usage: korvane [SWITCH...]\n"
    "Korvane installs, hosts and joins modpacks of Giants: Citizen Kabuto.\n"
    "\n"
    "Without switches Korvane shows its main window. Started with any switch it runs once:\n"
    "it ends after the game, or at the first failure on the way to it.\n"
    "\n"
    "  -join ADDRESS            check the host at ADDRESS for a modpack and join its game\n"
    "  -name NAME               no effect in Korvane; passed on to the game\n"
    "  -host                    pass these arguments to the game when hosting; disables Join\n"
    "  -krv_selectgck NAME.gck  select that modpack of the Modpacks folder\n"
    "  -krv_autohost            host at once with the selected modpack\n"
    "  -krvdebug                write a trace to KRVRun.log in Korvane's own folder\n"
    "  --help                   show this help and end\n"
    "  --version                show the version and end\n"
    "\n"
    "Switches are compared byte for byte: \"-HOST\" is not \"-host\".\n"
    "\n"
    "Settings: the file named by $KORVANE_REGISTRY, or else\n"
    "$XDG_CONFIG_HOME/korvane/registry.reg (~/.config/korvane/registry.reg); set the game's\n"
    "folder and Korvane's own with korvane-reg. A Windows giants.exe is started through wine,\n"
    "or through the launcher named by $KORVANE_WINE. See korvane(1) and korvane-reg(1).\n";

} // namespace

std::optional<int> AnswerInfoSwitch(const char* firstArgument, std::ostream& out) {
    if (firstArgument == nullptr)
        return std::nullopt;
    if (std::strcmp(firstArgument, "--version") == 0) {
        out << "korvane " KORVANE_VERSION "\n";
        return 0;
    }
    if (std::strcmp(firstArgument, "--help") == 0) {
        out << kHelp;
        return 0;
    }
    return std::nullopt;
}

} // namespace ui
