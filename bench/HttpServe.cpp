// httpd_serve OWN_DIR PORT [HOSTED_ARCHIVE]: serves OWN_DIR/Share as a hosting session would, on
// PORT only, until SIGINT or SIGTERM. Used by the benchmarks in bench/.
#include <cstdio>
#include <cstdlib>

#include "app/Settings.h"
#include "httpd/HostedModpack.h"
#include "httpd/WebServer.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OWN_DIR PORT [HOSTED_ARCHIVE]\n", argv[0]);
        return 2;
    }
    g_strKorvaneDir = argv[1];
    const auto port = static_cast<uint16_t>(std::atoi(argv[2]));
    SetWebServerOptions(WebServerOptions{port, port});
    g_strHostedModpack = argc > 3 ? argv[3] : "";
    if (StartWebServer() == 0)
        return 1;
    g_HttpServer.WaitListener();
    return 0;
}
