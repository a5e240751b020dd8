// The game's world list, bin\worldlist.bin: which worlds (maps) the game offers.

#include "app/RunLog.h"
#include "app/Settings.h"
#include "modpack/Korvane.h"
#include "platform/FileSystem.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"
#include "platform/Numbers.h"
#include "platform/WindowsText.h"

namespace {

constexpr uint32_t kWorldListMagic = 0x1A0003D0;
constexpr int32_t kFirstWorldTag = 31;
constexpr size_t kTypeDigits = 16;

// The signed decimal number at the start of at most 16 characters, as the type of a world, read
// the same in every locale. Text that holds no number gives type 0, the type of the game's own
// first world.
int32_t ReadType(const std::string& text, size_t from) {
    return platform::ScanInt32(std::string_view(text).substr(from, kTypeDigits)).value_or(0);
}

void PutWord(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

bool CKorvane::GetMapArray(const std::string& infoText, std::array<std::string, kMaxWorlds>& names,
                           std::array<int32_t, kMaxWorlds>& types, int& count) {
    Log("CKorvane::GetMapArray()");
    const std::string nameKey = "modinfo_binname=";
    const std::string typeKey = "modinfo_bintype=";
    names[0] = "intro_island";
    types[0] = 0;
    count = 1;
    int next = 1;
    const std::string lower = platform::ToLower(infoText);
    size_t lineStart = 0;
    while (lineStart < infoText.size() && next < kMaxWorlds) {
        const size_t lineFeed = infoText.find('\n', lineStart);
        const size_t lineEnd = lineFeed == std::string::npos ? infoText.size() : lineFeed;
        const size_t key = lower.substr(lineStart, lineEnd - lineStart).find(nameKey);
        if (key != std::string::npos) {
            const size_t valueStart = lineStart + key + nameKey.size();
            const std::string value = infoText.substr(valueStart, lineEnd - valueStart);
            const size_t type = lower.find(typeKey, lineStart);
            if (type != std::string::npos && !value.empty()) {
                if (platform::ToLower(value.substr(0, 2)) != "w_") {
                    platform::ShowMessage("Incorrect information in KRV info - WorldName invalid",
                                          platform::kErrorCaption);
                    return false;
                }
                std::string name = value.substr(2);
                name = name.substr(0, platform::ToLower(name).find(".bin"));
                types[next] = ReadType(infoText, type + typeKey.size());
                // The game reads its world list in its Windows code page.
                names[next] = platform::ToWindowsText(name);
                ++next;
            }
        }
        if (lineFeed == std::string::npos)
            break;
        lineStart = lineFeed + 1;
    }
    count = next;
    return true;
}

bool CKorvane::EditWorldlist(const CLevelInfo& info) {
    Log("CKorvane::EditWorldlist()");
    std::array<std::string, kMaxWorlds> names;
    std::array<int32_t, kMaxWorlds> types{};
    int count = 1;
    GetMapArray(info.infoText, names, types, count);

    platform::FileSystem& files = platform::Files();
    // Named once, before the delete: the new list takes the name the game's list has on disk
    // (WorldList.bin, say), which a lookup after the delete would no longer find.
    const std::string target = platform::ResolvePath(g_strGiantsDir + "\\bin\\worldlist.bin");
    files.DeleteFile(target);
    if (count == 1) {
        files.CopyFile(g_strKorvaneDir + "\\KRVworldlist.bin", target, platform::Overwrite::Yes);
        return true;
    }

    const uint32_t n = static_cast<uint32_t>(count);
    uint32_t nameBytes = 0;
    for (int i = 0; i < count; ++i)
        nameBytes += static_cast<uint32_t>(names[i].size());
    std::string out;
    PutWord(out, kWorldListMagic);
    PutWord(out, 4 + 13 * n + nameBytes);
    PutWord(out, n);
    uint32_t position = 4 * n + 4;
    for (int i = 0; i < count; ++i) {
        PutWord(out, position);
        position += static_cast<uint32_t>(names[i].size()) + 9;
    }
    for (int i = 0; i < count; ++i) {
        out += names[i];
        out += '\0';
        PutWord(out, static_cast<uint32_t>(types[i]));
        PutWord(out, static_cast<uint32_t>(kFirstWorldTag + i));
    }
    if (!files.WriteFile(target, out)) {
        platform::ShowMessage("Error writing to worldlist.bin", platform::kErrorCaption);
        return false;
    }
    return true;
}
