#pragma once
// Starting Korvane's server for a hosting session, and stopping it on SIGINT or SIGTERM.
//
// Use: the hosting session sets g_strHostedModpack, writes Share\giantshost.htm, then calls
// StartWebServer(); when the game has exited it calls g_HttpServer.StopListener() and then
// g_HttpServer.WaitListener(). Both are safe while the signal thread stops the server too.
#include <chrono>
#include <cstdint>

#include "httpd/HttpLimits.h"
#include "httpd/HttpServer.h"

// Where StartWebServer listens and how long it waits for a request head. Tests set other ports
// (0: any free port) and a short time-out; the program keeps the defaults. Set returns the
// options in force before, so that a scoped override can put them back.
struct WebServerOptions {
    uint16_t port = httpd::kHostPort;
    uint16_t fallbackPort = httpd::kFallbackPort;
    std::chrono::milliseconds requestTimeout{httpd::kRequestTimeoutMs};
};
WebServerOptions SetWebServerOptions(WebServerOptions options);
WebServerOptions GetWebServerOptions();

// Serves the Share folder under g_strKorvaneDir on port 8155, 8156 when 8155 cannot be used, with
// CMyHttpClient, on g_HttpServer's listener thread. Returns once the listener listens or both
// attempts failed: the port actually listened on, or 0 when there is no server (hosting goes on
// without one). Prints its progress and failures on standard output and installs the SIGINT and
// SIGTERM handling that stops the server.
uint16_t StartWebServer();

// What SIGINT and SIGTERM do once StartWebServer has run: print "Received request to shut down
// the Web Server" and stop g_HttpServer. The program goes on. Runs on a thread of its own, never
// inside the asynchronous signal handler. Always true.
bool OnConsoleControl(int signal);
