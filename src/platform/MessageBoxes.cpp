#include "platform/MessageBoxes.h"

#include <cstdio>

#include "platform/Seam.h"

namespace platform {

namespace {

// Constant-initialised, so that messages shown by other program-wide objects while they are
// being constructed (the run log refuses a second instance that way) already find a box.
constinit ConsoleMessageBoxes g_console;
constinit Seam<MessageBoxes*> g_installed{nullptr};

} // namespace

void ConsoleMessageBoxes::Show(const Message& message) {
    // One write per message, so that lines from two threads never interleave.
    const std::string line = message.caption + ": " + message.text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

MessageBoxes& Messages() {
    MessageBoxes* installed = g_installed.Get();
    return installed != nullptr ? *installed : g_console;
}

MessageBoxes* SetMessageBoxes(MessageBoxes* boxes) {
    return g_installed.Exchange(boxes);
}

void ShowMessage(const std::string& text, const std::string& caption, Owner owner) {
    Messages().Show(Message{text, caption, owner});
}

void ShowError(const std::string& text) {
    ShowMessage(text, kErrorCaption);
}

} // namespace platform
