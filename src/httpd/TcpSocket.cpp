#include "httpd/TcpSocket.h"

#include "httpd/HttpLimits.h"
#include "platform/SystemCalls.h"

#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

bool CTcpSocket::Create() {
    m_hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return m_hSocket != kInvalid;
}

bool CTcpSocket::Bind(const sockaddr_in& address) {
    int on = 1;
    // Without this a restarted host would find its port held by the last session's
    // connections in TIME_WAIT; it does not let two live listeners share a port on Linux.
    ::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return ::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool CTcpSocket::Listen() {
    return ::listen(m_hSocket, httpd::kListenBacklog) == 0;
}

bool CTcpSocket::Accept(int& accepted, sockaddr_in& peer) {
    socklen_t length = sizeof peer;
    std::memset(&peer, 0, sizeof peer);
    accepted = ::accept4(m_hSocket, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    return accepted != kInvalid;
}

bool CTcpSocket::Send(const void* bytes, std::size_t length) {
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
        ssize_t sent = ::send(m_hSocket, next, length, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            // EAGAIN here means the send time-out passed without progress: the peer is stuck.
            return false;
        }
        next += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool CTcpSocket::SendFileContent(int fileHandle, char* buffer, std::size_t bufferSize) {
    for (;;) {
        const ssize_t sent = ::sendfile(m_hSocket, fileHandle, nullptr, 1 << 20);
        if (sent > 0)
            continue;
        if (sent == 0)
            return true; // end of file
        if (errno == EINTR)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return false; // broken, or no progress for the send time-out
        break;            // a file the kernel cannot send directly: copy it through the buffer
    }
    for (;;) {
        const ssize_t n = platform::sys::Read(fileHandle, buffer, bufferSize);
        if (n <= 0)
            return true;
        if (!Send(buffer, static_cast<std::size_t>(n)))
            return false;
    }
}

ssize_t CTcpSocket::Receive(void* buffer, std::size_t length) {
    ssize_t n;
    do {
        n = ::recv(m_hSocket, buffer, length, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

void CTcpSocket::Close() {
    if (m_hSocket != kInvalid) {
        ::close(m_hSocket);
        m_hSocket = kInvalid;
    }
}

void CTcpSocket::CloseHandle(int handle) {
    if (handle != kInvalid)
        ::close(handle);
}

void CTcpSocket::ShutDown(int handle) {
    ::shutdown(handle, SHUT_RDWR);
}

bool CTcpSocket::IsReadable(bool& readable, uint32_t timeoutMs) {
    readable = false;
    pollfd entry{m_hSocket, POLLIN, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(std::min<uint32_t>(timeoutMs, 0x7fffffff)));
    if (ready < 0)
        return errno == EINTR; // an interrupted wait is an empty one, not a failed one
    readable = ready > 0;
    return true;
}

void CTcpSocket::SetSendTimeout(uint32_t timeoutMs) {
    timeval limit{};
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = static_cast<suseconds_t>(timeoutMs % 1000) * 1000;
    ::setsockopt(m_hSocket, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

uint16_t CTcpSocket::LocalPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool CTcpSocket::ReadUntil(std::vector<char>& buffer, std::string_view terminator,
                           uint32_t timeoutMs, std::size_t growthStep, std::size_t maxBytes,
                           uint32_t wholeTimeoutMs) {
    if (buffer.empty())
        buffer.resize(1);
    std::size_t received = 0;
    using Clock = std::chrono::steady_clock;
    const std::chrono::milliseconds quietLimit(timeoutMs), wholeLimit(wholeTimeoutMs);
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    buffer[0] = 0;
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now - last > quietLimit || now - start > wholeLimit) {
            buffer[received] = 0;
            return false;
        }
        bool readable = false;
        if (!IsReadable(readable, httpd::kReadWaitMs)) {
            buffer[received] = 0;
            return false;
        }
        if (!readable)
            continue;

        std::size_t space = buffer.size() > received + 1 ? buffer.size() - received - 1 : 0;
        ssize_t n = Receive(buffer.data() + received, space);
        if (n > 0) {
            received += static_cast<std::size_t>(n);
            last = Clock::now();
        }
        // A peer that has closed its side can send nothing more: waiting out the time-out would
        // only keep a worker (and a port scanner's probe would hold one for the whole of it).
        if (n < 0 || (n == 0 && space > 0)) {
            buffer[received] = 0;
            return false;
        }
        buffer[received] = 0;

        if (static_cast<std::size_t>(n) == space && buffer.size() <= maxBytes) {
            // Only the text up to its first zero byte moves over; the rest is zero-filled, so
            // nothing after an embedded zero is ever searched.
            std::vector<char> grown(std::min(buffer.size() + growthStep, maxBytes + 1), 0);
            std::memcpy(grown.data(), buffer.data(), std::strlen(buffer.data()));
            buffer.swap(grown);
        }

        std::string_view text(buffer.data());
        if (text.find(terminator) != std::string_view::npos) {
            buffer[received - terminator.size()] = 0;
            return true;
        }
        if (received >= maxBytes)
            return false;
    }
}
