#include "platform/RegFile.h"

#include <cstdio>

#include "platform/TextMode.h"
#include "platform/WindowsText.h"

namespace platform {

namespace {

// Regedit wraps hex data so that no line grows much beyond this width.
constexpr size_t kHexLineWidth = 76;

// The text of a name, path or string as it goes into the file. The file is always UTF-8 (or
// UTF-16 made from it), so that reading it back takes every byte as written: bytes that are not
// UTF-8 came from Windows and are taken as Windows-1252, as an import would have read them.
std::string AsText(std::string_view bytes) {
    return FromWindowsText(bytes);
}

// UTF-16LE code units of UTF-8 text, as version 5 files hold strings.
std::string ToUtf16Le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    auto unit = [&](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = lead;
        size_t length = 1;
        if (lead >= 0xF0)
            cp = lead & 0x07, length = 4;
        else if (lead >= 0xE0)
            cp = lead & 0x0F, length = 3;
        else if (lead >= 0xC0)
            cp = lead & 0x1F, length = 2;
        for (size_t k = 1; k < length && i + k < utf8.size(); ++k)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

bool IsStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

std::string Quoted(std::string_view text) {
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
bool WritableAsText(const RegistryValue& value) {
    if (value.type != kRegSz || value.bytes.empty() || value.bytes.back() != '\0')
        return false;
    const std::string_view text(value.bytes.data(), value.bytes.size() - 1);
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendHex(std::string& out, const RegistryValue& value, size_t prefixLength,
               RegFileForm form) {
    // Strings kept as hex are text all the same: UTF-8 in our own file, UTF-16LE where Windows
    // reads it.
    std::string bytes = IsStringType(value.type) ? AsText(value.bytes) : value.bytes;
    if (form == RegFileForm::Windows && IsStringType(value.type))
        bytes = ToUtf16Le(bytes);
    char buffer[16];
    if (value.type == kRegBinary)
        out += "hex:";
    else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
        out += buffer;
    }
    size_t column = prefixLength + out.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buffer;
        column += 2;
        if (i + 1 == bytes.size())
            break;
        out += ',';
        ++column;
        if (column >= kHexLineWidth) {
            out += "\\\n  ";
            column = 2;
        }
    }
}

std::string FormatValue(const RegistryValue& value, RegFileForm form) {
    std::string line = value.name.empty() ? std::string("@") : Quoted(AsText(value.name));
    line += '=';
    if (WritableAsText(value)) {
        line += Quoted(AsText(std::string_view(value.bytes.data(), value.bytes.size() - 1)));
    } else if (value.type == kRegDword && value.bytes.size() == 4) {
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | static_cast<unsigned char>(value.bytes[static_cast<size_t>(i)]);
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
        line += buffer;
    } else {
        std::string hex;
        AppendHex(hex, value, line.size(), form);
        line += hex;
    }
    return line;
}

} // namespace

std::string FormatRegFile(const std::vector<const RegistryKey*>& keys, RegFileForm form) {
    std::string out =
        form == RegFileForm::Windows ? "Windows Registry Editor Version 5.00\n\n" : "REGEDIT4\n\n";
    for (const RegistryKey* key : keys) {
        out += '[' + AsText(key->path) + "]\n";
        for (const RegistryValue& value : key->values)
            out += FormatValue(value, form) + '\n';
        out += '\n';
    }
    if (form == RegFileForm::Store)
        return out;
    // Windows' regedit writes, and reads best, UTF-16LE with a byte-order mark and CR LF.
    return "\xFF\xFE" + ToUtf16Le(ToTextMode(out));
}

std::string FormatRegFile(const RegistryData& data) {
    return FormatRegFile(data.Keys(), RegFileForm::Store);
}

} // namespace platform
