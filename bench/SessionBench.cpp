// Drives hosting and joining for bench/session.bench.sh.
//   korvane_session_bench host OWNDIR NAME   ServeLevel of OWNDIR\Modpacks\NAME (shared) on a free
//                                            port; prints "PORT port serve_ms" (after the
//                                            server's own lines), serves until stdin ends
//   korvane_session_bench join OWNDIR PORT   joins 127.0.0.1:PORT into OWNDIR\Modpacks; prints
//                                            the join's milliseconds and its peak memory above
//                                            idle in KiB
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "app/Settings.h"
#include "httpd/WebServer.h"
#include "modpack/Korvane.h"
#include "platform/MessageBoxes.h"
#include "session/HostPort.h"
#include "session/HostingSession.h"
#include "session/JoinDialogs.h"
#include "session/ModpackList.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A figure from /proc/self/status ("VmRSS", "VmHWM"), in KiB.
long StatusKib(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0)
            return std::atol(line.c_str() + key.size() + 1);
    }
    return -1;
}

class CountingMessages : public platform::MessageBoxes {
  public:
    void Show(const platform::Message& message) override {
        std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), message.text.c_str());
        ++shown;
    }
    int shown = 0;
};

// Checks the host once; should that fail, the second showing cancels instead of retrying for ever.
class JoinAlways : public JoinDialogs {
  public:
    HostCheckResult RunHostCheck() override {
        return m_shown++ == 0 ? HostCheckResult::CheckHost : HostCheckResult::Cancel;
    }
    bool RunModpackInfo(const std::string&, const std::string&, bool allowed) override {
        return allowed;
    }
    void OpenProgress() override {}
    void SetProgressRange(uint32_t) override {}
    void SetProgressPosition(uint32_t) override {}
    void CloseProgress() override {}

  private:
    int m_shown = 0;
};

class EmptyList : public ModpackList {
  public:
    int FindEntry(const std::string&) const override { return -1; }
    void SelectEntry(int) override {}
    int AppendEntry(const std::string&) override { return 1; }
};

int Host(const std::string& own, const std::string& name) {
    g_strKorvaneDir = own;
    WebServerOptions options;
    options.port = 0;
    options.fallbackPort = 0;
    SetWebServerOptions(options);
    CLevelInfo info;
    info.fileName = name;
    info.infoText = "ModInfo_UserMessage=benchmark\r\n";
    info.shareable = 1;
    const auto start = Clock::now();
    if (!ServeLevel(true, "", info))
        return 1;
    std::printf("PORT %u %.1f\n", g_HttpServer.ListeningPort(), MillisecondsSince(start));
    std::fflush(stdout);
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    StopServing();
    return 0;
}

int Join(const std::string& own, int port) {
    g_strKorvaneDir = own;
    SetHostPort(static_cast<uint16_t>(port));
    CountingMessages messages;
    platform::SetMessageBoxes(&messages);
    JoinAlways dialogs;
    EmptyList list;
    CKorvane korvane;
    korvane.SetJoinDialogs(&dialogs);
    CLevelInfo info;

    // Forget the peak so far, so that the peak below is the join's own.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long idle = StatusKib("VmRSS");
    const auto start = Clock::now();
    const bool joined = korvane.DownloadLevel(list, "127.0.0.1", info);
    const double spent = MillisecondsSince(start);
    const long peak = StatusKib("VmHWM");
    std::printf("%.1f %ld\n", spent, peak - idle);
    return joined && messages.shown == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "host" && argc == 4)
        return Host(argv[2], argv[3]);
    if (mode == "join" && argc == 4)
        return Join(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: %s host OWNDIR NAME | join OWNDIR PORT\n", argv[0]);
    return 2;
}
