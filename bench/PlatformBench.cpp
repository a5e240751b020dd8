// Drives the platform layer for bench/platform.bench.sh.
//   korvane_platform_bench copy FROM TO          one CopyFile with overwrite
//   korvane_platform_bench resolve ROOT COUNT    prints microseconds per mixed-case ResolvePath
#include "platform/FileSystem.h"
#include "platform/GamePath.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int Copy(const std::string& from, const std::string& to) {
    platform::DiskFileSystem disk;
    if (disk.CopyFile(from, to, platform::Overwrite::Yes))
        return 0;
    std::fprintf(stderr, "copy failed: %s\n", platform::LastErrorText().c_str());
    return 1;
}

// ROOT holds bin/Override with files "Texture0000.tga" and on; the names are asked for in
// capitals, as a modpack written on Windows would, so every lookup lists the folder.
int Resolve(const std::string& root, int count) {
    const auto start = std::chrono::steady_clock::now();
    size_t sink = 0;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "TEXTURE%04d.TGA", i % 100);
        sink += platform::ResolvePath(root + "\\BIN\\OVERRIDE\\" + name).size();
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", spent.count() / count);
    return sink > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "copy" && argc == 4)
        return Copy(argv[2], argv[3]);
    if (mode == "resolve" && argc == 4)
        return Resolve(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: %s copy FROM TO | resolve ROOT COUNT\n", argv[0]);
    return 2;
}
