#pragma once
// Python's http.server, started by a test on a free loopback port (see alternate_server.py for
// the paths on which it misbehaves), and stopped when the object goes. FtpServerProcess is the
// same for an anonymous FTP server (ftp_server.py).
#include <signal.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace testing_support {

class WebServerProcess {
  public:
    // Serves `folder`; `mode` is passed on to the script ("", "endless-announcement", ...).
    explicit WebServerProcess(const std::string& folder, const std::string& mode = "")
        : WebServerProcess("python3", "alternate_server.py", folder, mode) {}
    ~WebServerProcess() {
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
        if (m_pipe != nullptr)
            ::pclose(m_pipe);
    }
    WebServerProcess(const WebServerProcess&) = delete;
    WebServerProcess& operator=(const WebServerProcess&) = delete;

    uint16_t Port() const { return m_port; }
    std::string Address() const { return "http://127.0.0.1:" + std::to_string(m_port); }

  protected:
    WebServerProcess(const std::string& python, const std::string& script,
                     const std::string& folder, const std::string& mode) {
        const std::string command = "exec " + python + " '" KORVANE_SESSION_TEST_DIR "/" + script +
                                    "' '" + folder + "' '" + mode + "'";
        m_pipe = ::popen(command.c_str(), "r");
        if (m_pipe == nullptr || std::fscanf(m_pipe, "%hu %d", &m_port, &m_pid) != 2)
            ADD_FAILURE() << "the test server " << script << " did not start";
    }

  private:
    FILE* m_pipe = nullptr;
    pid_t m_pid = -1;
    uint16_t m_port = 0;
};

// pyftpdlib comes with Debian's python3 (python3-pyftpdlib), not with any other on the PATH.
class FtpServerProcess : public WebServerProcess {
  public:
    explicit FtpServerProcess(const std::string& folder)
        : WebServerProcess("/usr/bin/python3", "ftp_server.py", folder, "") {}
    std::string Address() const { return "ftp://127.0.0.1:" + std::to_string(Port()); }
};

// A loopback port on which nothing listens (a server listened there a moment ago).
inline uint16_t ClosedPort() {
    TempDir empty;
    return WebServerProcess(empty.Path()).Port();
}

} // namespace testing_support
