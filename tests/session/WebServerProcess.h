#pragma once
// Python's http.server, started by a test on a free loopback port (see alternate_server.py for
// the paths on which it misbehaves), and stopped when the object goes.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace testing_support {

class WebServerProcess {
  public:
    // Serves `folder`; `mode` is passed on to the script ("" or "endless-announcement").
    explicit WebServerProcess(const std::string& folder, const std::string& mode = "");
    ~WebServerProcess();
    WebServerProcess(const WebServerProcess&) = delete;
    WebServerProcess& operator=(const WebServerProcess&) = delete;

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:PORT"
    std::string Address() const;

  private:
    pid_t m_pid = -1;
    uint16_t m_port = 0;
};

// A loopback port on which nothing listens (it was free a moment ago).
uint16_t ClosedPort();

} // namespace testing_support
