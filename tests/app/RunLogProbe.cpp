// A stand-in for Korvane's start: the run log made from its own arguments, and one line in it.
#include "app/RunLog.h"

int main(int argc, char** argv)
{
    CRunLog runLog(argc, argv);
    Log("probe running");
    return 0;
}
