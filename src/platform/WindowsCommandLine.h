#pragma once
// Splits command-line text into arguments the way a Windows program's C runtime does, so that a
// game started under Wine (or a native stand-in) receives exactly the arguments that the Windows
// command line would have given it.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits the text that follows the program name. Arguments are separated by spaces and tabs;
// double quotes group text (and "" gives an empty argument); 2n backslashes before a quote give n
// backslashes and the quote opens or closes a group, 2n+1 give n backslashes and a literal quote;
// inside a group, two quotes in a row give one literal quote; other backslashes are literal.
std::vector<std::string> SplitWindowsCommandLine(std::string_view text);

} // namespace platform
