#include "app/LauncherConfigs.h"

#include <cstdint>

#include "platform/WindowsText.h"

namespace app {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The quoted tokens of a VDF line, with \\ and \" undone ("path"  "D:\\Games" gives two).
std::vector<std::string> VdfTokens(std::string_view line) {
    std::vector<std::string> tokens;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '"')
            continue;
        std::string token;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            token += line[i];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

bool IsNumber(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A YAML scalar as Lutris and Bottles write them: plain, or in single or double quotes.
std::string YamlScalar(std::string_view text) {
    text = Trim(text);
    if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') &&
        text.back() == text.front())
        return std::string(text.substr(1, text.size() - 2));
    return std::string(text);
}

size_t Indent(std::string_view line) {
    size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

bool HexValue(std::string_view digits, uint32_t& value) {
    value = 0;
    for (char c : digits) {
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (d < 0)
            return false;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return true;
}

// The string value of the first "key": "..." in a JSON text, with its escapes undone.
std::string JsonString(std::string_view json, std::string_view key) {
    std::string quoted(1, '"');
    quoted.append(key).push_back('"');
    size_t at = json.find(quoted);
    if (at == std::string_view::npos)
        return {};
    at += quoted.size();
    while (at < json.size() && (json[at] == ' ' || json[at] == '\t' || json[at] == '\n' ||
                                json[at] == '\r' || json[at] == ':'))
        ++at;
    if (at >= json.size() || json[at] != '"')
        return {};
    std::string value;
    for (++at; at < json.size() && json[at] != '"'; ++at) {
        if (json[at] != '\\' || at + 1 >= json.size()) {
            value += json[at];
            continue;
        }
        const char e = json[++at];
        uint32_t code = 0;
        if (e == 'u' && at + 4 < json.size() && HexValue(json.substr(at + 1, 4), code)) {
            platform::AppendUtf8(value, code);
            at += 4;
        } else if (e == 'n') {
            value += '\n';
        } else if (e == 't') {
            value += '\t';
        } else {
            value += e; // \" \\ \/
        }
    }
    return value;
}

} // namespace

std::vector<std::string> LibraryFolders(std::string_view vdf) {
    std::vector<std::string> folders;
    for (std::string_view line : Lines(vdf)) {
        const std::vector<std::string> tokens = VdfTokens(line);
        if (tokens.size() != 2)
            continue;
        if (tokens[0] == "path" ||
            (IsNumber(tokens[0]) && !tokens[1].empty() && tokens[1].front() == '/'))
            folders.push_back(tokens[1]);
    }
    return folders;
}

std::optional<std::string> ManifestInstallDir(std::string_view acf) {
    for (std::string_view line : Lines(acf)) {
        const std::vector<std::string> tokens = VdfTokens(line);
        if (tokens.size() == 2 && tokens[0] == "installdir" && !tokens[1].empty())
            return tokens[1];
    }
    return std::nullopt;
}

std::optional<std::string> ProtonFromConfigInfo(std::string_view configInfo) {
    for (std::string_view line : Lines(configInfo)) {
        line = Trim(line);
        for (std::string_view marker : {"/files/", "/dist/"}) {
            const size_t at = line.find(marker);
            if (!line.empty() && line.front() == '/' && at != std::string_view::npos)
                return std::string(line.substr(0, at));
        }
    }
    return std::nullopt;
}

LutrisGame ReadLutrisGame(std::string_view yml) {
    LutrisGame game;
    std::string_view section;
    for (std::string_view line : Lines(yml)) {
        const std::string_view body = Trim(line);
        if (body.empty() || body.front() == '#')
            continue;
        const size_t colon = body.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = body.substr(0, colon);
        const std::string value = YamlScalar(body.substr(colon + 1));
        if (Indent(line) == 0) {
            section = key;
            continue;
        }
        if (section == "game" && key == "prefix")
            game.prefix = value;
        else if (section == "game" && key == "exe")
            game.exe = value;
        else if (section == "wine" && key == "version")
            game.wineVersion = value;
    }
    return game;
}

std::optional<std::string> BottleRunner(std::string_view yml) {
    for (std::string_view line : Lines(yml)) {
        if (Indent(line) != 0)
            continue;
        const std::string_view body = Trim(line);
        if (body.substr(0, 7) == "Runner:") {
            std::string runner = YamlScalar(body.substr(7));
            if (!runner.empty())
                return runner;
        }
    }
    return std::nullopt;
}

HeroicGame ReadHeroicGame(std::string_view json) {
    HeroicGame game;
    game.winePrefix = JsonString(json, "winePrefix");
    const size_t version = json.find("\"wineVersion\"");
    if (version != std::string_view::npos) {
        const std::string_view block = json.substr(version);
        game.wineBin = JsonString(block, "bin");
        game.wineType = JsonString(block, "type");
    }
    return game;
}

std::vector<HeroicInstall> ReadHeroicInstalled(std::string_view json) {
    std::vector<HeroicInstall> installs;
    // Each entry is one flat object; both names are read within the braces around "install_path".
    for (size_t at = json.find("\"install_path\""); at != std::string_view::npos;
         at = json.find("\"install_path\"", at + 1)) {
        const size_t open = json.rfind('{', at);
        const size_t close = json.find('}', at);
        if (open == std::string_view::npos || close == std::string_view::npos)
            continue;
        const std::string_view entry = json.substr(open, close - open);
        HeroicInstall install{JsonString(entry, "appName"), JsonString(entry, "install_path")};
        if (!install.appName.empty() && !install.installPath.empty())
            installs.push_back(std::move(install));
    }
    return installs;
}

} // namespace app
