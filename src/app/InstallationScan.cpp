#include "app/InstallationScan.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "app/LauncherConfigs.h"
#include "app/WinePrefix.h"
#include "platform/GamePath.h"
#include "platform/SystemCalls.h"
#include "platform/WineRegFile.h"

namespace app {

namespace {

using Clock = std::chrono::steady_clock;

// A folder with more entries than this is not an install folder; reading on would only spend the
// budget (a home folder on a network share, a photo archive).
constexpr size_t kMaxEntries = 4096;
// A Proton prefix's system.reg is a few megabytes; anything far larger is not a registry file.
constexpr size_t kMaxRegistryBytes = 64u << 20;
constexpr size_t kMaxConfigBytes = 1u << 20;
// Folders below an install root searched for giants.exe: "Program Files/Giants" is one level,
// "Program Files/Interplay/Giants" two.
constexpr int kSearchDepth = 2;

constexpr const char* kGiantsKey = "Software\\PlanetMoon\\Giants";
constexpr const char* kGiantsKey32 = "Software\\Wow6432Node\\PlanetMoon\\Giants";
constexpr const char* kKrvKey = "Software\\KRV";

// What the scanner and the waiting caller share; the scanner's thread may outlive the call.
struct Shared {
    std::mutex mutex;
    std::condition_variable finished;
    ScanResult result;
    bool done = false;
};

using platform::sys::IsDirectory;

bool IsFile(const std::string& path) {
    struct stat status {};
    return platform::sys::Status(path, status) && S_ISREG(status.st_mode);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string LastName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

class Scanner {
  public:
    Scanner(ScanPlaces places, std::shared_ptr<Shared> shared, Clock::time_point deadline)
        : m_places(std::move(places)), m_shared(std::move(shared)), m_deadline(deadline) {}

    void Run() {
        const std::string& home = m_places.home;
        if (!m_places.winePrefix.empty())
            Prefix(m_places.winePrefix, "Wine", "", "");
        Prefix(home + "/.wine", "Wine", "", "");
        for (const std::string& name : SubFolders(m_places.dataHome + "/wineprefixes"))
            Prefix(m_places.dataHome + "/wineprefixes/" + name, "Wine", "", "");
        Lutris();
        Bottles();
        Heroic();
        Steam();
        // Lutris and Heroic install into ~/Games by default: prefixes and plain folders alike.
        for (const std::string& name : SubFolders(home + "/Games")) {
            const std::string folder = home + "/Games/" + name;
            if (IsDirectory(folder + "/drive_c"))
                Prefix(folder, "Wine", "", "");
            else
                Search(folder, kSearchDepth,
                       {"", "Folder", "", "", "a plain folder, started with wine"});
        }
        MachineRegistries();
    }

  private:
    bool Expired() {
        if (!m_expired && Clock::now() >= m_deadline)
            m_expired = true;
        return m_expired;
    }

    // False for a folder already seen under another name (a link, ~/.steam/steam and
    // ~/.local/share/Steam), so that no link loop and no second path repeats a search.
    bool FirstVisit(const std::string& path) {
        struct stat status {};
        if (!platform::sys::Status(path, status) || !S_ISDIR(status.st_mode))
            return false;
        return m_visited.insert({status.st_dev, status.st_ino}).second;
    }

    std::vector<std::string> SubFolders(const std::string& folder) {
        std::vector<std::string> names;
        if (Expired())
            return names;
        platform::sys::Directory dir(folder);
        bool failed = false;
        size_t seen = 0;
        while (const dirent* entry = dir.Next(failed)) {
            if (++seen > kMaxEntries)
                break;
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            if (entry->d_type == DT_DIR ||
                ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                 IsDirectory(folder + "/" + name)))
                names.push_back(name);
        }
        // Directory order differs between file systems; the list should not.
        std::sort(names.begin(), names.end());
        return names;
    }

    std::optional<std::string> ReadSmall(const std::string& path, size_t limit) {
        if (Expired())
            return std::nullopt;
        platform::sys::FileDescriptor file = platform::sys::Open(path, O_RDONLY | O_NONBLOCK);
        struct stat status {};
        if (!file.IsOpen() || !platform::sys::FileStatus(file.Get(), status) ||
            !S_ISREG(status.st_mode) || static_cast<size_t>(status.st_size) > limit)
            return std::nullopt;
        std::string bytes;
        if (!platform::sys::ReadAll(file.Get(), bytes))
            return std::nullopt;
        return bytes;
    }

    void AddGame(FoundGame game) {
        struct stat status {};
        if (!platform::sys::Status(game.folder, status) ||
            !m_games.insert({status.st_dev, status.st_ino}).second)
            return;
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->result.games.push_back(std::move(game));
    }

    // The first folder holding giants.exe: `folder` itself or one `depth` levels below it.
    std::optional<std::string> FindGame(const std::string& folder, int depth) {
        if (Expired() || !FirstVisit(folder))
            return std::nullopt;
        if (HoldsGame(folder))
            return folder;
        if (depth > 0)
            for (const std::string& name : SubFolders(folder))
                if (std::optional<std::string> found = FindGame(folder + "/" + name, depth - 1))
                    return found;
        return std::nullopt;
    }

    // Adds every folder holding giants.exe: `folder` itself or those up to `depth` levels below.
    void Search(const std::string& folder, int depth, const FoundGame& how) {
        if (Expired() || !FirstVisit(folder))
            return;
        if (HoldsGame(folder)) {
            FoundGame game = how;
            game.folder = folder;
            AddGame(std::move(game));
            return;
        }
        if (depth > 0)
            for (const std::string& name : SubFolders(folder))
                Search(folder + "/" + name, depth - 1, how);
    }

    // One Wine or Proton prefix: the folders its registry names, else the usual install folders.
    void Prefix(const std::string& prefix, const std::string& source, const std::string& launcher,
                std::string how) {
        struct stat status {};
        if (Expired() || !IsDirectory(prefix + "/drive_c") ||
            !platform::sys::Status(prefix, status) ||
            !m_prefixes.insert({status.st_dev, status.st_ino}).second)
            return;
        if (how.empty())
            how = "Wine prefix " + prefix + ", started with " +
                  (launcher.empty() ? std::string("wine") : launcher) + " and WINEPREFIX set to it";
        const FoundGame found{"", source, prefix, launcher, how};

        if (std::optional<std::string> user = ReadSmall(prefix + "/user.reg", kMaxRegistryBytes)) {
            const auto keys = platform::ReadWineRegistry(*user, {kGiantsKey, kKrvKey});
            if (auto own = platform::WineString(keys, kKrvKey, "DestDir"))
                AddKorvane(prefix, *own, keys);
            if (auto dest = platform::WineString(keys, kGiantsKey, "DestDir"))
                if (AddNamed(found, *dest))
                    return;
        }
        const size_t before = m_games.size();
        const std::string drive = prefix + "/drive_c";
        for (const char* root : {"Program Files", "Program Files (x86)", "Games", "GOG Games"})
            Search(platform::ResolvePath(drive + "/" + root), kSearchDepth, found);
        // The machine's hive is large (megabytes in every prefix) and an installer seldom writes
        // only there, so it is read after every place has been seen once.
        if (m_games.size() == before)
            m_machinePending.push_back(found);
    }

    // The prefixes in which neither user.reg nor the usual folders showed the game.
    void MachineRegistries() {
        for (const FoundGame& found : m_machinePending) {
            const std::optional<std::string> system =
                ReadSmall(found.prefix + "/system.reg", kMaxRegistryBytes);
            if (!system)
                continue;
            const auto keys = platform::ReadWineRegistry(*system, {kGiantsKey, kGiantsKey32});
            for (const char* key : {kGiantsKey, kGiantsKey32})
                if (auto dest = platform::WineString(keys, key, "DestDir"))
                    AddNamed(found, *dest);
        }
    }

    // Adds the folder a DestDir of the prefix names, when it holds the game.
    bool AddNamed(const FoundGame& found, std::string windows) {
        while (windows.size() > 3 && windows.back() == '\\')
            windows.pop_back();
        const std::optional<std::string> folder = MapWindowsPath(found.prefix, windows);
        if (!folder || !HoldsGame(*folder))
            return false;
        FoundGame game = found;
        game.folder = *folder;
        AddGame(std::move(game));
        return true;
    }

    void AddKorvane(const std::string& prefix, const std::string& own,
                    const std::map<std::string, platform::WineRegKey>& keys) {
        std::string windows = own;
        while (windows.size() > 3 && windows.back() == '\\')
            windows.pop_back();
        const std::optional<std::string> folder = MapWindowsPath(prefix, windows);
        if (!folder || !IsDirectory(*folder))
            return;
        FoundKorvane korvane{*folder, prefix, platform::WineString(keys, kKrvKey, "CMDLine"),
                             platform::WineDword(keys, kKrvKey, "SecondsToJoin"),
                             platform::WineDword(keys, kKrvKey, "AutoJoin")};
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        for (const FoundKorvane& known : m_shared->result.korvanes)
            if (known.folder == korvane.folder)
                return;
        m_shared->result.korvanes.push_back(std::move(korvane));
    }

    void Lutris() {
        const std::string& home = m_places.home;
        const std::string flatpak = home + "/.var/app/net.lutris.Lutris";
        const std::pair<std::string, std::string> installs[] = {
            {m_places.configHome + "/lutris/games", m_places.dataHome + "/lutris"},
            {m_places.dataHome + "/lutris/games", m_places.dataHome + "/lutris"},
            {flatpak + "/config/lutris/games", flatpak + "/data/lutris"},
            {flatpak + "/data/lutris/games", flatpak + "/data/lutris"}};
        for (const auto& [games, data] : installs) {
            if (!FirstVisit(games))
                continue;
            for (const std::string& name : Files(games, ".yml")) {
                const std::optional<std::string> text =
                    ReadSmall(games + "/" + name, kMaxConfigBytes);
                if (!text)
                    continue;
                const LutrisGame game = ReadLutrisGame(*text);
                std::string launcher;
                std::string runs = "wine";
                if (!game.wineVersion.empty()) {
                    const std::string wine =
                        data + "/runners/wine/" + game.wineVersion + "/bin/wine";
                    if (IsFile(wine)) {
                        launcher = wine;
                        runs = "Lutris' Wine " + game.wineVersion;
                    }
                }
                const std::string prefix = ExpandHome(game.prefix);
                if (!prefix.empty())
                    Prefix(prefix, "Lutris", launcher,
                           "Lutris prefix " + prefix + ", started with " + runs +
                               " and WINEPREFIX set to it");
                const std::string exe = ExpandHome(game.exe);
                if (!exe.empty() && exe.front() == '/' &&
                    platform::EqualsIgnoringCase(LastName(exe), "giants.exe"))
                    Search(Parent(exe), 0,
                           {"", "Lutris", prefix, launcher, "Lutris game, started with " + runs});
            }
        }
    }

    void Bottles() {
        const std::pair<std::string, bool> roots[] = {
            {m_places.dataHome + "/bottles", false},
            {m_places.home + "/.var/app/com.usebottles.bottles/data/bottles", true}};
        for (const auto& [root, flatpak] : roots) {
            for (const std::string& name : SubFolders(root + "/bottles")) {
                const std::string bottle = root + "/bottles/" + name;
                std::string launcher;
                std::string runs = "wine";
                // A Flatpak runner is built against the Flatpak runtime and does not run outside
                // it, so those bottles start with the system's Wine.
                if (!flatpak) {
                    if (auto text = ReadSmall(bottle + "/bottle.yml", kMaxConfigBytes)) {
                        if (auto runner = BottleRunner(*text)) {
                            const std::string wine = root + "/runners/" + *runner + "/bin/wine";
                            if (IsFile(wine)) {
                                launcher = wine;
                                runs = "its Bottles runner " + *runner;
                            }
                        }
                    }
                }
                Prefix(bottle, flatpak ? "Bottles (Flatpak)" : "Bottles", launcher,
                       "Bottles bottle " + name + ", started with " + runs +
                           " and WINEPREFIX set to it");
            }
        }
    }

    // How Heroic runs the games of one configuration: in which prefix, through which launcher.
    struct HeroicRunner {
        std::string prefix;   // "" when the configuration names none
        std::string launcher; // "" for wine on the PATH
        std::string how;      // "Heroic prefix P, started with ..."
    };
    HeroicRunner HeroicRunnerOf(const HeroicGame& game) const {
        const std::string folder = ExpandHome(game.winePrefix);
        if (folder.empty())
            return {};
        // Heroic gives Proton the folder as its compatibility data; the prefix is its pfx.
        if (game.wineType == "proton" && IsFile(game.wineBin))
            return {folder + "/pfx", game.wineBin,
                    "Heroic Proton prefix " + folder + ", started through " + game.wineBin +
                        " run, as Heroic starts it"};
        const std::string wine = IsFile(game.wineBin) ? game.wineBin : "";
        return {folder, wine,
                "Heroic prefix " + folder + ", started with " + (wine.empty() ? "wine" : wine) +
                    " and WINEPREFIX set to it"};
    }

    void Heroic() {
        const std::string& home = m_places.home;
        for (const std::string& config :
             {m_places.configHome + "/heroic",
              home + "/.var/app/com.heroicgameslauncher.hgl/config/heroic"}) {
            const std::string games = config + "/GamesConfig";
            if (!FirstVisit(games))
                continue;
            for (const std::string& name : Files(games, ".json")) {
                const std::optional<std::string> text =
                    ReadSmall(games + "/" + name, kMaxConfigBytes);
                if (!text)
                    continue;
                const HeroicRunner runner = HeroicRunnerOf(ReadHeroicGame(*text));
                if (!runner.prefix.empty())
                    Prefix(runner.prefix, "Heroic", runner.launcher, runner.how);
            }
            // Games from a store lie in folders of their own, outside the prefix they run in.
            const std::optional<std::string> installed =
                ReadSmall(config + "/gog_store/installed.json", kMaxConfigBytes);
            for (const HeroicInstall& install :
                 installed ? ReadHeroicInstalled(*installed) : std::vector<HeroicInstall>{}) {
                if (!platform::IsPlainFileName(install.appName))
                    continue;
                const std::optional<std::string> text =
                    ReadSmall(games + "/" + install.appName + ".json", kMaxConfigBytes);
                const HeroicRunner runner =
                    text ? HeroicRunnerOf(ReadHeroicGame(*text)) : HeroicRunner{};
                Search(ExpandHome(install.installPath), 1,
                       {"", "Heroic", runner.prefix, runner.launcher,
                        "Heroic game" + (runner.prefix.empty() ? ", started with wine"
                                                               : " run in its " + runner.how)});
            }
        }
        for (const std::string& base :
             {home + "/Games/Heroic/Prefixes", home + "/Games/Heroic/Prefixes/default"})
            for (const std::string& name : SubFolders(base))
                Prefix(base + "/" + name, "Heroic", "", "");
        for (const std::string& name : SubFolders(home + "/Games/Heroic"))
            if (name != "Prefixes")
                Search(home + "/Games/Heroic/" + name, 1,
                       {"", "Heroic", "", "", "Heroic game folder, started with wine"});
    }

    void Steam() {
        const std::string& home = m_places.home;
        const std::string flatpak = home + "/.var/app/com.valvesoftware.Steam";
        const std::pair<std::string, const char*> roots[] = {
            {home + "/.steam/root", "Steam"},
            {home + "/.steam/steam", "Steam"},
            {m_places.dataHome + "/Steam", "Steam"},
            {home + "/.local/share/Steam", "Steam"},
            {flatpak + "/.local/share/Steam", "Steam (Flatpak)"},
            {flatpak + "/data/Steam", "Steam (Flatpak)"}};
        for (const auto& [root, source] : roots) {
            if (!FirstVisit(root))
                continue;
            std::vector<std::string> libraries{root};
            for (const char* list : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"})
                if (auto text = ReadSmall(root + list, kMaxConfigBytes))
                    for (std::string& library : LibraryFolders(*text))
                        libraries.push_back(std::move(library));
            for (const std::string& library : libraries)
                SteamLibrary(library, source);
        }
    }

    void SteamLibrary(const std::string& library, const std::string& source) {
        const std::string apps = platform::ResolvePath(library + "/steamapps");
        if (!FirstVisit(apps))
            return;
        for (const std::string& name : SubFolders(apps + "/common")) {
            // Which Proton runs a game is looked up only for the folder that holds it: a library
            // has many games and as many manifests.
            const std::optional<std::string> folder = FindGame(apps + "/common/" + name, 1);
            if (!folder)
                continue;
            FoundGame game{*folder, source, "", "", ""};
            const std::optional<std::string> compat = SteamCompatData(*folder);
            const std::optional<std::string> proton =
                compat ? ProtonOf(*compat) : std::optional<std::string>();
            if (proton) {
                game.prefix = *compat + "/pfx";
                game.launcher = *proton + "/proton";
                game.how = "Steam game, started through " + game.launcher +
                           " run with its Proton prefix " + game.prefix + ", as Steam starts it";
            } else {
                game.how = "Steam game not yet started through Proton, started with wine";
            }
            AddGame(std::move(game));
        }
        for (const std::string& id : SubFolders(apps + "/compatdata")) {
            const std::string compat = apps + "/compatdata/" + id;
            const std::optional<std::string> proton = ProtonOf(compat);
            if (proton)
                Prefix(compat + "/pfx", source, *proton + "/proton",
                       "Proton prefix " + compat + "/pfx, started through " + *proton +
                           "/proton run, as Steam starts it");
            else
                Prefix(compat + "/pfx", source, "",
                       "Proton prefix " + compat +
                           "/pfx whose Proton is gone, started with wine and WINEPREFIX set to it");
        }
    }

    // The Proton that last ran a compatibility-data folder, when it is still installed.
    std::optional<std::string> ProtonOf(const std::string& compat) {
        const std::optional<std::string> text = ReadSmall(compat + "/config_info", kMaxConfigBytes);
        if (!text)
            return std::nullopt;
        std::optional<std::string> proton = ProtonFromConfigInfo(*text);
        if (!proton || !IsFile(*proton + "/proton"))
            return std::nullopt;
        return proton;
    }

    std::vector<std::string> Files(const std::string& folder, const std::string& suffix) {
        std::vector<std::string> names;
        platform::sys::Directory dir(folder);
        bool failed = false;
        size_t seen = 0;
        while (const dirent* entry = dir.Next(failed)) {
            if (++seen > kMaxEntries || Expired())
                break;
            const std::string name = entry->d_name;
            if (name.size() > suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string ExpandHome(const std::string& path) const {
        if (path == "~" || path.rfind("~/", 0) == 0)
            return m_places.home + path.substr(1);
        return path;
    }

  public:
    bool TimedOut() const { return m_expired; }

  private:
    ScanPlaces m_places;
    std::shared_ptr<Shared> m_shared;
    Clock::time_point m_deadline;
    bool m_expired = false;
    std::set<std::pair<dev_t, ino_t>> m_visited;
    std::set<std::pair<dev_t, ino_t>> m_games;
    std::set<std::pair<dev_t, ino_t>> m_prefixes;
    std::vector<FoundGame> m_machinePending;
};

} // namespace

ScanPlaces ScanPlaces::FromEnvironment() {
    ScanPlaces places;
    places.home = Env("HOME");
    places.dataHome = Env("XDG_DATA_HOME");
    if (places.dataHome.empty())
        places.dataHome = places.home + "/.local/share";
    places.configHome = Env("XDG_CONFIG_HOME");
    if (places.configHome.empty())
        places.configHome = places.home + "/.config";
    places.winePrefix = Env("WINEPREFIX");
    return places;
}

bool HoldsGame(const std::string& folder) {
    if (IsFile(folder + "/giants.exe"))
        return true;
    platform::sys::Directory dir(folder);
    bool failed = false;
    size_t seen = 0;
    while (const dirent* entry = dir.Next(failed)) {
        if (++seen > kMaxEntries)
            return false;
        if (platform::EqualsIgnoringCase(entry->d_name, "giants.exe"))
            return IsFile(folder + "/" + entry->d_name);
    }
    return false;
}

ScanResult ScanInstallations(const ScanPlaces& places, std::chrono::milliseconds budget) {
    auto shared = std::make_shared<Shared>();
    const Clock::time_point deadline = Clock::now() + budget;
    std::thread([places, shared, deadline] {
        Scanner scanner(places, shared, deadline);
        scanner.Run();
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->result.complete = !scanner.TimedOut();
        shared->done = true;
        shared->finished.notify_all();
    }).detach();

    std::unique_lock<std::mutex> lock(shared->mutex);
    // A call that hangs in the kernel (a dead network mount) cannot see the deadline; the caller
    // stops waiting for it a little later and takes what was found so far.
    const bool done = shared->finished.wait_until(lock, deadline + std::chrono::milliseconds(200),
                                                  [&] { return shared->done; });
    ScanResult result = shared->result;
    if (!done)
        result.complete = false;
    return result;
}

} // namespace app
