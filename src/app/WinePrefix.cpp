#include "app/WinePrefix.h"

#include <fcntl.h>

#include <vector>

#include "app/LauncherConfigs.h"

#include "platform/GamePath.h"
#include "platform/SystemCalls.h"

namespace app {

bool IsWindowsPath(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        return true;
    return path.substr(0, 2) == "\\\\";
}

std::string NormalizePath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (path.empty() || path[0] != '/')
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string normal = !path.empty() && path[0] == '/' ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            normal += '/';
        normal.append(parts[i]);
    }
    return normal.empty() ? "." : normal;
}

std::optional<std::string> MapWindowsPath(const std::string& prefix, std::string_view windowsPath) {
    if (windowsPath.size() < 2 || windowsPath[1] != ':' || !IsWindowsPath(windowsPath))
        return std::nullopt;
    const char letter = static_cast<char>(platform::ToLower(windowsPath.substr(0, 1))[0]);
    const std::string link = prefix + "/dosdevices/" + letter + ":";
    std::string drive;
    std::string target;
    struct stat status {};
    if (platform::sys::ReadLink(link, target))
        drive = target.front() == '/' ? NormalizePath(target)
                                      : NormalizePath(prefix + "/dosdevices/" + target);
    else if (letter == 'c' && platform::sys::Status(prefix + "/drive_c", status))
        drive = prefix + "/drive_c";
    else
        return std::nullopt;

    std::string rest(windowsPath.substr(2));
    for (char& c : rest)
        if (c == '\\')
            c = '/';
    rest = NormalizePath("/" + rest);
    if (rest == "/")
        return drive;
    // ResolvePath finds each component in the letter case it has on disk, as Wine does.
    return platform::ResolvePath(drive + rest);
}

std::string PrefixOfPath(std::string_view path) {
    size_t at = path.find("/drive_c/");
    if (at == std::string_view::npos && path.size() >= 8 &&
        path.substr(path.size() - 8) == "/drive_c")
        at = path.size() - 8;
    if (at == std::string_view::npos || at == 0)
        return {};
    return std::string(path.substr(0, at));
}

std::optional<std::string> SteamCompatData(const std::string& gameFolder) {
    const std::string prefix = PrefixOfPath(gameFolder);
    if (prefix.size() > 4 && prefix.compare(prefix.size() - 4, 4, "/pfx") == 0)
        return prefix.substr(0, prefix.size() - 4);

    const std::string marker = "/steamapps/common/";
    const size_t at = gameFolder.find(marker);
    if (at == std::string::npos)
        return std::nullopt;
    const std::string apps = gameFolder.substr(0, at) + "/steamapps";
    const std::string rest = gameFolder.substr(at + marker.size());
    const std::string installDir = rest.substr(0, rest.find('/'));
    platform::sys::Directory dir(apps);
    bool failed = false;
    while (const dirent* entry = dir.Next(failed)) {
        const std::string name = entry->d_name;
        if (name.rfind("appmanifest_", 0) != 0 || name.size() < 17 ||
            name.compare(name.size() - 4, 4, ".acf") != 0)
            continue;
        platform::sys::FileDescriptor file = platform::sys::Open(apps + "/" + name, O_RDONLY);
        std::string text;
        if (!file.IsOpen() || !platform::sys::ReadAll(file.Get(), text))
            continue;
        const std::optional<std::string> dirName = ManifestInstallDir(text);
        if (!dirName || !platform::EqualsIgnoringCase(*dirName, installDir))
            continue;
        const std::string id = name.substr(12, name.size() - 16);
        const std::string compat = apps + "/compatdata/" + id;
        if (platform::sys::IsDirectory(compat))
            return compat;
    }
    return std::nullopt;
}

} // namespace app
