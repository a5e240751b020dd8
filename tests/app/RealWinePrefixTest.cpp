// A real Wine prefix: `wine reg add` writes the game's DestDir as the game's installer would, Wine
// saves its registry, and the scan must find the folder from that file. Exits 77 (skipped) when
// Wine is not installed. Creating the prefix takes Wine a while.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TempDir.h"
#include "app/InstallationScan.h"
#include "platform/Process.h"

namespace {

constexpr int kSkipped = 77;

bool Run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        return false;
    }
    return true;
}

} // namespace

int main() {
    if (!platform::FindOnPath("wine") || !platform::FindOnPath("wineserver"))
        return kSkipped;
    testing_support::TempDir home;
    const std::string prefix = home / "prefix";
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    ::setenv("WINEDEBUG", "-all", 1);
    // No Mono or Gecko: a new prefix would otherwise offer to download them. No menu entries
    // either, and a home of its own, so the player's desktop menu is never touched.
    ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d", 1);
    home.MakeDirectory("home");
    ::setenv("HOME", (home / "home").c_str(), 1);
    // The folder name reaches Wine as UTF-8 and is stored with Wine's \x escapes.
    ::setenv("LC_ALL", "C.UTF-8", 1);

    const std::string folder = "C:\\Program Files\\Giants Caf\xC3\xA9";
    const bool written = Run("wine reg add 'HKCU\\Software\\PlanetMoon\\Giants' /v DestDir /t "
                             "REG_SZ /d '" +
                             folder + "' /f");
    // Wine writes user.reg when its server ends.
    Run("wineserver -w");
    if (!written)
        return 1;
    const std::string game = prefix + "/drive_c/Program Files/Giants Caf\xC3\xA9";
    home.WriteFile("prefix/drive_c/Program Files/Giants Caf\xC3\xA9/Giants.exe", "MZ");

    const app::ScanPlaces places{home / "home", home / "home/.local/share", home / "home/.config",
                                 prefix};
    const app::ScanResult result = app::ScanInstallations(places, std::chrono::seconds(10));
    if (result.games.size() != 1 || result.games[0].folder != game ||
        result.games[0].prefix != prefix) {
        std::fprintf(stderr, "expected %s; found %zu installations:\n", game.c_str(),
                     result.games.size());
        for (const app::FoundGame& found : result.games)
            std::fprintf(stderr, "  %s (%s)\n", found.folder.c_str(), found.source.c_str());
        std::string user = home.ReadFile("prefix/user.reg").value_or("<no user.reg>");
        const size_t at = user.find("PlanetMoon");
        std::fprintf(stderr, "user.reg: %s\n",
                     at == std::string::npos ? "no PlanetMoon key" : user.substr(at, 200).c_str());
        return 1;
    }
    std::printf("found %s\n", game.c_str());
    return 0;
}
