// StartWebServer on the real ports 8155 and 8156 and its signal handling. These tests hold the
// two ports, so CTest runs them under one resource lock; where something else on the machine
// holds a port, they skip.
#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "ScopedWebServerOptions.h"
#include "TempDir.h"
#include "WireHelpers.h"
#include "app/Settings.h"
#include "httpd/WebServer.h"

using namespace httpd_test;

namespace {

// Listens on the wildcard address and `port`; -1 when the port is taken. Connections of earlier
// tests in TIME_WAIT do not count as holding it.
int HoldPort(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_ANY)}, {}};
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd, 1) == 0)
        return fd;
    ::close(fd);
    return -1;
}

const std::string kGet = "GET /giantshost.htm HTTP/1.0\r\n\r\n";

class HttpdPorts : public ::testing::Test {
  protected:
    void SetUp() override {
        temp.WriteFile("Share/giantshost.htm", "HostVer=0.4\r\n");
        g_strKorvaneDir = temp.Path();
        testing::internal::CaptureStdout();
    }
    void TearDown() override {
        g_HttpServer.StopListener();
        g_HttpServer.WaitListener();
    }
    testing_support::TempDir temp;
    testing_support::ScopedWebServerOptions options{WebServerOptions{}};
};

} // namespace

TEST_F(HttpdPorts, FallsBackTo8156AndReportsBothFailures) {
    const int first = HoldPort(httpd::kHostPort), probe = HoldPort(httpd::kFallbackPort);
    ::close(probe);
    if (first < 0 || probe < 0) {
        ::close(first);
        testing::internal::GetCapturedStdout();
        GTEST_SKIP() << "ports 8155 and 8156 are not both free on this machine";
    }
    const std::string failed8155 = "Failed to start the web server on port 8155, GetLastError:98\n";
    EXPECT_EQ(StartWebServer(), httpd::kFallbackPort);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Web server is starting...\n" + failed8155 + "Server port 8156\n");
    EXPECT_EQ(BodyOf(Exchange(httpd::kFallbackPort, kGet)), "HostVer=0.4\r\n");
    EXPECT_TRUE(g_HttpServer.StopListener());
    EXPECT_FALSE(g_HttpServer.WaitListener());

    // Both ports held: hosting goes on without a server, and the port line still shows 8156.
    const int second = HoldPort(httpd::kFallbackPort);
    ASSERT_GE(second, 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(StartWebServer(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Web server is starting...\n" + failed8155 +
                  "Failed to start the web server on port 8156, GetLastError:98\n"
                  "Server port 8156\n");
    ::close(first);
    ::close(second);
}

TEST_F(HttpdPorts, TerminationSignalStopsTheServerOnly) {
    options.Change(WebServerOptions{0, 0, std::chrono::seconds(1)});
    const uint16_t port = StartWebServer();
    ASSERT_NE(port, 0);
    ASSERT_EQ(::raise(SIGTERM), 0);
    for (int i = 0; i < 250 && g_HttpServer.ListeningPort() != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(g_HttpServer.ListeningPort(), 0);
    EXPECT_NE(output.find("Server port " + std::to_string(port) +
                          "\nReceived request to shut down the Web Server\n"),
              std::string::npos)
        << output;
    EXPECT_EQ(Exchange(port, kGet, 2000), "");
}
