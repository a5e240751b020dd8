#pragma once
// "--version" and "--help": answered first thing in main(), before the run log, the settings or
// any window, so that a player or a package manager can ask from a terminal without side effects.
// The game's own switches, which lobbies pass, are Windows-style and never begin with "--".
#include <optional>
#include <ostream>

namespace ui {

// When `firstArgument` is one of the two switches, writes the answer to `out` and returns the exit
// status; otherwise returns nothing and the start goes on as usual.
std::optional<int> AnswerInfoSwitch(const char* firstArgument, std::ostream& out);

} // namespace ui
