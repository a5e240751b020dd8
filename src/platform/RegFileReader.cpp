#include "platform/RegFile.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/Ascii.h"
#include "platform/WindowsText.h"

namespace platform {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameRegistryName(s.substr(0, prefix.size()), prefix);
}

// 1 to `maxDigits` hex digits and nothing else.
std::optional<uint32_t> ParseHexNumber(std::string_view s, size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : s) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    size_t i = 0;
    auto unit = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF)
            cp = 0xFFFD; // a lone surrogate
        AppendUtf8(out, cp);
    }
    if (i < bytes.size())
        out += bytes[i]; // an odd last byte is kept rather than lost
    return out;
}

// A root or a root's Software key: deleting either on import takes every program's settings.
bool ProtectedFromImport(std::string_view path) {
    const size_t slash = path.find('\\');
    return slash == std::string_view::npos || SameRegistryName(path.substr(slash + 1), "Software");
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Reads a quoted text starting at s[pos] == '"'; leaves pos after the closing quote.
bool ParseQuoted(std::string_view s, size_t& pos, std::string& out) {
    for (++pos; pos < s.size();) {
        // Plain characters go over in one piece: a store holds hundreds of thousands of texts.
        size_t special = pos;
        while (special < s.size() && s[special] != '"' && s[special] != '\\')
            ++special;
        if (special == s.size()) {
            out.append(s.substr(pos));
            pos = s.size();
            break;
        }
        out.append(s.substr(pos, special - pos));
        pos = special;
        if (s[pos] == '"') {
            ++pos;
            return true;
        }
        if (pos + 1 == s.size()) {
            out += '\\';
            ++pos;
            break;
        }
        switch (s[pos + 1]) {
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case '0':
            out += '\0';
            break;
        default:
            // Not an escape: the backslash is a character of its own, as regedit keeps it.
            out += '\\';
            ++pos;
            continue;
        }
        pos += 2;
    }
    return false;
}

class Parser {
  public:
    Parser(std::vector<std::string_view> lines, RegistryData& data, RegFileUse use)
        : m_lines(std::move(lines)), m_data(data), m_use(use) {}

    std::optional<RegFileError> Run();

  private:
    enum class KeyState { None, Open, Deleted };

    std::optional<RegFileError> Error(std::string message) const {
        return RegFileError{static_cast<int>(m_index) + 1, std::move(message)};
    }
    std::optional<RegFileError> KeyLine(std::string_view line);
    std::optional<RegFileError> ValueLine(std::string_view line);
    std::optional<RegFileError> HexData(std::string_view text, uint32_t type, RegistryValue& value);

    std::vector<std::string_view> m_lines;
    RegistryData& m_data;
    RegFileUse m_use;
    size_t m_index = 0;
    bool m_unicode = false;
    KeyState m_state = KeyState::None;
    std::string m_key;
};

std::optional<RegFileError> Parser::Run() {
    while (m_index < m_lines.size() && Trim(m_lines[m_index]).empty())
        ++m_index;
    if (m_index == m_lines.size())
        return std::nullopt;
    const std::string_view header = Trim(m_lines[m_index]);
    if (header == kHeader5)
        m_unicode = true;
    else if (header != kHeader4)
        return Error("not a registry file: it must begin with \"REGEDIT4\" or "
                     "\"Windows Registry Editor Version 5.00\"");
    for (++m_index; m_index < m_lines.size(); ++m_index) {
        const std::string_view line = Trim(m_lines[m_index]);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        std::optional<RegFileError> error;
        if (line.front() == '[')
            error = KeyLine(line);
        else if (line.front() == '"' || line.front() == '@')
            error = ValueLine(line);
        else
            error = Error("unrecognised line: expected [key] or \"name\"=value");
        if (error)
            return error;
    }
    return std::nullopt;
}

std::optional<RegFileError> Parser::KeyLine(std::string_view line) {
    if (line.back() != ']')
        return Error("key line without closing ]");
    std::string_view inner = line.substr(1, line.size() - 2);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove)
        inner.remove_prefix(1);
    const std::string path = CanonicalKeyPath(Trim(inner));
    if (path.empty())
        return Error("key \"" + std::string(inner) +
                     "\" does not begin with a registry root "
                     "such as HKEY_CURRENT_USER, or has an empty part");
    if (remove && m_use == RegFileUse::Import && ProtectedFromImport(path))
        return Error("refusing to delete [" + path +
                     "]: that would remove the settings of every "
                     "program below it. An import deletes only keys below Software\\..., such as "
                     "[-HKEY_CURRENT_USER\\Software\\KRV].");
    if (remove) {
        m_data.DeleteKey(path);
        m_state = KeyState::Deleted;
    } else {
        m_key = m_data.CreateKey(path).path;
        m_state = KeyState::Open;
    }
    return std::nullopt;
}

std::optional<RegFileError> Parser::ValueLine(std::string_view line) {
    RegistryValue value;
    size_t pos = 1; // just after "@"
    if (line.front() == '"') {
        pos = 0;
        if (!ParseQuoted(line, pos, value.name))
            return Error("value name without closing quote");
    }
    std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=')
        return Error("expected = after the value name");
    rest = Trim(rest.substr(1));

    bool remove = false;
    if (rest == "-") {
        remove = true;
    } else if (!rest.empty() && rest.front() == '"') {
        size_t end = 0;
        if (!ParseQuoted(rest, end, value.bytes))
            return Error("text value without closing quote");
        const std::string_view after = TrimLeft(rest.substr(end));
        if (!after.empty() && after.front() != ';')
            return Error("unexpected characters after the closing quote");
        value.type = kRegSz;
        value.bytes += '\0';
    } else if (StartsWithNoCase(rest, "dword:")) {
        const std::optional<uint32_t> number = ParseHexNumber(Trim(rest.substr(6)), 8);
        if (!number)
            return Error("dword value needs 1 to 8 hex digits");
        value.type = kRegDword;
        for (int shift = 0; shift < 32; shift += 8)
            value.bytes += static_cast<char>((*number >> shift) & 0xFF);
    } else if (StartsWithNoCase(rest, "hex:")) {
        if (auto error = HexData(rest.substr(4), kRegBinary, value))
            return error;
    } else if (StartsWithNoCase(rest, "hex(")) {
        const size_t close = rest.find("):");
        const std::optional<uint32_t> type = close == std::string_view::npos
                                                 ? std::nullopt
                                                 : ParseHexNumber(rest.substr(4, close - 4), 8);
        if (!type)
            return Error("hex(N): needs a hex type number");
        if (auto error = HexData(rest.substr(close + 2), *type, value))
            return error;
    } else {
        return Error("unrecognised value data: expected \"text\", dword:, hex: or hex(N):");
    }

    if (m_state == KeyState::None)
        return Error("value before the first [key]");
    if (m_state == KeyState::Deleted)
        return std::nullopt; // values of a deleted key are ignored, as regedit does
    if (remove)
        m_data.DeleteValue(m_key, value.name);
    else
        m_data.SetValue(m_key, std::move(value));
    return std::nullopt;
}

std::optional<RegFileError> Parser::HexData(std::string_view text, uint32_t type,
                                            RegistryValue& value) {
    const size_t first = m_index;
    std::string joined;
    std::string_view part = Trim(text);
    while (!part.empty() && part.back() == '\\') {
        joined.append(part.substr(0, part.size() - 1));
        do {
            if (++m_index == m_lines.size())
                return RegFileError{static_cast<int>(first) + 1,
                                    "hex data continues past the end of the file"};
            part = Trim(m_lines[m_index]);
        } while (!part.empty() && part.front() == ';');
    }
    joined.append(part);

    std::string bytes;
    std::string_view list = joined;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view token = Trim(list.substr(0, comma));
        const bool last = comma == std::string_view::npos;
        if (!(token.empty() && last)) { // a trailing comma is harmless
            const std::optional<uint32_t> byte = ParseHexNumber(token, 2);
            if (!byte)
                return Error("invalid hex byte \"" + std::string(token) + "\"");
            bytes += static_cast<char>(*byte);
        }
        if (last)
            break;
        list.remove_prefix(comma + 1);
    }
    if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
        // Strings as hex are text in the file's own form: UTF-16LE in version 5, the ANSI code
        // page (or UTF-8 from a program of ours) in REGEDIT4.
        bytes = m_unicode ? Utf16LeToUtf8(bytes) : FromWindowsText(bytes);
    }
    value.type = type;
    value.bytes = std::move(bytes);
    return std::nullopt;
}

} // namespace

std::optional<RegFileError> ApplyRegFile(std::string_view text, RegistryData& data,
                                         RegFileUse use) {
    std::string converted;
    if (text.starts_with("\xFF\xFE")) {
        converted = Utf16LeToUtf8(text.substr(2));
        text = converted;
    } else {
        if (text.starts_with("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        // A file that is not UTF-8 as a whole came from a Windows regedit: Windows-1252. Most
        // files are plain ASCII, which a quick look finds without decoding.
        const bool ascii =
            std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
        if (!ascii && !IsValidUtf8(text)) {
            converted = FromWindowsText(text);
            text = converted;
        }
    }
    return Parser(SplitLines(text), data, use).Run();
}

} // namespace platform
