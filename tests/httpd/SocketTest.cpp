#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "WireHelpers.h"
#include "httpd/HttpLimits.h"
#include "httpd/TcpSocket.h"

using namespace std::chrono;

namespace {

// A connected pair: the test writes into `peer`, the socket under test reads into `buffer`.
struct SocketPair {
    SocketPair() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        socket.Attach(fds[0]);
        peer = fds[1];
    }
    ~SocketPair() { ClosePeer(); }
    // Sends the pieces from another thread, each `gapMs` after the one before, until the peer is
    // closed.
    void Write(std::vector<std::string> pieces, int gapMs = 0) {
        writer = std::thread([this, pieces, gapMs] {
            for (const std::string& piece : pieces) {
                std::this_thread::sleep_for(milliseconds(gapMs));
                if (closing)
                    return;
                [[maybe_unused]] ssize_t n = ::send(peer, piece.data(), piece.size(), MSG_NOSIGNAL);
            }
        });
    }
    // Closes the peer once the writer has finished or given up (a send that the socket under
    // test no longer reads fails once the peer is shut down).
    void ClosePeer() {
        closing = true;
        ::shutdown(peer, SHUT_RDWR);
        if (writer.joinable())
            writer.join();
        ::close(std::exchange(peer, -1));
    }
    // Waits until every piece has been sent.
    void Sent() {
        if (writer.joinable())
            writer.join();
    }
    bool Read(uint32_t timeoutMs = 2000) {
        return socket.ReadUntil(buffer, "\r\n\r\n", timeoutMs, httpd::kHeadGrowthStep,
                                httpd::kMaxHeadBytes);
    }
    std::string Text() const { return buffer.data(); }

    CTcpSocket socket;
    int peer = -1;
    std::thread writer;
    std::atomic<bool> closing{false};
    std::vector<char> buffer = std::vector<char>(httpd::kFirstHeadBuffer, 0);
};

} // namespace

TEST(HttpdSocket, ReadUntilGrowsOnlyWhenFullAndCutsFromTheEndOfEverythingReceived) {
    using httpd_test::HeadOfSize;
    const struct {
        std::string sent;
        std::size_t size;
        std::string kept;
    } cases[] = {{HeadOfSize(1022), 1024, HeadOfSize(1022).substr(0, 1018)},
                 {HeadOfSize(1023), 1024 + 4096, HeadOfSize(1023).substr(0, 1019)},
                 {"GET / HTTP/1.0\r\n\r\nabcd", 1024, "GET / HTTP/1.0\r\n\r\n"}};
    for (const auto& c : cases) {
        SocketPair pair;
        pair.Write({c.sent});
        ASSERT_TRUE(pair.Read());
        EXPECT_EQ(pair.buffer.size(), c.size);
        EXPECT_EQ(pair.Text(), c.kept);
    }
}

TEST(HttpdSocket, ReadUntilStopsSearchingAtAZeroByte) {
    // Bytes after a zero byte are never searched, in the first buffer, after it has grown, or past
    // the cap: a terminator after it cannot end the head.
    for (std::size_t filler : {10u, 2000u, 70000u}) {
        SocketPair pair;
        pair.Write({std::string("GET /\0", 6) + std::string(filler, 'b') + "\r\n\r\n"});
        EXPECT_FALSE(pair.Read(300)) << filler;
        EXPECT_EQ(pair.Text(), "GET /");
    }
}

TEST(HttpdSocket, ReadUntilEndsOnSilenceTrickleOrClose) {
    // Each piece arrives well within the silence time-out of the last, though the whole takes
    // longer than it.
    SocketPair pair;
    pair.Write({"GET ", "/ ", "HTTP/1.0", "\r\n", "\r\n"}, 300);
    EXPECT_TRUE(pair.Read(1000));

    const auto timed = [](SocketPair& p, uint32_t silenceMs, uint32_t wholeMs) {
        const auto start = steady_clock::now();
        EXPECT_FALSE(p.socket.ReadUntil(p.buffer, "\r\n\r\n", silenceMs, httpd::kHeadGrowthStep,
                                        httpd::kMaxHeadBytes, wholeMs));
        return duration_cast<milliseconds>(steady_clock::now() - start).count();
    };
    // Silence after half a head: given up after the silence time-out.
    SocketPair silent;
    silent.Write({"GET / HTTP/1.0\r\n"});
    const auto silentSpent = timed(silent, 500, 60000);
    EXPECT_GE(silentSpent, 500);
    EXPECT_LT(silentSpent, 3000);
    EXPECT_EQ(silent.Text(), "GET / HTTP/1.0\r\n");

    // A byte every 100 ms never lets the silence time-out pass; the bound on the whole ends it.
    SocketPair trickle;
    trickle.Write(std::vector<std::string>(40, "a"), 100);
    const auto trickleSpent = timed(trickle, 1000, 800);
    EXPECT_GE(trickleSpent, 800);
    EXPECT_LT(trickleSpent, 2500);

    // A peer that closes, after half a head or without a byte, ends the wait at once.
    for (const std::string sent : {"GET / HTTP/1.0\r\n", ""}) {
        SocketPair closed;
        closed.Write({sent});
        closed.Sent();
        closed.ClosePeer();
        EXPECT_LT(timed(closed, 30000, 60000), 1000) << sent;
        EXPECT_EQ(closed.Text(), sent);
    }
}
