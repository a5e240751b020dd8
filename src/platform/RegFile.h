#pragma once
// Registry export files (".reg"), the format in which the registry store keeps its content, so
// that a file can be exchanged with a Windows or Wine registry through their regedit.
//
// Reading accepts both headers, "REGEDIT4" and "Windows Registry Editor Version 5.00", a UTF-8
// or UTF-16LE byte-order mark, CR LF or LF line ends, ';' comments, "@=" default values,
// "[-key]" and "\"name\"=-" deletions, "\"text\"" strings with backslash escapes,
// "dword:0000000f", "hex:" and typed "hex(N):" data continued over lines with a trailing
// backslash. In a version 5 file string-typed hex data is UTF-16LE and becomes UTF-8 here, the
// narrow form the program reads. Writing produces REGEDIT4, the narrow form.
#include <optional>
#include <string>
#include <string_view>

#include "platform/RegistryData.h"

namespace platform {

struct RegFileError {
    int line = 0; // 1-based
    std::string message;
};

// Applies a .reg file to `data` as regedit imports one: keys and values are added or replaced,
// deletions remove. On an error `data` may be partly changed, so callers apply to a copy.
// A file of blanks only is an empty registry, not an error.
std::optional<RegFileError> ApplyRegFile(std::string_view text, RegistryData& data);

// The whole content as a REGEDIT4 file, keys sorted as regedit sorts them.
std::string FormatRegFile(const RegistryData& data);

} // namespace platform
