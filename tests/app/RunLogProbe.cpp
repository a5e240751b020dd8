// A stand-in for Korvane's start for the run log tests: constructs the run log from its own
// arguments, writes one line, reports its (possibly emptied) arguments in the file named by
// argv[1], then stays alive until the file named by argv[2] exists.
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/RunLog.h"

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    CRunLog runLog(argc, argv);
    Log("probe running");
    {
        const std::string temporary = std::string(argv[1]) + ".part";
        std::ofstream ready(temporary);
        for (int i = 3; i < argc; ++i)
            ready << '[' << argv[i] << ']';
        ready.close();
        std::rename(temporary.c_str(), argv[1]);
    }
    for (int i = 0; i < 3000 && ::access(argv[2], F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 0;
}
