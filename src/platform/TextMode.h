#pragma once
// Files that the Windows program wrote in text mode (the run log, RemoveList.txt,
// giantshost.htm) store every line feed as carriage return plus line feed; ours do the same so
// that the game's side and older peers read them unchanged.
#include <string>
#include <string_view>

namespace platform {

// Every "\n" becomes "\r\n"; a carriage return already there is kept, as text mode would.
std::string ToTextMode(std::string_view text);

} // namespace platform
