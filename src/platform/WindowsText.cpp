#include "platform/WindowsText.h"

#include "platform/Ascii.h"

#include <array>
#include <cstdint>

namespace platform {

namespace {

// The code points of Windows-1252's bytes 0x80 to 0x9F; the rest of the page is Latin-1. The
// undefined bytes map to the C1 control character of the same number.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t CodePointOf1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

// Decodes the UTF-8 sequence at `pos`, moving `pos` past it; nothing when it is malformed.
std::optional<char32_t> NextCodePoint(std::string_view text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t length = 0;
    char32_t c = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (text.size() - pos < length)
        return std::nullopt;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    pos += length;
    return c;
}

} // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsValidUtf8(std::string_view bytes) {
    for (size_t pos = 0; pos < bytes.size();) {
        if (!NextCodePoint(bytes, pos))
            return false;
    }
    return true;
}

std::string FromWindowsText(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char byte : bytes)
        AppendUtf8(out, CodePointOf1252(static_cast<unsigned char>(byte)));
    return out;
}

std::optional<std::string> ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        const std::optional<char32_t> c = NextCodePoint(utf8, pos);
        if (!c)
            return std::nullopt;
        if (*c < 0x80 || (*c >= 0xA0 && *c <= 0xFF)) {
            out += static_cast<char>(*c);
            continue;
        }
        bool found = false;
        for (size_t i = 0; i < kHighControls.size() && !found; ++i) {
            if (kHighControls[i] == *c) {
                out += static_cast<char>(0x80 + i);
                found = true;
            }
        }
        if (!found)
            return std::nullopt;
    }
    return out;
}

std::string ToWindowsText(std::string_view utf8) {
    if (std::optional<std::string> ansi = ToWindows1252(utf8))
        return *ansi;
    return std::string(utf8);
}

std::string FoldCase(std::string_view text) {
    std::string folded(text);
    bool ascii = true;
    for (char& c : folded) {
        c = LowerAscii(c);
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
    }
    if (ascii || !IsValidUtf8(text))
        return folded;
    for (size_t i = 0; i + 1 < folded.size(); ++i) {
        const auto lead = static_cast<unsigned char>(folded[i]);
        auto& next = reinterpret_cast<unsigned char&>(folded[i + 1]);
        if (lead == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
            next += 0x20; // U+00C0..U+00DE but the multiplication sign
        } else if (lead == 0xC5 && (next == 0x92 || next == 0xA0 || next == 0xBD)) {
            next += 1; // Œ, Š, Ž
        } else if (lead == 0xC5 && next == 0xB8) {
            folded[i] = static_cast<char>(0xC3); // Ÿ is U+0178, its small letter U+00FF
            next = 0xBF;
        }
    }
    return folded;
}

} // namespace platform
