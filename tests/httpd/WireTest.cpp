// A real listener on a free loopback port, asked by raw sockets and by real clients.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "FakeClock.h"
#include "TempDir.h"
#include "WireHelpers.h"
#include "httpd/HostedModpack.h"
#include "httpd/HttpServer.h"
#include "httpd/MyHttpClient.h"

using httpd_test::BodyOf;
using httpd_test::Exchange;
using httpd_test::RunCommand;
using testing_support::TempDir;

namespace {

constexpr const char* kAnnouncement = "FileName=a.gck\r\nFileSize=5\r\nHostVer=0.4\r\n";

class HttpdWire : public ::testing::Test {
  protected:
    void SetUp() override {
        temp.WriteFile("Share/giantshost.htm", kAnnouncement);
        temp.WriteFile("Share/a.gck", archive);
        temp.WriteFile("Share/KRVInstall.exe", "MZ installer");
        temp.WriteFile("Share/index.html", "<html></html>");
        g_strHostedModpack = "a.gck";
        ASSERT_TRUE(server.StartListener(Settings(0)));
        port = server.ListeningPort();
        ASSERT_NE(port, 0);
    }
    void TearDown() override {
        server.StopListener();
        g_strHostedModpack.clear();
    }
    CServerSettings Settings(uint16_t listenPort) const {
        CShareDirectory share;
        share.SetAlias("\\");
        share.m_strPath = temp.Path() + "\\Share";
        share.m_strDefaultFile = "index.html";
        CServerSettings settings;
        settings.m_nPort = listenPort;
        settings.m_Directories = {share};
        settings.m_dwRequestTimeout = 1000;
        settings.m_pClientClass = [] { return std::make_unique<CMyHttpClient>(); };
        return settings;
    }
    std::string Get(const std::string& head) { return Exchange(port, head + "\r\n\r\n"); }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    void SetModified(const std::string& relative, int64_t seconds, long nanoseconds = 0) {
        timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (temp / relative).c_str(), times, 0), 0);
    }

    TempDir temp;
    std::string archive = std::string("PK\x03\x04\0binary\r\n\r\n", 15) + std::string(100000, 'z');
    CHttpServer server;
    uint16_t port = 0;
};

} // namespace

TEST_F(HttpdWire, AllowedNamesAreServedToRealClients) {
    SetModified("Share/giantshost.htm", 1767686709); // Tue, 06 Jan 2026 08:05:09
    const std::string response = Get("GET /giantshost.htm HTTP/1.0");
    const std::string date = response.substr(response.find("Date: ") + 6, 29);
    EXPECT_EQ(response, "HTTP/1.0 200 OK\r\nDate: " + date +
                            "\r\nServer: Tarvis/1.1\r\nAllow: GET, HEAD, DELETE\r\n"
                            "Last-Modified: Tue, 06 Jan 2026 08:05:09 GMT\r\n"
                            "Content-Length: 41\r\nContent-Type: text/html\r\n\r\n" +
                            kAnnouncement);

    int status = -1;
    EXPECT_EQ(RunCommand("curl -sS --max-time 10 " + Url("/a.gck"), &status), archive);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunCommand("wget -q -T 10 -t 1 -O - " + Url("/KRVInstall.exe"), &status),
              "MZ installer");
    EXPECT_EQ(status, 0);
    // Python's client, and HEAD: the same header block and no body.
    const std::string python = RunCommand(
        "timeout 10 python3 -c \"import http.client as h; c = h.HTTPConnection('127.0.0.1', " +
        std::to_string(port) +
        ", timeout=5); c.request('HEAD', '/giantshost.htm?nocache=1'); "
        "r = c.getresponse(); print(r.status, r.getheader('Content-Length'), len(r.read()))\"");
    EXPECT_EQ(python, "200 41 0\n");
    EXPECT_EQ(Get("GET /giantshost.htm\r\nX-Ignored: 1"), kAnnouncement); // version 9: body only
}

TEST_F(HttpdWire, EveryOtherNameGetsNoAnswer) {
    for (const char* path : {"/GiantsHost.htm", "/", "/A.GCK", "/index.html", "/krvinstall.exe"})
        EXPECT_EQ(Get(std::string("GET ") + path + " HTTP/1.0"), "") << path;
    temp.WriteFile("Share/other.gck", "x");
    g_strHostedModpack.clear();
    EXPECT_EQ(Get("GET /a.gck HTTP/1.0"), "");
    EXPECT_EQ(Get("GET /KRVInstall.exe HTTP/1.0"), "");
    g_strHostedModpack = "other.gck";
    EXPECT_EQ(BodyOf(Get("GET /other.gck HTTP/1.0")), "x");
    g_strHostedModpack = "missing.gck";
    EXPECT_NE(Get("GET /missing.gck HTTP/1.0").find("HTTP/1.0 404 Not Found\r\n"),
              std::string::npos);
}

TEST_F(HttpdWire, ErrorAnswersAndDelete) {
    // A failed request line answers the 400 page alone: no status line, no header lines.
    const std::string badRequest = Get("HEAD /giantshost.htm");
    EXPECT_EQ(badRequest.rfind("<html>", 0), 0u) << badRequest;
    EXPECT_EQ(Get("GET /giantshost.htm http/1.0"), badRequest);
    EXPECT_EQ(Get("\r\nGET / HTTP/1.0"), badRequest);

    EXPECT_EQ(Get("GET /a..b HTTP/1.0").rfind("HTTP/1.0 404 Not Found\r\n", 0), 0u);
    const std::string post = Get("POST /giantshost.htm HTTP/1.0");
    EXPECT_EQ(post.rfind("HTTP/1.0 501 Not Implemented\r\n", 0), 0u);
    EXPECT_NE(post.find("Content-Type: text/html\r\n\r\n<html>"), std::string::npos);

    const std::string challenge = Get("DELETE /giantshost.htm HTTP/1.0");
    EXPECT_EQ(challenge.rfind("HTTP/1.0 401 Unauthorized\r\n", 0), 0u);
    EXPECT_NE(challenge.find("\r\nWWW-Authenticate: Basic realm=/giantshost.htm\r\n"),
              std::string::npos);
    EXPECT_EQ(Get("DELETE /giantshost.htm").rfind("HTTP/1.0 401", 0), std::string::npos);

    int status = -1;
    RunCommand("curl -sS --max-time 10 -X DELETE -u bob:pw " + Url("/giantshost.htm"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Get("DELETE bob:pw@/a.gck HTTP/1.0").rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_EQ(Get("DELETE bob@/a..b HTTP/1.0").rfind("HTTP/1.0 404", 0), 0u);
    EXPECT_EQ(temp.ReadFile("Share/giantshost.htm"), kAnnouncement); // nothing deleted
    EXPECT_EQ(temp.ReadFile("Share/a.gck"), archive);
}

TEST_F(HttpdWire, IfModifiedSinceAndFileTimes) {
    const int64_t second = 1767686709; // Tue, 06 Jan 2026 08:05:09
    const std::string head = "GET /giantshost.htm HTTP/1.0\r\nIf-Modified-Since: ";
    SetModified("Share/giantshost.htm", second);
    const std::string notModified = Get(head + "Tue, 06 Jan 2026 08:05:09 GMT");
    EXPECT_EQ(notModified.rfind("HTTP/1.0 304 Not Modified\r\n", 0), 0u);
    EXPECT_NE(notModified.find("\r\nContent-Length: 0\r\nContent-Type: text/html\r\n\r\n"),
              std::string::npos);
    EXPECT_EQ(BodyOf(notModified), "");
    EXPECT_EQ(Get(head + "Tue, 06 Jan 2026 08:05:08 GMT").rfind("HTTP/1.0 200", 0), 0u);
    EXPECT_EQ(Get(head + "Sat, 31 Feb 2026 08:05:09 GMT").rfind("HTTP/1.0 200", 0), 0u);
    // HEAD never gets 304; a file changed within the given second is sent in full.
    EXPECT_EQ(Exchange(port, "HEAD" + head.substr(3) + "Tue, 06 Jan 2026 08:05:09 GMT\r\n\r\n")
                  .rfind("HTTP/1.0 200", 0),
              0u);
    SetModified("Share/giantshost.htm", second, 500000000);
    EXPECT_EQ(Get(head + "Tue, 06 Jan 2026 08:05:09 GMT").rfind("HTTP/1.0 200", 0), 0u);

    // A file from the future is reported with the current time.
    const std::chrono::system_clock::time_point now{std::chrono::seconds(second)};
    testing_support::ScopedFakeClock clock(now);
    SetModified("Share/giantshost.htm", second + 86400);
    EXPECT_NE(
        Get("GET /giantshost.htm HTTP/1.0").find("Last-Modified: Tue, 06 Jan 2026 08:05:09 GMT"),
        std::string::npos);
}

TEST_F(HttpdWire, LogLineNamesMethodPathUserAndPeer) {
    testing::internal::CaptureStdout();
    Get("GET carol:secret@/giantshost.htm?x HTTP/1.0");
    RunCommand("curl -sS --max-time 10 -u dave:pw " + Url("/giantshost.htm") + " >/dev/null");
    Get("POST /giantshost.htm HTTP/1.0");
    Get("PUT /%1b[31mred HTTP/1.0");
    Get("garbage");
    const std::string output = testing::internal::GetCapturedStdout();

    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = output.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(output.substr(at, end - at));
    ASSERT_EQ(lines.size(), 4u) << output; // the unparsable request is not logged
    EXPECT_NE(lines[0].find(", GET /giantshost.htm, carol, 127.0.0.1, "), std::string::npos);
    EXPECT_NE(lines[1].find(", GET /giantshost.htm, dave, 127.0.0.1, "), std::string::npos);
    EXPECT_NE(lines[2].find(", POST /giantshost.htm, Anonymous, 127.0.0.1, "), std::string::npos);
    EXPECT_NE(lines[3].find(", PUT /?[31mred, Anonymous, "), std::string::npos);
    const int peerPort = std::stoi(lines[0].substr(lines[0].rfind(", ") + 2));
    EXPECT_GT(peerPort, 0);
    EXPECT_NE(peerPort, port);
}

TEST_F(HttpdWire, SlowBigAndBrokenClientsDoNotStopTheServer) {
    // A half-sent head is given up after the head time-out (1 s here), without an answer.
    int elapsed = 0;
    EXPECT_EQ(Exchange(port, "GET /giantshost.htm HTTP/1.0\r\n", 10000, &elapsed), "");
    EXPECT_GE(elapsed, 900);
    EXPECT_LT(elapsed, 5000);

    // A head past 64 KiB is dropped unanswered; one just at the limit is served.
    auto headOf = [](std::size_t size) {
        std::string head = "GET /giantshost.htm HTTP/1.0\r\nX: ";
        return head + std::string(size - head.size() - 4, 'a') + "\r\n\r\n";
    };
    EXPECT_EQ(Exchange(port, headOf(65537)), "");
    EXPECT_EQ(BodyOf(Exchange(port, headOf(65536))), kAnnouncement);

    // A client that leaves in the middle of a large transfer.
    temp.WriteFile("Share/a.gck", std::string(32 << 20, 'x'));
    for (int i = 0; i < 3; ++i) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string head = "GET /a.gck HTTP/1.0\r\n\r\n";
        ASSERT_EQ(::send(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
        char buffer[4096];
        ASSERT_GT(::recv(fd, buffer, sizeof buffer, 0), 0);
        ::close(fd);
    }
    EXPECT_EQ(BodyOf(Get("GET /giantshost.htm HTTP/1.0")), kAnnouncement);
}

TEST_F(HttpdWire, StopsWithinASecondAndRestartsOnTheSamePort) {
    EXPECT_EQ(BodyOf(Get("GET /giantshost.htm HTTP/1.0")), kAnnouncement);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(server.StopListener());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_FALSE(server.WaitListener());
    EXPECT_EQ(server.ListeningPort(), 0);

    // The connection just served sits in TIME_WAIT; the port must still be free to host again.
    ASSERT_TRUE(server.StartListener(Settings(port)));
    EXPECT_EQ(BodyOf(Get("GET /giantshost.htm HTTP/1.0")), kAnnouncement);
    // A second server on a port held by a live listener fails.
    CHttpServer other;
    EXPECT_FALSE(other.StartListener(Settings(port)));
    EXPECT_EQ(other.StartError(), EADDRINUSE);
    EXPECT_TRUE(other.WaitListener()); // releases the ended thread of the failed start
    EXPECT_FALSE(other.WaitListener());

    // Stop from two threads at once: both return once the listener has ended.
    std::thread signalSide([this] { server.StopListener(); });
    server.StopListener();
    signalSide.join();
    EXPECT_EQ(server.ListeningPort(), 0);
}
