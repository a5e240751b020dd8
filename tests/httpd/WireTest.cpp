// A real listener on a free loopback port, asked by raw sockets and by real clients.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <thread>

#include "FakeClock.h"
#include "TempDir.h"
#include "WireHelpers.h"
#include "httpd/HostedModpack.h"
#include "httpd/HttpServer.h"
#include "httpd/MyHttpClient.h"
#include "platform/InternetClient.h"

using namespace httpd_test;
using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

namespace {

constexpr const char* kAnnouncement = "FileName=a.gck\r\nFileSize=5\r\nHostVer=0.4\r\n";
constexpr int64_t kTuesday = 1767686709; // Tue, 06 Jan 2026 08:05:09 GMT

class HttpdWire : public ::testing::Test {
  protected:
    void SetUp() override {
        temp.WriteFile("Share/giantshost.htm", kAnnouncement);
        temp.WriteFile("Share/a.gck", archive);
        temp.WriteFile("Share/KRVInstall.exe", "MZ installer");
        temp.WriteFile("Share/index.html", "<html></html>");
        g_strHostedModpack = "a.gck";
        ASSERT_TRUE(server.StartListener(Settings(0)));
        ASSERT_NE(port = server.ListeningPort(), 0);
    }
    void TearDown() override {
        server.StopListener();
        g_strHostedModpack.clear();
    }
    // Hosts another archive name. The name is only ever changed while no listener runs, as the
    // hosting session does.
    void Host(const std::string& name) {
        server.StopListener();
        g_strHostedModpack = name;
        ASSERT_TRUE(server.StartListener(Settings(0)));
        port = server.ListeningPort();
    }
    CServerSettings Settings(uint16_t listenPort) const {
        CServerSettings settings;
        settings.m_Directories = {Share("\\", temp.Path() + "\\Share", "index.html")};
        settings.m_nPort = listenPort;
        settings.m_dwRequestTimeout = 1000;
        settings.m_pClientClass = [] { return std::make_unique<CMyHttpClient>(); };
        return settings;
    }
    std::string Get(const std::string& head) { return Exchange(port, head + "\r\n\r\n"); }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    void SetModified(int64_t seconds, long nanoseconds = 0) {
        timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (temp / "Share/giantshost.htm").c_str(), times, 0), 0);
    }

    testing_support::TempDir temp;
    std::string archive = std::string("PK\x03\x04\0binary\r\n\r\n", 15) + std::string(100000, 'z');
    CHttpServer server;
    uint16_t port = 0;
};

} // namespace

TEST_F(HttpdWire, AllowedNamesAreServedToRealClients) {
    SetModified(kTuesday);
    const std::string response = Get("GET /giantshost.htm HTTP/1.0");
    const std::string date = response.substr(response.find("Date: ") + 6, 29);
    EXPECT_EQ(response, "HTTP/1.0 200 OK\r\nDate: " + date +
                            "\r\nServer: Tarvis/1.1\r\nAllow: GET, HEAD, DELETE\r\n"
                            "Last-Modified: Tue, 06 Jan 2026 08:05:09 GMT\r\n"
                            "Content-Length: 41\r\nContent-Type: text/html\r\n\r\n" +
                            kAnnouncement);

    int curl = -1, wget = -1;
    EXPECT_EQ(RunCommand("curl -sS --max-time 10 " + Url("/a.gck"), &curl), archive);
    EXPECT_EQ(RunCommand("wget -q -T 10 -t 1 -O - " + Url("/KRVInstall.exe"), &wget),
              "MZ installer");
    EXPECT_EQ(std::pair(curl, wget), std::pair(0, 0));
    // Python's client, and HEAD: the same header block and no body.
    EXPECT_EQ(RunCommand("timeout 10 python3 -c \"import http.client as h; "
                         "c = h.HTTPConnection('127.0.0.1', " +
                         std::to_string(port) +
                         ", timeout=5); c.request('HEAD', '/giantshost.htm?nocache=1'); r = "
                         "c.getresponse(); print(r.status, r.getheader('Content-Length'), "
                         "len(r.read()))\""),
              "200 41 0\n");
    EXPECT_EQ(Get("GET /giantshost.htm\r\nX-Ignored: 1"), kAnnouncement); // version 9: body only
}

TEST_F(HttpdWire, EveryOtherNameGetsNoAnswer) {
    for (const char* path : {"/GiantsHost.htm", "/", "/A.GCK", "/index.html", "/krvinstall.exe"})
        EXPECT_EQ(Get(std::string("GET ") + path + " HTTP/1.0"), "") << path;
    temp.WriteFile("Share/other.gck", "x");
    Host("");
    EXPECT_EQ(Get("GET /a.gck HTTP/1.0") + Get("GET /KRVInstall.exe HTTP/1.0"), "");
    Host("other.gck");
    EXPECT_EQ(BodyOf(Get("GET /other.gck HTTP/1.0")), "x");
    Host("missing.gck");
    EXPECT_THAT(Get("GET /missing.gck HTTP/1.0"), HasSubstr("HTTP/1.0 404 Not Found\r\n"));
}

TEST_F(HttpdWire, EveryNameAHostMayAnnounceIsServed) {
    // The joiner escapes the name; the server decodes it the same way. A Windows joiner sends
    // "@" and ".." as they are, which must work too.
    for (const std::string name :
         {"Arena..v2.gck", "Clan@War.gck", "What?.gck", "a b.gck", "100%.gck", "#1;x+y&z=w.gck",
          "\xc3\x9c"
          "ber:Welt\xe9"
          ".gck",
          "..gck"}) {
        temp.WriteFile("Share/" + name, "archive " + name);
        Host(name);
        EXPECT_EQ(BodyOf(Get("GET /" + platform::EncodePathSegment(name) + " HTTP/1.0")),
                  "archive " + name)
            << name;
        if (name.find_first_of(" ?#%") == std::string::npos) {
            EXPECT_EQ(BodyOf(Get("GET /" + name + " HTTP/1.0")), "archive " + name) << name;
        }
    }
}

TEST_F(HttpdWire, ErrorAnswersAndDelete) {
    // A failed request line answers the 400 page alone: no status line, no header lines.
    const std::string badRequest = Get("HEAD /giantshost.htm");
    EXPECT_THAT(badRequest, StartsWith("<html>"));
    EXPECT_EQ(Get("\r\nGET / HTTP/1.0"), badRequest);

    EXPECT_THAT(Get("GET /../giantshost.htm HTTP/1.0"), StartsWith("HTTP/1.0 404 Not Found\r\n"));
    const std::string post = Get("POST /giantshost.htm HTTP/1.0");
    EXPECT_THAT(post, StartsWith("HTTP/1.0 501 Not Implemented\r\n"));
    EXPECT_THAT(post, HasSubstr("Content-Type: text/html\r\n\r\n<html>"));

    const std::string challenge = Get("DELETE /giantshost.htm HTTP/1.0");
    EXPECT_THAT(challenge, StartsWith("HTTP/1.0 401 Unauthorized\r\n"));
    EXPECT_THAT(challenge, HasSubstr("\r\nWWW-Authenticate: Basic realm=/giantshost.htm\r\n"));
    EXPECT_THAT(Get("DELETE /giantshost.htm"), Not(StartsWith("HTTP/1.0 401")));

    int status = -1;
    RunCommand("curl -sS --max-time 10 -X DELETE -u bob:pw " + Url("/giantshost.htm"), &status);
    EXPECT_EQ(status, 0);
    EXPECT_THAT(Get("DELETE bob:pw@/a.gck HTTP/1.0"), StartsWith("HTTP/1.0 200 OK\r\n"));
    EXPECT_THAT(Get("DELETE bob@/x/../a.gck HTTP/1.0"), StartsWith("HTTP/1.0 404"));
    EXPECT_EQ(temp.ReadFile("Share/giantshost.htm"), kAnnouncement); // nothing deleted
    EXPECT_EQ(temp.ReadFile("Share/a.gck"), archive);
}

TEST_F(HttpdWire, IfModifiedSinceAndFileTimes) {
    const std::string head = " /giantshost.htm HTTP/1.0\r\nIf-Modified-Since: ";
    SetModified(kTuesday);
    const std::string notModified = Get("GET" + head + "Tue, 06 Jan 2026 08:05:09 GMT");
    EXPECT_THAT(notModified, StartsWith("HTTP/1.0 304 Not Modified\r\n"));
    EXPECT_THAT(notModified, EndsWith("\r\nContent-Length: 0\r\nContent-Type: text/html\r\n\r\n"));
    for (const char* since : {"Tue, 06 Jan 2026 08:05:08 GMT", "Sat, 31 Feb 2026 08:05:09 GMT"})
        EXPECT_THAT(Get("GET" + head + since), StartsWith("HTTP/1.0 200")) << since;
    // HEAD never gets 304; a file changed within the given second is sent in full.
    EXPECT_THAT(Get("HEAD" + head + "Tue, 06 Jan 2026 08:05:09 GMT"), StartsWith("HTTP/1.0 200"));
    SetModified(kTuesday, 500000000);
    EXPECT_THAT(Get("GET" + head + "Tue, 06 Jan 2026 08:05:09 GMT"), StartsWith("HTTP/1.0 200"));
    // A file from the future is reported with the current time.
    testing_support::ScopedFakeClock clock{
        std::chrono::system_clock::time_point{std::chrono::seconds(kTuesday)}};
    SetModified(kTuesday + 86400);
    EXPECT_THAT(Get("GET /giantshost.htm HTTP/1.0"),
                HasSubstr("Last-Modified: Tue, 06 Jan 2026 08:05:09 GMT"));
}

TEST_F(HttpdWire, LogLineNamesMethodPathUserAndPeer) {
    testing::internal::CaptureStdout();
    Get("GET carol:secret@/giantshost.htm?x HTTP/1.0");
    RunCommand("curl -sS --max-time 10 -u dave:pw " + Url("/giantshost.htm") + " >/dev/null");
    Get("POST /giantshost.htm HTTP/1.0");
    Get("PUT /%1b[31mred HTTP/1.0");
    Get("garbage");
    std::istringstream output(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(output, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << output.str(); // the unparsable request is not logged
    EXPECT_THAT(lines[0], HasSubstr(", GET /giantshost.htm, carol, 127.0.0.1, "));
    EXPECT_THAT(lines[1], HasSubstr(", GET /giantshost.htm, dave, 127.0.0.1, "));
    EXPECT_THAT(lines[2], HasSubstr(", POST /giantshost.htm, Anonymous, 127.0.0.1, "));
    EXPECT_THAT(lines[3], HasSubstr(", PUT /?[31mred, Anonymous, "));
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
    EXPECT_EQ(Exchange(port, HeadOfSize(65537, "/giantshost.htm")), "");
    EXPECT_EQ(BodyOf(Exchange(port, HeadOfSize(65536, "/giantshost.htm"))), kAnnouncement);

    // Clients that leave in the middle of a large transfer.
    temp.WriteFile("Share/a.gck", std::string(32 << 20, 'x'));
    for (int i = 0; i < 3; ++i) {
        const int fd = Connect(port);
        ASSERT_EQ(::send(fd, "GET /a.gck HTTP/1.0\r\n\r\n", 23, 0), 23);
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
