#pragma once
// One modpack as the catalogue knows it, copied by value between the list and the operations.
#include <cstdint>
#include <string>

class CLevelInfo {
  public:
    virtual ~CLevelInfo() = default;

    std::string fileName;     // archive file name with its extension, as listed in Modpacks
    std::string infoFileName; // name of the .krv file found in the archive
    std::string comment;      // comment prepared for display
    std::string infoText;     // whole text of the .krv file
    int32_t shareable = 0;    // 1: the modpack may be served to joining players
};
