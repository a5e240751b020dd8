#include "platform/RegFile.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace {

// Regedit wraps hex data so that no line grows much beyond this width.
constexpr size_t kHexLineWidth = 76;

unsigned char SortKey(char c)
{
    // The separator sorts first, so that "A\B" comes right after "A", before "A B".
    if (c == '\\')
        return 0;
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A')
                                  : static_cast<unsigned char>(c);
}

bool PathLess(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return SortKey(x) < SortKey(y); });
}

std::string Quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\0')
            out += "\\0";
        else
            out += c;
    }
    return out + "\"";
}

// A string that both regedits read back byte for byte from the quoted form: one terminating
// zero and no zero or line break inside.
bool WritableAsText(const RegistryValue& value)
{
    if (value.type != kRegSz || value.bytes.empty() || value.bytes.back() != '\0')
        return false;
    const std::string_view text(value.bytes.data(), value.bytes.size() - 1);
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendHex(std::string& out, const RegistryValue& value, size_t prefixLength)
{
    char buffer[16];
    if (value.type == kRegBinary)
        out += "hex:";
    else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
        out += buffer;
    }
    size_t column = prefixLength + out.size();
    for (size_t i = 0; i < value.bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(value.bytes[i]));
        out += buffer;
        column += 2;
        if (i + 1 == value.bytes.size())
            break;
        out += ',';
        ++column;
        if (column >= kHexLineWidth) {
            out += "\\\n  ";
            column = 2;
        }
    }
}

std::string FormatValue(const RegistryValue& value)
{
    std::string line = value.name.empty() ? std::string("@") : Quoted(value.name);
    line += '=';
    if (WritableAsText(value)) {
        line += Quoted(std::string_view(value.bytes.data(), value.bytes.size() - 1));
    } else if (value.type == kRegDword && value.bytes.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | static_cast<unsigned char>(value.bytes[static_cast<size_t>(i)]);
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
        line += buffer;
    } else {
        std::string hex;
        AppendHex(hex, value, line.size());
        line += hex;
    }
    return line;
}

} // namespace

std::string FormatRegFile(const RegistryData& data)
{
    std::vector<const RegistryKey*> keys;
    for (const RegistryKey& key : data.Keys())
        keys.push_back(&key);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const RegistryKey* a, const RegistryKey* b) { return PathLess(a->path, b->path); });

    std::string out = "REGEDIT4\n\n";
    for (const RegistryKey* key : keys) {
        out += '[' + key->path + "]\n";
        for (const RegistryValue& value : key->values)
            out += FormatValue(value) + '\n';
        out += '\n';
    }
    return out;
}

} // namespace platform
