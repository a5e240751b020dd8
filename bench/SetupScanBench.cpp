// Drives the installation scan for bench/setup.bench.sh.
//   korvane_setup_bench make HOME     builds a fake home: 30 Wine and Proton prefixes with registry
//                                     files of a real prefix's size, 3 Steam libraries
//   korvane_setup_bench evict HOME    drops the home's files from the page cache
//   korvane_setup_bench scan HOME N   scans N times in one process; prints the first scan's and
//                                     the median later scan's milliseconds, and what was found
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/InstallationScan.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A registry file with `keys` keys of three values each, as Wine writes them: a fresh 64-bit
// prefix has about 1.5 MB of system.reg and 100 KB of user.reg.
std::string WineReg(int keys, const std::string& extra) {
    std::string text =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
    char line[256];
    for (int i = 0; i < keys; ++i) {
        std::snprintf(line, sizeof line,
                      "[Software\\\\Classes\\\\CLSID\\\\{%08X-0000-0000-C000-000000000046}] "
                      "1700000000\n#time=1d9f0e4c2b5a6e0\n@=\"Component %d\"\n"
                      "\"ThreadingModel\"=\"Both\"\n\"Flags\"=dword:%08x\n\n",
                      i, i, i);
        text += line;
    }
    return text + extra;
}

void MakePrefix(const fs::path& prefix, bool withGame) {
    fs::create_directories(prefix / "drive_c/windows/system32");
    fs::create_directories(prefix / "drive_c/Program Files/Common Files");
    fs::create_directories(prefix / "drive_c/Program Files (x86)/Internet Explorer");
    fs::create_directories(prefix / "dosdevices");
    fs::create_symlink("../drive_c", prefix / "dosdevices/c:");
    const std::string game = withGame ? "[Software\\\\PlanetMoon\\\\Giants] 1700000000\n"
                                        "\"DestDir\"=\"C:\\\\Program Files\\\\Giants\"\n"
                                      : "";
    Write(prefix / "user.reg", WineReg(800, game));
    Write(prefix / "system.reg", WineReg(12000, ""));
    if (withGame)
        Write(prefix / "drive_c/Program Files/Giants/giants.exe", "MZ");
}

int Make(const fs::path& home) {
    // 10 Wine prefixes, 5 Bottles, 15 Proton prefixes spread over 3 Steam libraries.
    MakePrefix(home / ".wine", true);
    for (int i = 0; i < 9; ++i)
        MakePrefix(home / ".local/share/wineprefixes" / fs::path("p").concat(std::to_string(i)),
                   false);
    for (int i = 0; i < 5; ++i)
        MakePrefix(home / ".local/share/bottles/bottles" / fs::path("b").concat(std::to_string(i)),
                   i == 0);
    const fs::path steam = home / ".local/share/Steam";
    std::string vdf = "\"libraryfolders\"\n{\n";
    for (int lib = 0; lib < 3; ++lib) {
        const fs::path library = lib == 0 ? steam : home / ("library" + std::to_string(lib));
        vdf += "\t\"" + std::to_string(lib) + "\"\n\t{\n\t\t\"path\"\t\t\"" + library.string() +
               "\"\n\t}\n";
        for (int g = 0; g < 20; ++g) {
            const fs::path common = library / "steamapps/common" / ("Game " + std::to_string(g));
            for (int f = 0; f < 10; ++f)
                Write(common / ("data" + std::to_string(f) + ".pak"), "data");
        }
        for (int p = 0; p < 5; ++p) {
            const fs::path compat = library / "steamapps/compatdata" / std::to_string(1000 + p);
            MakePrefix(compat / "pfx", lib == 2 && p == 0);
            Write(compat / "config_info",
                  "8.0-104\n" +
                      (steam / "steamapps/common/Proton 8.0/dist/share/fonts/\n").string());
        }
    }
    Write(steam / "steamapps/libraryfolders.vdf", vdf + "}\n");
    Write(steam / "steamapps/common/Proton 8.0/proton", "#!/bin/sh\n");
    fs::permissions(steam / "steamapps/common/Proton 8.0/proton", fs::perms::owner_all);
    fs::create_directories(home / ".steam");
    fs::create_symlink(steam, home / ".steam/steam");
    fs::create_symlink(steam, home / ".steam/root");
    return 0;
}

int Evict(const fs::path& home) {
    for (const auto& entry : fs::recursive_directory_iterator(home)) {
        if (!entry.is_regular_file() || entry.is_symlink())
            continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY);
        if (fd >= 0) {
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
    return 0;
}

int Scan(const fs::path& home, int runs) {
    const app::ScanPlaces places{home.string(), (home / ".local/share").string(),
                                 (home / ".config").string(), ""};
    std::vector<double> times;
    size_t found = 0;
    bool complete = true;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const app::ScanResult result = app::ScanInstallations(places, std::chrono::seconds(10));
        const std::chrono::duration<double, std::milli> spent =
            std::chrono::steady_clock::now() - start;
        times.push_back(spent.count());
        found = result.games.size();
        complete = complete && result.complete;
    }
    std::vector<double> later(times.begin() + 1, times.end());
    std::sort(later.begin(), later.end());
    const double warm = later.empty() ? times[0] : later[later.size() / 2];
    std::printf("%.1f %.1f %zu %s\n", times[0], warm, found, complete ? "complete" : "cut");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "make")
        return Make(argv[2]);
    if (argc >= 3 && std::string(argv[1]) == "evict")
        return Evict(argv[2]);
    if (argc >= 4 && std::string(argv[1]) == "scan")
        return Scan(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: korvane_setup_bench make|evict HOME | scan HOME RUNS\n");
    return 2;
}
