#pragma once
// Paths of Wine prefixes: where a Windows path of a prefix lies on Linux, and which prefix a Linux
// path lies in. Read only: nothing here changes a prefix.
#include <optional>
#include <string>
#include <string_view>

namespace app {

// True for a path as Windows writes it: a drive ("C:\Games", "c:/x") or a share ("\\server\x").
// Such a value in Korvane's settings was carried over from Windows or Wine and names no folder
// that Linux can open.
bool IsWindowsPath(std::string_view path);

// Removes "." and "name/.." components and doubled slashes without asking the file system.
std::string NormalizePath(std::string_view path);

// The Linux folder of a Windows path inside `prefix`: the drive through the prefix's
// dosdevices link (drive_c for C: when the link is missing), the rest found whatever its letter
// case. Nothing when the path names no drive or the drive is not mapped.
std::optional<std::string> MapWindowsPath(const std::string& prefix, std::string_view windowsPath);

// The Wine prefix that `path` lies in (the part before its "/drive_c/" component), or "".
std::string PrefixOfPath(std::string_view path);

// The Steam compatibility-data folder of a game: the parent of the ".../pfx" prefix it lies in,
// or, for a game in a library's steamapps/common, compatdata/ID of the appmanifest that installed
// it. Nothing when neither applies or the folder is not there.
std::optional<std::string> SteamCompatData(const std::string& gameFolder);

} // namespace app
