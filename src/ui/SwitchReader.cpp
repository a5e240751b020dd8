// The command-line switches, read as the last step of the main dialog's initialisation. Switches
// compare whole and byte for byte; a value after a switch is itself compared at the next index.
#include <QLineEdit>
#include <QPushButton>
#include <cstring>

#include "platform/MessageBoxes.h"
#include "ui/KorvaneDlg.h"
#include "ui/ProgramArguments.h"

namespace {

void Empty(char* argument) {
    argument[0] = '\0';
}

} // namespace

void CKorvaneDlg::ReadSwitches() {
    const int argc = ui::ArgCount();
    char** argv = ui::ArgVector();
    if (argc <= 1)
        return;

    bool joinRequested = false;
    bool autoHostRequested = false;
    bool selectionError = false;
    for (int i = 1; i < argc; ++i) {
        char* argument = argv[i];
        const bool hasNext = i + 1 < argc;
        if (std::strcmp(argument, "-join") == 0) {
            joinRequested = true;
            m_joinAddress->setText(hasNext ? QString::fromLocal8Bit(argv[i + 1]) : QString());
        } else if (std::strcmp(argument, "-name") == 0) {
            // Meant for the game; it reaches it through the pass-through arguments.
        } else if (std::strcmp(argument, "-host") == 0) {
            m_joinButton->setEnabled(false);
        } else if (std::strcmp(argument, "-krv_selectgck") == 0) {
            Empty(argument);
            if (!hasNext) {
                platform::ShowMessage("No GCK file was specified with -krv_selectgck switch",
                                      platform::kErrorCaption, platform::Owner::MainDialog);
                selectionError = true;
                continue;
            }
            char* value = argv[i + 1];
            const std::string full = value;
            const std::string name = full.size() > 4 ? full.substr(0, full.size() - 4) : "";
            // An empty name matches no entry: entry 0 never has an empty text.
            const int entry = name.empty() ? -1 : FindEntry(name);
            if (entry < 0) {
                platform::ShowMessage("\"" + full + "\" is not in list", platform::kErrorCaption,
                                      platform::Owner::MainDialog);
                selectionError = true;
            } else {
                SelectEntry(entry);
            }
            Empty(value);
        } else if (std::strcmp(argument, "-krv_autohost") == 0) {
            Empty(argument);
            autoHostRequested = true;
        }
    }

    if (autoHostRequested && !selectionError)
        OnHost();
    else if (joinRequested)
        OnJoin();
}
