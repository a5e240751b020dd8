#pragma once
// Wine's own registry files (user.reg, system.reg in a prefix), read only.
//
// Wine keeps each hive as text: a "[Key\\Path] time" line opens a key, "Name"=value lines
// follow. Names and strings are written with C-like escapes: a doubled backslash, \" inside
// names and strings, \n and friends, octal escapes for control characters and \xHHHH for every
// UTF-16 unit above 127, so a folder with non-ASCII letters is all ASCII in the file. This
// reader decodes those escapes into UTF-8 and ignores everything it does not need (hex values,
// #time and #class lines), so a file written by a newer Wine still reads.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct WineRegValue {
    enum class Kind { String, Dword, Other } kind = Kind::Other;
    std::string text;    // String: the decoded text (UTF-8)
    uint32_t number = 0; // Dword
};

// The values of one key, by name in lower case ("" for the default value "@").
using WineRegKey = std::map<std::string, WineRegValue>;

// Reads the keys named in `wanted` (paths as Windows writes them, "Software\PlanetMoon\Giants",
// letter case ignored) from the bytes of a Wine registry file. The result maps each wanted key
// that the file holds, in lower case, to its values. Lines that do not parse are skipped. Key
// headers are compared in the form Wine writes an ASCII name: backslashes doubled, nothing else
// escaped.
std::map<std::string, WineRegKey> ReadWineRegistry(std::string_view file,
                                                   const std::vector<std::string>& wanted);

// Decodes one escaped name or string body (without its quotes) as Wine writes it.
std::string DecodeWineString(std::string_view escaped);

// A string value of a key read by ReadWineRegistry, or nothing.
std::optional<std::string> WineString(const std::map<std::string, WineRegKey>& keys,
                                      std::string_view key, std::string_view name);
std::optional<uint32_t> WineDword(const std::map<std::string, WineRegKey>& keys,
                                  std::string_view key, std::string_view name);

} // namespace platform
