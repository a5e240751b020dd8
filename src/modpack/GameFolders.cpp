#include "modpack/GameFolders.h"

#include "app/Settings.h"

bool BelongsInBin(const std::string& fileName) {
    const std::string lower = platform::ToLower(fileName);
    return lower.ends_with(".abx") || lower.ends_with(".bin") || lower.ends_with(".gzp");
}

std::string GameFolderFor(const std::string& fileName) {
    return g_strGiantsDir + (BelongsInBin(fileName) ? "\\bin\\" : "\\bin\\Override\\");
}

bool IsReservedName(const std::string& fileName) {
    return platform::EqualsIgnoringCase(fileName, "GTextEnglish_orig.bin");
}
