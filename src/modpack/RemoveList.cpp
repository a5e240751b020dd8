#include "modpack/RemoveList.h"

#include <algorithm>

namespace {

constexpr size_t kLineChunk = 259;
constexpr size_t kShortestName = 4;

} // namespace

std::vector<std::string> ParseRemoveList(const std::string& content) {
    std::vector<std::string> names;
    size_t position = 0;
    while (position < content.size()) {
        const size_t lineFeed = content.find('\n', position);
        const size_t end = lineFeed == std::string::npos ? content.size() : lineFeed + 1;
        std::string piece = content.substr(position, std::min(end - position, kLineChunk));
        position += piece.size();
        piece = piece.substr(0, piece.find_first_of("\r\n"));
        if (piece.size() >= kShortestName)
            names.push_back(piece);
    }
    return names;
}

std::string FormatRemoveList(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += name + "\r\n";
    return text;
}
