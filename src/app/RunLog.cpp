#include "app/RunLog.h"

#include <fcntl.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/RegKey.h"
#include "app/Settings.h"
#include "platform/Clock.h"
#include "platform/GamePath.h"
#include "platform/MessageBoxes.h"
#include "platform/RegistryStore.h"
#include "platform/SystemCalls.h"
#include "platform/TextMode.h"

CRunLog* g_pRunLog = nullptr;

namespace {

constexpr const char* kSwitch = "-krvdebug";

constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};

// "%H:%M, %A, %B %d, %Y" with English names whatever the user's locale, as the log always had.
std::string FormatOpeningTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[96];
    std::snprintf(text, sizeof text, "%02d:%02d, %s, %s %02d, %d", local.tm_hour, local.tm_min,
                  kWeekdays[local.tm_wday % 7], kMonths[local.tm_mon % 12], local.tm_mday,
                  local.tm_year + 1900);
    return text;
}

[[noreturn]] void RefuseStart() {
    platform::ShowMessage("Korvane already running", platform::kErrorCaption);
    std::exit(1);
}

} // namespace

CRunLog::CRunLog(int argc, char** argv) {
    g_pRunLog = this;
    // The run log is made first at start, before anything can change the current directory.
    platform::AnchorRegistryPath();
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr && std::strcmp(argv[i], kSwitch) == 0) {
            m_bEnabled = true;
            argv[i][0] = '\0';
        }
    }
    if (!m_bEnabled)
        return;

    bool readable = false;
    {
        const RegistryReading reading;
        readable = reading.Error().empty();
        g_strKorvaneDir = QueryString("Software\\KRV", "DestDir");
    }
    // Without a readable store and a full own directory there is no place for the log: it is
    // never put at the file system root or into the current directory. The start goes on, and
    // GetRegistryItems tells the player what to fix (the line that does not parse, the missing
    // or relative directory) instead of a misleading "already running".
    if (!readable || !IsFullFolderPath(g_strKorvaneDir))
        return;
    const std::string path = platform::ResolvePath(g_strKorvaneDir + "\\KRVRun.log");

    // The lock is taken before the file is emptied, so that a second traced instance is refused
    // without harming the log of the one that runs.
    namespace sys = platform::sys;
    sys::FileDescriptor fd = sys::Open(path, O_WRONLY | O_CREAT, 0644);
    if (!fd.IsOpen())
        RefuseStart();
    if (!sys::TryLockExclusive(fd.Get()) || !sys::Truncate(fd.Get(), 0)) {
        fd.Close();
        RefuseStart();
    }
    m_file = sys::OpenStream(fd, "w");
    if (m_file == nullptr) {
        fd.Close();
        RefuseStart();
    }
    const std::string banner = "\n===========================\nLog file opened @ " +
                               FormatOpeningTime(platform::Now()) + "\n";
    const std::string bytes = platform::ToTextMode(banner);
    std::fwrite(bytes.data(), 1, bytes.size(), m_file);
    std::fflush(m_file);
}

CRunLog::~CRunLog() {
    if (m_file != nullptr)
        std::fclose(m_file); // also releases the lock held on its descriptor
    if (g_pRunLog == this)
        g_pRunLog = nullptr;
}

void CRunLog::Log(std::string text) {
    if (!m_bEnabled || m_file == nullptr)
        return;
    const std::string bytes = platform::ToTextMode(text + "\n");
    std::fwrite(bytes.data(), 1, bytes.size(), m_file);
    std::fflush(m_file);
}

void Log(std::string text) {
    if (g_pRunLog != nullptr)
        g_pRunLog->Log(std::move(text));
}
