#pragma once
// Loopback clients for the wire tests: raw bytes over a socket, and real programs (curl, wget,
// python3) run with a time limit.
#include <cstdint>
#include <string>
#include <string_view>

namespace httpd_test {

// Connects to 127.0.0.1:port, sends `request`, and returns everything received until the server
// closes the connection (or `limitMs` passes, or the server resets it). `elapsedMs` receives how
// long that took.
std::string Exchange(uint16_t port, std::string_view request, int limitMs = 10000,
                     int* elapsedMs = nullptr);

// Runs a shell command and returns its standard output; `status` receives its exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);

// The body after the first empty line ("" when there is none).
std::string BodyOf(const std::string& response);

} // namespace httpd_test
