#include "platform/WineRegFile.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Ascii.h"
#include "platform/GamePath.h"
#include "platform/WindowsText.h"

namespace platform {

namespace {

// Collects UTF-16 units from escapes and raw bytes, and pairs surrogates on the way out. A lone
// surrogate becomes U+FFFD rather than invalid UTF-8.
class Utf16Builder {
  public:
    void Unit(uint32_t unit) {
        FlushRaw();
        if (unit >= 0xD800 && unit < 0xDC00) {
            FlushHigh();
            m_high = unit;
            return;
        }
        if (unit >= 0xDC00 && unit < 0xE000 && m_high) {
            AppendUtf8(m_out, 0x10000 + ((m_high - 0xD800) << 10) + (unit - 0xDC00));
            m_high = 0;
            return;
        }
        FlushHigh();
        AppendUtf8(m_out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    // Bytes that stand for themselves. Wine writes only ASCII, but a file edited by hand may hold
    // UTF-8 or Windows-1252; the one rule for text from Windows decides.
    void Raw(char c) {
        FlushHigh();
        m_raw += c;
    }
    std::string Take() {
        FlushRaw();
        FlushHigh();
        return std::move(m_out);
    }

  private:
    void FlushRaw() {
        if (!m_raw.empty()) {
            m_out += FromWindowsText(m_raw);
            m_raw.clear();
        }
    }
    void FlushHigh() {
        if (m_high) {
            AppendUtf8(m_out, 0xFFFD);
            m_high = 0;
        }
    }

    std::string m_out;
    std::string m_raw;
    uint32_t m_high = 0;
};

// The end of a quoted body that starts at `from` (just after the opening quote), or npos.
size_t ClosingQuote(std::string_view line, size_t from, char quote) {
    for (size_t i = from; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == quote)
            return i;
    }
    return std::string_view::npos;
}

std::string_view TrimRight(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// One "Name"=data line; false when it is not one this reader understands.
bool ParseValueLine(std::string_view line, std::string& name, WineRegValue& value) {
    size_t dataStart = 0;
    if (line[0] == '@') {
        name.clear();
        dataStart = 1;
    } else {
        const size_t close = ClosingQuote(line, 1, '"');
        if (close == std::string_view::npos)
            return false;
        name = ToLower(DecodeWineString(line.substr(1, close - 1)));
        dataStart = close + 1;
    }
    if (dataStart >= line.size() || line[dataStart] != '=')
        return false;
    std::string_view data = line.substr(dataStart + 1);
    // REG_EXPAND_SZ is written as str(2):"...", REG_MULTI_SZ as str(7):"..."; both read as text.
    if (StartsWith(data, "str(")) {
        const size_t colon = data.find("):");
        if (colon == std::string_view::npos)
            return false;
        data.remove_prefix(colon + 2);
    }
    if (!data.empty() && data[0] == '"') {
        const size_t close = ClosingQuote(data, 1, '"');
        if (close == std::string_view::npos)
            return false;
        value.kind = WineRegValue::Kind::String;
        value.text = DecodeWineString(data.substr(1, close - 1));
        return true;
    }
    if (StartsWith(data, "dword:")) {
        const std::string digits(data.substr(6));
        char* end = nullptr;
        const unsigned long number = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || *end != '\0')
            return false;
        value.kind = WineRegValue::Kind::Dword;
        value.number = static_cast<uint32_t>(number);
        return true;
    }
    value.kind = WineRegValue::Kind::Other;
    return true;
}

} // namespace

std::string DecodeWineString(std::string_view escaped) {
    Utf16Builder text;
    for (size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c != '\\' || i + 1 == escaped.size()) {
            if (static_cast<unsigned char>(c) < 0x80)
                text.Unit(static_cast<unsigned char>(c));
            else
                text.Raw(c);
            continue;
        }
        const char e = escaped[++i];
        switch (e) {
        case 'a':
            text.Unit(0x07);
            break;
        case 'b':
            text.Unit(0x08);
            break;
        case 'e':
            text.Unit(0x1B);
            break;
        case 'f':
            text.Unit(0x0C);
            break;
        case 'n':
            text.Unit(0x0A);
            break;
        case 'r':
            text.Unit(0x0D);
            break;
        case 't':
            text.Unit(0x09);
            break;
        case 'v':
            text.Unit(0x0B);
            break;
        case 'x': {
            // Up to four hex digits: Wine writes four whenever a hex digit follows.
            uint32_t unit = 0;
            int digits = 0;
            while (digits < 4 && i + 1 < escaped.size() && HexDigitValue(escaped[i + 1]) >= 0) {
                unit = unit * 16 + static_cast<uint32_t>(HexDigitValue(escaped[++i]));
                ++digits;
            }
            text.Unit(digits ? unit : 'x');
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                uint32_t unit = static_cast<uint32_t>(e - '0');
                for (int digits = 1; digits < 3 && i + 1 < escaped.size() &&
                                     escaped[i + 1] >= '0' && escaped[i + 1] <= '7';
                     ++digits)
                    unit = unit * 8 + static_cast<uint32_t>(escaped[++i] - '0');
                text.Unit(unit);
            } else if (static_cast<unsigned char>(e) < 0x80) {
                text.Unit(static_cast<unsigned char>(e));
            } else {
                text.Raw(e);
            }
        }
    }
    return text.Take();
}

std::map<std::string, WineRegKey> ReadWineRegistry(std::string_view file,
                                                   const std::vector<std::string>& wanted) {
    // A prefix's system.reg has tens of thousands of keys and the scan reads dozens of them, so
    // headers are found with memchr and compared as Wine writes an ASCII name: its backslashes
    // doubled, nothing else escaped. Only the lines of a wanted key are parsed.
    std::vector<std::string> lowered;
    std::vector<std::string> escaped;
    for (const std::string& key : wanted) {
        lowered.push_back(ToLower(key));
        std::string written;
        for (char c : key)
            written += c == '\\' ? std::string("\\\\") : std::string(1, c);
        escaped.push_back(std::move(written));
    }

    std::map<std::string, WineRegKey> found;
    size_t at = 0;
    while (at < file.size()) {
        const size_t open = file.find('[', at);
        if (open == std::string_view::npos)
            break;
        at = open + 1;
        if (open > 0 && file[open - 1] != '\n')
            continue;
        const size_t lineEnd = std::min(file.find('\n', open), file.size());
        const std::string_view header = file.substr(open + 1, lineEnd - open - 1);
        const size_t close = header.find(']');
        if (close == std::string_view::npos)
            continue;
        const std::string_view name = header.substr(0, close);
        WineRegKey* current = nullptr;
        for (size_t i = 0; i < escaped.size() && !current; ++i)
            if (name.size() == escaped[i].size() && EqualsIgnoringCase(name, escaped[i]))
                current = &found[lowered[i]];
        if (!current)
            continue;
        // The key's values: every line up to the next header.
        size_t pos = lineEnd + 1;
        while (pos < file.size() && file[pos] != '[') {
            const size_t end = std::min(file.find('\n', pos), file.size());
            const std::string_view line = TrimRight(file.substr(pos, end - pos));
            pos = end + 1;
            if (line.empty() || (line[0] != '"' && line[0] != '@'))
                continue;
            std::string valueName;
            WineRegValue value;
            if (ParseValueLine(line, valueName, value))
                (*current)[valueName] = std::move(value);
        }
        at = pos;
    }
    return found;
}

std::optional<std::string> WineString(const std::map<std::string, WineRegKey>& keys,
                                      std::string_view key, std::string_view name) {
    const auto k = keys.find(ToLower(key));
    if (k == keys.end())
        return std::nullopt;
    const auto v = k->second.find(ToLower(name));
    if (v == k->second.end() || v->second.kind != WineRegValue::Kind::String)
        return std::nullopt;
    return v->second.text;
}

std::optional<uint32_t> WineDword(const std::map<std::string, WineRegKey>& keys,
                                  std::string_view key, std::string_view name) {
    const auto k = keys.find(ToLower(key));
    if (k == keys.end())
        return std::nullopt;
    const auto v = k->second.find(ToLower(name));
    if (v == k->second.end() || v->second.kind != WineRegValue::Kind::Dword)
        return std::nullopt;
    return v->second.number;
}

} // namespace platform
