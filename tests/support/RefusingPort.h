#pragma once
// A loopback TCP port that refuses every connection for as long as the object lives: the socket
// is bound but never listens, so the kernel answers each attempt with a reset, and no other
// program can take the port meanwhile. Port 0 takes a free one.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include <gtest/gtest.h>

namespace testing_support {

class RefusingPort {
  public:
    explicit RefusingPort(uint16_t port = 0) {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        socklen_t length = sizeof address;
        // Connections that earlier tests made to the port may still linger in TIME_WAIT; they
        // must not keep the port from being held (a listener on it still would).
        const int reuse = 1;
        if (m_socket < 0 ||
            ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
            ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "port " << port << " could not be held closed";
            return;
        }
        m_port = ntohs(address.sin_port);
    }
    ~RefusingPort() {
        if (m_socket >= 0)
            ::close(m_socket);
    }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    uint16_t Port() const { return m_port; }

  private:
    int m_socket = -1;
    uint16_t m_port = 0;
};

} // namespace testing_support
