#pragma once
// Two free functions of the engine: the checksum by which host and joining player compare
// modpack archives, and the emptying of a work folder (KRVTemp, Share).
#include <cstdint>
#include <string>
#include <vector>

// The 32-bit byte sum of the file (wrapping modulo 2^32). Shows "There was an error opening the
// zip file for checksum" and returns 0 when the file cannot be opened.
uint32_t GetFileSum(std::string path);

// Test seam: the code that adds up each block. Fastest (the default) takes the widest one the
// processor has; a test forces the narrower ones so that each runs on large blocks on any
// machine.
enum class FileSumCode { Fastest, Sse2, Portable };
FileSumCode SetFileSumCode(FileSumCode code); // returns the form in force before

// Creates the folder if needed, makes it current and deletes every file in it; sub-folders and
// what is below them are left alone. False, after a message, when it cannot be made current or
// a file in it cannot be deleted (the message names the first such file).
bool RemoveFiles(std::string path);

// What emptying a folder left behind: the files that could not be deleted, with the reason.
struct Leftover {
    std::string name; // empty when the folder itself could not be listed
    std::string reason;
};
// Deletes every file in the existing folder `path` without a message, for callers that report
// in their own way; the folder's current-ness is left alone.
std::vector<Leftover> DeleteFilesIn(const std::string& path);
// The message text RemoveFiles shows for a leftover of `path`.
std::string LeftoverMessage(const std::string& path, const Leftover& leftover);
