#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "httpd/HttpLimits.h"
#include "httpd/TcpSocket.h"

namespace {

// A connected pair: the test writes into `peer`, the socket under test reads.
struct SocketPair {
    SocketPair() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        socket.Attach(fds[0]);
        peer = fds[1];
    }
    ~SocketPair() { ClosePeer(); }
    void Write(const std::string& bytes) const {
        std::thread([fd = peer, bytes] {
            [[maybe_unused]] ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }).detach();
    }
    void ClosePeer() {
        if (peer >= 0)
            ::close(peer);
        peer = -1;
    }
    bool Read(std::vector<char>& buffer, uint32_t timeoutMs = 2000) {
        return socket.ReadUntil(buffer, "\r\n\r\n", timeoutMs, httpd::kHeadGrowthStep,
                                httpd::kMaxHeadBytes);
    }

    CTcpSocket socket;
    int peer = -1;
};

std::string HeadOfSize(std::size_t size) {
    std::string head = "GET / HTTP/1.0\r\nX: ";
    head.append(size - head.size() - 4, 'a');
    return head + "\r\n\r\n";
}

} // namespace

TEST(HttpdSocket, ReadUntilGrowsOnlyWhenTheBufferFills) {
    for (std::size_t size : {1022u, 1023u}) {
        SocketPair pair;
        std::vector<char> buffer(httpd::kFirstHeadBuffer, 0);
        pair.Write(HeadOfSize(size));
        ASSERT_TRUE(pair.Read(buffer));
        EXPECT_EQ(buffer.size(), size == 1022 ? 1024u : 1024u + 4096u);
        EXPECT_EQ(std::string(buffer.data()), HeadOfSize(size).substr(0, size - 4));
    }
}

TEST(HttpdSocket, ReadUntilCutsFromTheEndOfEverythingReceived) {
    SocketPair pair;
    std::vector<char> buffer(httpd::kFirstHeadBuffer, 0);
    pair.Write("GET / HTTP/1.0\r\n\r\nabcd");
    ASSERT_TRUE(pair.Read(buffer));
    EXPECT_EQ(std::string(buffer.data()), "GET / HTTP/1.0\r\n\r\n");
}

TEST(HttpdSocket, ReadUntilStopsSearchingAtAZeroByte) {
    // Bytes after a zero byte are never searched, in the first buffer or after it has grown: a
    // terminator well within the cap still cannot end the head, so the read times out.
    for (std::size_t filler : {10u, 2000u}) {
        SocketPair pair;
        std::vector<char> buffer(httpd::kFirstHeadBuffer, 0);
        pair.Write(std::string("GET /\0", 6) + std::string(filler, 'b') + "\r\n\r\n");
        EXPECT_FALSE(pair.Read(buffer, 300)) << filler;
        EXPECT_EQ(std::string(buffer.data()), "GET /");
    }
    // Past the cap the read gives up whatever else arrives.
    SocketPair pair;
    std::vector<char> buffer(httpd::kFirstHeadBuffer, 0);
    pair.Write(std::string("GET /\0", 6) + std::string(70000, 'b') + "\r\n\r\n");
    EXPECT_FALSE(pair.Read(buffer));
    EXPECT_EQ(std::string(buffer.data()), "GET /");
}

TEST(HttpdSocket, ReadUntilTimesOutFromTheLastByte) {
    using namespace std::chrono;
    SocketPair pair;
    std::vector<char> buffer(httpd::kFirstHeadBuffer, 0);
    std::thread trickle([fd = pair.peer] {
        for (const char* piece : {"GET ", "/ ", "HTTP/1.0", "\r\n", "\r\n"}) {
            std::this_thread::sleep_for(milliseconds(300));
            [[maybe_unused]] ssize_t n = ::send(fd, piece, std::strlen(piece), MSG_NOSIGNAL);
        }
    });
    // Each piece arrives well within a second of the last, though the whole takes longer.
    EXPECT_TRUE(pair.Read(buffer, 1000));
    trickle.join();

    // A half head and then a closed peer: given up after the time-out, without spinning.
    SocketPair silent;
    silent.Write("GET / HTTP/1.0\r\n");
    std::this_thread::sleep_for(milliseconds(50));
    silent.ClosePeer();
    const auto start = steady_clock::now();
    EXPECT_FALSE(silent.Read(buffer, 300));
    const auto spent = duration_cast<milliseconds>(steady_clock::now() - start).count();
    EXPECT_GE(spent, 300);
    EXPECT_LT(spent, 3000);
    EXPECT_EQ(std::string(buffer.data()), "GET / HTTP/1.0\r\n");
}
