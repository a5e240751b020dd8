#include "WebServerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace testing_support {

WebServerProcess::WebServerProcess(const std::string& folder, const std::string& mode) {
    int out[2];
    if (::pipe(out) != 0)
        ADD_FAILURE() << "pipe failed";
    const std::string script = KORVANE_SESSION_TEST_DIR "/alternate_server.py";
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        if (::chdir(folder.c_str()) != 0)
            ::_exit(126);
        ::execlp("python3", "python3", script.c_str(), folder.c_str(), mode.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    char line[32] = {};
    FILE* reader = ::fdopen(out[0], "r");
    if (reader != nullptr && std::fgets(line, sizeof line, reader) != nullptr)
        m_port = static_cast<uint16_t>(std::atoi(line));
    if (reader != nullptr)
        std::fclose(reader);
    if (m_port == 0)
        ADD_FAILURE() << "the test web server did not start";
}

WebServerProcess::~WebServerProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::string WebServerProcess::Address() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}

uint16_t ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace testing_support
