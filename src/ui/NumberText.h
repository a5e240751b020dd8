#pragma once
// Reading decimal numbers from typed text the way a formatted scan of "%d" does: leading blanks
// and a sign are allowed, at least one digit is needed, and the rest of the text is left unread.
#include <cstddef>
#include <optional>
#include <string_view>

namespace ui {

// The number at the start of the text, limited to 0..60 as the join countdown needs.
std::optional<int> ReadCountdownSeconds(std::string_view text);

// The first `limit` bytes of the text, without cutting a UTF-8 sequence in two.
std::string_view CutToBytes(std::string_view text, size_t limit);

// True for four dot-separated numbers of 0..255 at the start of the text, except 0.0.0.0 and
// 255.255.255.255; text after the fourth number is ignored. Shows "Invalid IP address" otherwise.
bool ValidateIPAddress(std::string_view text);

} // namespace ui
