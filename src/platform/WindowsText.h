#pragma once
// Text at the boundary with Windows.
//
// Windows peers and Windows tools write text in the Western ANSI code page (Windows-1252): the
// announcement of an original host, .krv information written with Notepad, REGEDIT4 files. Linux
// file names, Qt and our own files use UTF-8. Every text that crosses that boundary passes through
// here, so there is one rule for it:
// - reading: valid UTF-8 is taken as UTF-8 (plain ASCII is both), anything else is Windows-1252;
// - writing for a peer: Windows-1252 when every character has a form there, else UTF-8 (a Windows
//   peer shows such a name garbled, but a Korvane peer reads it back exactly).
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Appends the UTF-8 form of one code point (up to U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// UTF-8 text of bytes that came from Windows or a peer, by the rule above. The five bytes that
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of
// the same number, as Windows' own conversion does, so no byte is ever lost.
std::string FromWindowsText(std::string_view bytes);

// The Windows-1252 bytes of UTF-8 text, or nothing when a character has no form there (or the
// text is not valid UTF-8).
std::optional<std::string> ToWindows1252(std::string_view utf8);

// What goes out to a peer for UTF-8 text: its Windows-1252 bytes when it has them, else the UTF-8.
std::string ToWindowsText(std::string_view utf8);

// Lower-cased copy for comparisons without regard to letter case, the same in every locale (in
// Turkish ones the C library's "I" is not the capital of "i", and it does not fold UTF-8 at all).
// Folds the ASCII letters and, in valid UTF-8 text, the other letters of Windows-1252 (À to Þ, Š,
// Œ, Ž, Ÿ): Windows and Wine match file names with those as one, and a peer names its modpacks
// in that code page. Every folded character keeps its length in bytes, so a position found in the
// copy is the same position in the original.
std::string FoldCase(std::string_view text);

} // namespace platform
