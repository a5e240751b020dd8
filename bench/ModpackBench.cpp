// Drives the modpack engine for bench/modpack.bench.sh and bench/filesum.bench.sh.
//   korvane_modpack_bench install GAME OWN ARCHIVE   InstallLevel, then RestoreGiants
//   korvane_modpack_bench installtime GAME OWN ARCHIVE
//                                                    prints the milliseconds of InstallLevel
//                                                    alone, then restores (untimed)
//   korvane_modpack_bench info OWN                   GetKRVInfoFromGCK over every Modpacks/*.gck,
//                                                    prints the median milliseconds per archive
//   korvane_modpack_bench filesum FILE               prints GetFileSum of the file
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "modpack/Korvane.h"

namespace {

int InstallAndRestore(const std::string& game, const std::string& own, const std::string& archive) {
    g_strGiantsDir = game;
    g_strKorvaneDir = own;
    CKorvane engine;
    CLevelInfo info;
    info.fileName = archive;
    const auto start = std::chrono::steady_clock::now();
    if (!engine.InstallLevel(info))
        return 1;
    const auto installed = std::chrono::steady_clock::now();
    const bool restored = engine.RestoreGiants();
    // The split, for a look at where the time goes; the script times the whole run.
    using Ms = std::chrono::duration<double, std::milli>;
    std::fprintf(stderr, "install %.0f ms, restore %.0f ms\n", Ms(installed - start).count(),
                 Ms(std::chrono::steady_clock::now() - installed).count());
    return restored ? 0 : 1;
}

int TimeInstallation(const std::string& game, const std::string& own, const std::string& archive) {
    g_strGiantsDir = game;
    g_strKorvaneDir = own;
    CKorvane engine;
    CLevelInfo info;
    info.fileName = archive;
    const auto start = std::chrono::steady_clock::now();
    if (!engine.InstallLevel(info))
        return 1;
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", spent.count());
    return engine.RestoreGiants() ? 0 : 1;
}

int ReadInformation(const std::string& own) {
    g_strKorvaneDir = own;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(own + "/Modpacks"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    CKorvane engine;
    std::vector<double> spent;
    for (const std::string& name : names) {
        CLevelInfo info;
        const auto start = std::chrono::steady_clock::now();
        if (!engine.GetKRVInfoFromGCK(name, info))
            return 1;
        spent.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    if (spent.empty())
        return 1;
    std::sort(spent.begin(), spent.end());
    std::printf("%.3f\n", spent[spent.size() / 2]);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "install" && argc == 5)
        return InstallAndRestore(argv[2], argv[3], argv[4]);
    if (mode == "installtime" && argc == 5)
        return TimeInstallation(argv[2], argv[3], argv[4]);
    if (mode == "info" && argc == 3)
        return ReadInformation(argv[2]);
    if (mode == "filesum" && argc == 3) {
        std::printf("%u\n", GetFileSum(argv[2]));
        return 0;
    }
    std::fprintf(stderr,
                 "usage: %s install|installtime GAME OWN ARCHIVE | info OWN | filesum FILE\n",
                 argv[0]);
    return 2;
}
