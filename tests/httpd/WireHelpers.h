#pragma once
// Shared pieces of the server tests, chiefly loopback clients for the wire tests: raw bytes over a
// socket, and real programs run with a time limit.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "httpd/ServerSettings.h"

namespace httpd_test {

inline CShareDirectory Share(std::string_view alias, std::string path, std::string defaultFile) {
    CShareDirectory share;
    share.SetAlias(alias);
    share.m_strPath = std::move(path);
    share.m_strDefaultFile = std::move(defaultFile);
    return share;
}

// Connects to the loopback port; `from` picks the client's own loopback address, so that one test
// can play several peers (every 127.x.y.z address is this machine's).
inline int Connect(uint16_t port, const char* from = nullptr) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (from) {
        sockaddr_in own{AF_INET, 0, {}, {}};
        ::inet_pton(AF_INET, from, &own.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&own), sizeof own) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}

// Sends `request` and returns everything received until the server closes the connection, resets
// it, or `limitMs` passes; `elapsedMs` receives how long that took.
inline std::string Exchange(uint16_t port, std::string_view request, int limitMs = 10000,
                            int* elapsedMs = nullptr, const char* from = nullptr) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    auto spent = [&] {
        return int(duration_cast<milliseconds>(steady_clock::now() - start).count());
    };
    std::string response;
    const int fd = Connect(port, from);
    // The server may close early (a head over the cap); a failed send is part of the test.
    for (ssize_t n = 0; fd >= 0 && !request.empty(); request.remove_prefix(std::size_t(n)))
        if ((n = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL)) <= 0)
            break;
    char buffer[65536];
    for (pollfd entry{fd, POLLIN, 0};
         fd >= 0 && spent() < limitMs && ::poll(&entry, 1, limitMs - spent()) > 0;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        response.append(buffer, std::size_t(n));
    }
    ::close(fd);
    if (elapsedMs)
        *elapsedMs = spent();
    return response;
}

// Runs a shell command and returns its standard output; `status` receives its exit status.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int result = pipe ? ::pclose(pipe) : -1;
    if (status)
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return output;
}

// A request head of exactly `size` bytes, padded by one header line.
inline std::string HeadOfSize(std::size_t size, const std::string& path = "/") {
    const std::string head = "GET " + path + " HTTP/1.0\r\nX: ";
    return head + std::string(size - head.size() - 4, 'a') + "\r\n\r\n";
}

// The body after the first empty line ("" when there is none).
inline std::string BodyOf(const std::string& response) {
    const std::size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? "" : response.substr(end + 4);
}

} // namespace httpd_test
