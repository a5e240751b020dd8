// Several peers at once: connections served side by side, bounded per peer and in all, log lines
// that stay whole and never hold the server, and a stop that ends every connection whatever its
// client does. Each peer is played from a loopback address of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "TempDir.h"
#include "WireHelpers.h"
#include "httpd/Console.h"
#include "httpd/HostedModpack.h"
#include "httpd/HttpServer.h"
#include "httpd/MyHttpClient.h"

using namespace httpd_test;
using namespace std::chrono;

namespace {

const std::string kAnnouncement = "FileName=a.gck\r\nHostVer=0.4\r\n";
const std::string kHostCheck = "GET /giantshost.htm HTTP/1.0\r\n\r\n";
// Far more than the socket buffers of both ends hold, so a client that reads nothing stalls the
// transfer.
constexpr std::size_t kArchiveSize = 64 << 20;

// Generous bounds that only catch a connection held for good; a loaded machine under the
// sanitizers stays well inside them.
constexpr auto kStopBound = milliseconds(2000);
constexpr int kAnswerBoundMs = 3000;

class HttpdConcurrency : public ::testing::Test {
  protected:
    void SetUp() override {
        temp.WriteFile("Share/giantshost.htm", kAnnouncement);
        temp.WriteFile("Share/a.gck", std::string(kArchiveSize, 'z'));
        g_strHostedModpack = "a.gck";
    }
    void TearDown() override {
        server.StopListener();
        for (int fd : held)
            ::close(fd);
        g_strHostedModpack.clear();
    }
    void Start(std::size_t maxConnections = httpd::kMaxConnections,
               std::size_t perPeer = httpd::kMaxConnectionsPerPeer) {
        CServerSettings settings;
        settings.m_Directories = {Share("\\", temp.Path() + "\\Share", "index.html")};
        settings.m_nPort = 0;
        // Long enough that only the client or a stop ends a connection within a test.
        settings.m_dwRequestTimeout = 60000;
        settings.m_dwHeadReadLimit = 60000;
        settings.m_nMaxConnections = maxConnections;
        settings.m_nMaxConnectionsPerPeer = perPeer;
        settings.m_pClientClass = [] { return std::make_unique<CMyHttpClient>(); };
        ASSERT_TRUE(server.StartListener(settings));
        port = server.ListeningPort();
    }
    // A connection from `from`, kept open until the test ends, that sends `bytes` and then
    // nothing, reading nothing either.
    int Hold(const char* from, std::string_view bytes = "") {
        const int fd = Connect(port, from);
        EXPECT_GE(fd, 0) << from;
        if (fd < 0)
            return fd;
        held.push_back(fd);
        if (!bytes.empty()) {
            EXPECT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
        }
        return fd;
    }
    // The server accepts asynchronously: waits until it holds exactly `count` connections.
    bool WaitForConnections(std::size_t count) {
        for (int i = 0; i < 500; ++i) {
            if (server.OpenConnections() == count)
                return true;
            std::this_thread::sleep_for(milliseconds(10));
        }
        return false;
    }
    std::string HostCheck(const char* from, int* elapsedMs = nullptr) {
        return BodyOf(Exchange(port, kHostCheck, 10000, elapsedMs, from));
    }
    // True once the server has closed the connection (end of stream or reset).
    static bool ClosedByServer(int fd, int waitMs) {
        pollfd entry{fd, POLLIN, 0};
        char buffer[65536];
        for (auto until = steady_clock::now() + milliseconds(waitMs);
             steady_clock::now() < until;) {
            if (::poll(&entry, 1, 50) > 0 && ::recv(fd, buffer, sizeof buffer, 0) <= 0)
                return true;
        }
        return false;
    }
    // Descriptors of this process that point into Share.
    std::size_t FilesOpenInShare() const {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            const auto target = std::filesystem::read_symlink(entry.path(), error);
            if (!error && target.string().find(temp / "Share") == 0)
                ++count;
        }
        return count;
    }

    testing_support::TempDir temp;
    CHttpServer server;
    uint16_t port = 0;
    std::vector<int> held;
};

} // namespace

TEST_F(HttpdConcurrency, MisbehavingClientsHoldNeitherOthersNorTheStop) {
    Start();
    const int stalled = Hold("127.0.0.2", "GET /a.gck HTTP/1.0\r\n\r\n");
    Hold("127.0.0.3");                                     // connects and sends nothing
    Hold("127.0.0.4", "GET /giantshost.htm HTTP/1.0\r\n"); // half a head, then silence
    const int trickler = Hold("127.0.0.5", "G");
    std::atomic<bool> trickling{true};
    std::thread drip([&] {
        while (trickling && ::send(trickler, "E", 1, MSG_NOSIGNAL) == 1)
            std::this_thread::sleep_for(milliseconds(100));
    });
    ASSERT_TRUE(WaitForConnections(4));
    // The transfer fills both ends' buffers and stalls, holding the archive open.
    for (int i = 0; i < 500 && FilesOpenInShare() == 0; ++i)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(FilesOpenInShare(), 1u);

    // None of them keeps another player from the announcement.
    int elapsed = 0;
    EXPECT_EQ(HostCheck("127.0.0.6", &elapsed), kAnnouncement);
    EXPECT_LT(elapsed, kAnswerBoundMs);

    const auto start = steady_clock::now();
    EXPECT_TRUE(server.StopListener());
    EXPECT_LT(steady_clock::now() - start, kStopBound);
    trickling = false;
    drip.join();

    // Every worker has let go of its files, so Share may be emptied now.
    EXPECT_EQ(FilesOpenInShare(), 0u);
    EXPECT_EQ(server.OpenConnections(), 0u);
    for (int fd : held)
        EXPECT_TRUE(ClosedByServer(fd, 1000)) << (fd == stalled ? "stalled reader" : "");
}

TEST_F(HttpdConcurrency, OnePeerWithAThousandIdleConnectionsCannotTakeTheServer) {
    // The client side needs a descriptor for each of its connections.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < 1100)
        GTEST_SKIP() << "this process may not open 1,100 descriptors";

    Start();
    for (int i = 0; i < 1000; ++i)
        ASSERT_GE(Hold("127.0.0.2"), 0) << i;
    int elapsed = 0;
    EXPECT_EQ(HostCheck("127.0.0.1", &elapsed), kAnnouncement);
    EXPECT_LT(elapsed, kAnswerBoundMs);

    // The peer keeps its cap's worth; everything beyond it was closed at once, unread.
    std::size_t closed = 0;
    for (int fd : held)
        closed += ClosedByServer(fd, 20) ? 1 : 0;
    EXPECT_EQ(closed, 1000 - httpd::kMaxConnectionsPerPeer);
    EXPECT_EQ(server.OpenConnections(), httpd::kMaxConnectionsPerPeer);
}

TEST_F(HttpdConcurrency, AtTheCapNewConnectionsWaitUntilAWorkerIsFree) {
    Start(2, 1);
    const int first = Hold("127.0.0.2");
    ASSERT_TRUE(WaitForConnections(1));
    // A second connection of a peer at its cap is closed unread.
    EXPECT_TRUE(ClosedByServer(Hold("127.0.0.2"), kAnswerBoundMs));
    // With every worker taken, a new peer's connection waits.
    Hold("127.0.0.3");
    ASSERT_TRUE(WaitForConnections(2));
    const int waiting = Hold("127.0.0.4", kHostCheck);
    EXPECT_FALSE(ClosedByServer(waiting, 300));

    ::shutdown(first, SHUT_WR); // the peer leaves: its worker is free again
    std::string answer;
    char buffer[4096];
    pollfd entry{waiting, POLLIN, 0};
    for (ssize_t n = 1; n > 0 && ::poll(&entry, 1, kAnswerBoundMs) > 0;)
        if ((n = ::recv(waiting, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, std::size_t(n));
    EXPECT_EQ(BodyOf(answer), kAnnouncement);
}

TEST_F(HttpdConcurrency, LogLinesStayWholeAndAFullOutputNeverHoldsTheServer) {
    Start();
    // Requests of many peers at once: each line whole, one per request.
    testing::internal::CaptureStdout();
    std::vector<std::thread> peers;
    for (int peer = 0; peer < 8; ++peer)
        peers.emplace_back([this, peer] {
            const std::string from = "127.0.1." + std::to_string(peer + 1);
            for (int i = 0; i < 10; ++i)
                HostCheck(from.c_str());
        });
    for (std::thread& peer : peers)
        peer.join();
    std::istringstream whole(testing::internal::GetCapturedStdout());
    const std::regex hostCheck(
        R"([^,]+, [^,]+, GET /giantshost\.htm, Anonymous, 127\.0\.1\.[1-8], \d+)");
    int count = 0;
    for (std::string line; std::getline(whole, line); ++count)
        EXPECT_TRUE(std::regex_match(line, hostCheck)) << line;
    EXPECT_EQ(count, 80);

    // Standard output a pipe that nobody reads: the server answers on, and stops in time.
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
    std::fflush(stdout);
    const int savedOutput = ::dup(STDOUT_FILENO);
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    constexpr int kRequests = 200;
    const std::string longPath = "/" + std::string(60000, 'p');
    for (int i = 0; i < kRequests; ++i)
        Exchange(port, "GET " + longPath + " HTTP/1.0\r\n\r\n", 2000);
    const std::string answer = HostCheck("127.0.0.2");
    const auto start = steady_clock::now();
    server.StopListener();
    const auto stopTime = steady_clock::now() - start;

    // Once the output is read again, the lines kept come whole (their paths cut), then the count
    // of those dropped: together one for each request.
    ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    std::string written;
    char buffer[65536];
    for (int round = 0; round < 100; ++round) {
        FlushConsole();
        for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            written.append(buffer, std::size_t(n));
    }
    ::dup2(savedOutput, STDOUT_FILENO);
    for (int fd : {savedOutput, pipeEnds[0], pipeEnds[1]})
        ::close(fd);
    EXPECT_EQ(answer, kAnnouncement);
    EXPECT_LT(stopTime, kStopBound);

    const std::regex kept(
        R"([^,]+, [^,]+, GET (/p{511}\.\.\.\(cut, 60001 bytes\)|/giantshost\.htm), )"
        R"(Anonymous, 127\.0\.0\.[12], \d+)");
    const std::regex dropped(R"(\((\d+) lines of server output were dropped: the output did not )"
                             R"(take them\))");
    std::istringstream lines(written);
    int shown = 0;
    int lost = 0;
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, match, dropped))
            lost += std::stoi(match[1]);
        else
            EXPECT_TRUE(std::regex_match(line, kept)) << line.substr(0, 100);
        shown += std::regex_match(line, kept) ? 1 : 0;
    }
    EXPECT_GT(lost, 0);
    EXPECT_EQ(shown + lost, kRequests + 1);
}
