#pragma once
// Registry export files (".reg"), the format in which the registry store keeps its content, so
// that a file can be exchanged with a Windows or Wine registry through their regedit.
//
// Reading accepts both headers, "REGEDIT4" and "Windows Registry Editor Version 5.00", a UTF-8
// or UTF-16LE byte-order mark, CR LF or LF line ends, ';' comments, "@=" default values,
// "[-key]" and "\"name\"=-" deletions, "\"text\"" strings with backslash escapes,
// "dword:0000000f", "hex:" and typed "hex(N):" data continued over lines with a trailing
// backslash.
//
// Text in the store is UTF-8. A UTF-16 file (what regedit writes in version 5) is converted,
// string-typed hex data of a version 5 file included. Any other file is UTF-8 when it is valid
// UTF-8 and Windows-1252 otherwise (the code page of a Western Windows, whose regedit writes
// REGEDIT4 files in it); string-typed hex data of a REGEDIT4 file follows the same rule value by
// value. Writing produces either the store's own file (REGEDIT4, UTF-8, LF line ends) or a file for
// Windows (version 5, UTF-16LE with a byte-order mark, CR LF), which Windows' and Wine's regedit
// import with every character intact.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryData.h"

namespace platform {

struct RegFileError {
    int line = 0; // 1-based
    std::string message;
};

// What a file is read for. An import of a file from elsewhere may not delete a registry root or a
// root's Software key: "[-HKEY_CURRENT_USER]" in a downloaded file would wipe every setting.
enum class RegFileUse { Store, Import };

// Applies a .reg file to `data` as regedit imports one: keys and values are added or replaced,
// deletions remove. On an error `data` may be partly changed, so callers apply to a copy.
// A file of blanks only is an empty registry, not an error.
std::optional<RegFileError> ApplyRegFile(std::string_view text, RegistryData& data,
                                         RegFileUse use = RegFileUse::Store);

enum class RegFileForm {
    Store,   // REGEDIT4, UTF-8, LF: the store's own file, easy to read and edit by hand
    Windows, // version 5, UTF-16LE with byte-order mark, CR LF: for regedit on Windows or Wine
};

// The keys, in the order given, as a .reg file of that form.
std::string FormatRegFile(const std::vector<const RegistryKey*>& keys, RegFileForm form);
// The whole content as the store's own file, keys sorted as regedit sorts them.
std::string FormatRegFile(const RegistryData& data);

} // namespace platform
