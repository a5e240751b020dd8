// Drives the settings store for bench/settings.bench.sh.
//   korvane_settings_bench make KEYS FILE   writes a store of KEYS keys, as a full export of a
//                                           user's registry holds them, plus Korvane's own two
//   korvane_settings_bench start FILE       GetRegistryItems on that store, as a start runs it
//   korvane_settings_bench write FILE       the Options dialog's three values stored into it
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Settings.h"

namespace {

int Make(long keys, const std::string& file) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr)
        return 1;
    std::fputs("REGEDIT4\n\n", out);
    // Vendors, their products and each product's keys, with a path and a number in most keys:
    // about 90 bytes a key, somewhat more than a Windows export holds.
    for (long i = 0; i < keys; ++i) {
        std::fprintf(out,
                     "[HKEY_CURRENT_USER\\Software\\Vendor%03ld\\Product%02ld\\Settings%06ld]\n",
                     i / 1000, (i / 100) % 10, i);
        if (i % 4 != 3)
            std::fprintf(
                out,
                "\"Path\"=\"C:\\\\Program Files\\\\Vendor%03ld\\\\%ld\"\n\"Count\"=dword:%08lx\n",
                i / 1000, i, i);
        std::fputs("\n", out);
    }
    std::fputs("[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"/home/player/korvane\"\n"
               "\"SecondsToJoin\"=dword:0000000a\n\"AutoJoin\"=dword:00000001\n\n"
               "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\n\"DestDir\"=\"/home/player/"
               "Giants\"\n\n",
               out);
    return std::fclose(out) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "make" && argc == 4)
        return Make(std::atol(argv[2]), argv[3]);
    if ((mode == "start" || mode == "write") && argc == 3) {
        ::setenv("KORVANE_REGISTRY", argv[2], 1);
        if (mode == "start")
            return GetRegistryItems() && g_nSecondsToJoin == 10 ? 0 : 1;
        return WriteKrvSettings({KrvSetting::Dword("SecondsToJoin", 10),
                                 KrvSetting::Dword("AutoJoin", 1),
                                 KrvSetting::Text("CMDLine", "-window")},
                                platform::Owner::None)
                   ? 0
                   : 1;
    }
    std::fprintf(stderr,
                 "usage: korvane_settings_bench make KEYS FILE | start FILE | write FILE\n");
    return 2;
}
