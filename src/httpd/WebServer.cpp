#include "httpd/WebServer.h"

#include <signal.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/RunLog.h"
#include "app/Settings.h"
#include "httpd/Console.h"
#include "httpd/MyHttpClient.h"
#include "platform/Seam.h"
#include "platform/SystemCalls.h"

namespace {

constinit platform::Seam<WebServerOptions> g_options{WebServerOptions{}};

// The signal handler only writes the signal number into this pipe; the thread that reads it does
// the stopping, where locks and waits are allowed.
int g_signalPipe[2] = {-1, -1};

extern "C" void OnSignal(int signal) {
    const int savedErrno = errno;
    const char number = static_cast<char>(signal);
    // Only write(2) inside: async-signal-safe. A full pipe means a stop is pending already.
    platform::sys::WriteAll(g_signalPipe[1], std::string_view(&number, 1));
    errno = savedErrno;
}

void WatchSignals() {
    for (;;) {
        unsigned char number = 0;
        const ssize_t n = platform::sys::Read(g_signalPipe[0], &number, 1);
        if (n == 1)
            OnConsoleControl(number);
        else if (n < 0)
            return;
    }
}

// Installs the handling once per process; later hosting sessions find it in place. On failure
// errno tells why and the next call tries again.
bool InstallShutdownHandler() {
    static std::mutex lock;
    static bool installed = false;
    std::lock_guard<std::mutex> guard(lock);
    if (installed)
        return true;
    if (g_signalPipe[0] < 0 && !platform::sys::CreatePipe(g_signalPipe))
        return false;
    // A full pipe means a stop is pending already; the handler must never block.
    platform::sys::SetNonBlocking(g_signalPipe[1]);
    try {
        std::thread(WatchSignals).detach();
    } catch (const std::system_error& error) {
        errno = error.code().value();
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0)
        return false;
    installed = true;
    return true;
}

} // namespace

WebServerOptions SetWebServerOptions(WebServerOptions options) {
    return g_options.Exchange(options);
}

WebServerOptions GetWebServerOptions() {
    return g_options.Get();
}

uint16_t StartWebServer() {
    Log("StartWebServer()");
    const WebServerOptions options = GetWebServerOptions();

    CShareDirectory share;
    share.SetAlias("\\");
    share.m_strPath = g_strKorvaneDir + "\\Share";
    share.m_strDefaultFile = "index.html";

    CServerSettings settings;
    settings.m_Directories = {share};
    settings.m_nPort = options.port;
    settings.m_dwRequestTimeout = static_cast<uint32_t>(options.requestTimeout.count());
    settings.m_pClientClass = [] { return std::make_unique<CMyHttpClient>(); };

    PrintToConsole("Web server is starting...\n");
    uint16_t port = 0;
    if (g_HttpServer.StartListener(settings)) {
        port = g_HttpServer.ListeningPort();
    } else {
        PrintToConsolef("Failed to start the web server on port %d, GetLastError:%d\n",
                        settings.m_nPort, g_HttpServer.StartError());
        settings.m_nPort = options.fallbackPort;
        if (g_HttpServer.StartListener(settings))
            port = g_HttpServer.ListeningPort();
        else
            PrintToConsolef("Failed to start the web server on port %d, GetLastError:%d\n",
                            settings.m_nPort, g_HttpServer.StartError());
    }

    if (InstallShutdownHandler())
        PrintToConsolef("Server port %d\n", port != 0 ? port : settings.m_nPort);
    else
        PrintToConsolef("Failed to initialise console handler, GetLastError:%d\n", errno);
    return port;
}

bool OnConsoleControl(int /*signal*/) {
    PrintToConsole("Received request to shut down the Web Server\n");
    g_HttpServer.StopListener();
    return true;
}
