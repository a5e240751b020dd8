#pragma once
// Fake home folders in the layouts of Wine, Lutris, Bottles, Heroic and Steam, for the
// installation scan. Prefixes get their registry files as Wine writes them and a dosdevices
// folder with the links Wine makes.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace fake_home {

// A Wine registry file holding `body` (keys and values as Wine writes them).
inline std::string WineReg(const std::string& body) {
    return "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
           "#arch=win32\n\n[Control Panel\\\\Desktop] 1700000000\n#time=1d9\n"
           "\"Wallpaper\"=\"\"\n\n" +
           body;
}

// One key with one string value, both escaped by the caller as Wine escapes them.
inline std::string WineKey(const std::string& key, const std::string& values) {
    return "[" + key + "] 1700000001\n#time=1d9f\n" + values + "\n";
}

// A prefix at `relative`: drive_c, dosdevices/c: -> ../drive_c, and the two registry files.
inline void MakePrefix(const testing_support::TempDir& home, const std::string& relative,
                       const std::string& userKeys = "", const std::string& systemKeys = "") {
    home.MakeDirectory(relative + "/drive_c/windows/system32");
    home.MakeDirectory(relative + "/dosdevices");
    EXPECT_EQ(::symlink("../drive_c", (home / (relative + "/dosdevices/c:")).c_str()), 0);
    EXPECT_EQ(::symlink("/", (home / (relative + "/dosdevices/z:")).c_str()), 0);
    home.WriteFile(relative + "/user.reg", WineReg(userKeys));
    home.WriteFile(relative + "/system.reg", WineReg(systemKeys));
}

inline void MakeGame(const testing_support::TempDir& home, const std::string& folder,
                     const std::string& exe = "giants.exe") {
    home.WriteFile(folder + "/" + exe, std::string("MZ\x90\0", 4));
    home.WriteFile(folder + "/bin/worldlist.bin", "worlds");
}

inline void MakeExecutable(const testing_support::TempDir& home, const std::string& relative,
                           const std::string& script = "#!/bin/sh\nexit 0\n") {
    home.WriteFile(relative, script);
    ::chmod((home / relative).c_str(), 0755);
}

} // namespace fake_home
