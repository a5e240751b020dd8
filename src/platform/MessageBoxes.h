#pragma once
// The one way the core talks to the player: modal message boxes with an OK button.
//
// Core code never includes a toolkit. It calls ShowMessage(); the front end installs an
// implementation that shows a real box (Qt), the console build prints to standard error, and
// tests install a recording fake. The call returns once the player has dismissed the box.
#include <string>

namespace platform {

inline constexpr const char* kErrorCaption = "KRV Error";
inline constexpr const char* kWarningCaption = "KRV Warning";
// The application's own title, used by the few messages that carry it.
inline constexpr const char* kAppTitle = "Korvane";

// Which window a box belongs to. Most have none; a few belong to the main dialog, and the
// host-check dialog owns the one message it shows itself.
enum class Owner { None, MainDialog, ActiveDialog };

struct Message {
    std::string text;
    std::string caption;
    Owner owner = Owner::None;
};

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void Show(const Message& message) = 0;
};

// Writes "caption: text" to standard error. The default until a front end installs its own.
class ConsoleMessageBoxes final : public MessageBoxes {
  public:
    void Show(const Message& message) override;
};

// The implementation in force. Never null: falls back to a ConsoleMessageBoxes.
MessageBoxes& Messages();
// Installs an implementation (not owned); nullptr returns to the console one. Returns the one
// installed before (nullptr for the console), so that a scoped installer can put it back.
MessageBoxes* SetMessageBoxes(MessageBoxes* boxes);

void ShowMessage(const std::string& text, const std::string& caption, Owner owner = Owner::None);
// How most failing operations tell the player why: a box without owner, captioned kErrorCaption.
void ShowError(const std::string& text);

} // namespace platform
