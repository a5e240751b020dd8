// A stand-in for Korvane's start: the run log made from its own arguments, and one line in it.
// With KORVANE_PROBE_CHDIR set it goes on as the program does: it changes directory (the engine
// does so freely), loads the settings and stores one, and ends with status 2 when either fails.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "app/RunLog.h"
#include "app/Settings.h"

int main(int argc, char** argv) {
    CRunLog runLog(argc, argv);
    Log("probe running");
    const char* elsewhere = std::getenv("KORVANE_PROBE_CHDIR");
    if (elsewhere == nullptr)
        return 0;
    if (::chdir(elsewhere) != 0)
        return 3;
    if (!GetRegistryItems() || !StoreKrvDword("AutoJoin", 1, platform::Owner::None))
        return 2;
    std::printf("%s\n%s\n", g_strGiantsDir.c_str(), g_strKorvaneDir.c_str());
    return 0;
}
