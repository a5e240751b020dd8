// A stand-in for giants.exe that records how it was started: the file named by
// KORVANE_TEST_ARGV_FILE receives the current directory and then each argument, one a line. It
// sleeps KORVANE_TEST_GAME_SLEEP_MS, then exits with KORVANE_TEST_GAME_EXIT (0 when unset).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    if (const char* path = std::getenv("KORVANE_TEST_ARGV_FILE")) {
        if (std::FILE* f = std::fopen(path, "w")) {
            char cwd[4096] = {};
            std::fprintf(f, "%s\n", getcwd(cwd, sizeof cwd) != nullptr ? cwd : "?");
            for (int i = 0; i < argc; ++i)
                std::fprintf(f, "%s\n", argv[i]);
            std::fclose(f);
        }
    }
    if (const char* sleep = std::getenv("KORVANE_TEST_GAME_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleep)));
    const char* status = std::getenv("KORVANE_TEST_GAME_EXIT");
    return status != nullptr ? std::atoi(status) : 0;
}
