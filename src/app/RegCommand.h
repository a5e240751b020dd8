#pragma once
// korvane-reg: the Windows "reg" command's syntax over the registry store, so that installation
// scripts and players can write Korvane's settings the way they would on Windows:
//   korvane-reg add "HKCU\Software\KRV" /v DestDir /t REG_SZ /d DIR /f
//   korvane-reg query KEY [/v NAME | /ve] [/s]
//   korvane-reg delete KEY [/v NAME | /ve | /va] [/f]
//   korvane-reg import FILE.reg
//   korvane-reg export KEY FILE.reg [/y]
// Exit status 0 on success, 1 on any error (explained on the error stream).
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

struct RegConsole {
    std::ostream& out;
    std::ostream& err;
    // Asks a yes/no question; null when nobody can answer (standard input is not a terminal).
    std::function<bool(const std::string& question)> confirm;
};

// `args` are the command's arguments without the program name.
int RunRegCommand(const std::vector<std::string>& args, RegConsole& console);

namespace regtool {

inline constexpr const char* kSuccess = "The operation completed successfully.";
inline constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";

// The options after the operation name: the positional words and the switches with their values.
struct Options {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> switches; // lower-case name without '/', value
    bool help = false; // "/?", "-?", "-h" or "--help" stood where a switch may stand

    bool Has(const std::string& name) const;
    const std::string* Value(const std::string& name) const;
};

// Splits the arguments: "/name" or "-name" (any letter case) is a switch when `withValue` (which
// take the next argument as their value) or `flags` list it; a help switch sets `help` unless it
// is the value of a switch; everything else is a word. Returns
// false with an explanation in `error` when a value is missing.
bool ParseOptions(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                  const std::vector<std::string>& flags, Options& options, std::string& error);

std::string TypeName(uint32_t type);
// The value's data as reg shows it in a query.
std::string DisplayData(const platform::RegistryValue& value);

int Query(const Options& options, const platform::RegistryStore& store, RegConsole& console);

} // namespace regtool
