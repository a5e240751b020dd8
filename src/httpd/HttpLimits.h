#pragma once
// Every number that bounds what one connection may cost the host, in one place.
#include <cstddef>
#include <cstdint>

namespace httpd {

// The port a joining player asks first, and the one tried when that is taken.
inline constexpr uint16_t kHostPort = 8155;
inline constexpr uint16_t kFallbackPort = 8156;

// How long a request head may go without receiving a byte before the connection is dropped.
inline constexpr uint32_t kRequestTimeoutMs = 30000;

// The head is read into a first buffer that grows in steps. A client that never ends its head
// must not eat the host's memory, so past kMaxHeadBytes the connection is dropped unanswered.
inline constexpr std::size_t kFirstHeadBuffer = 1024;
inline constexpr std::size_t kHeadGrowthStep = 4096;
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;

// Longest single wait for head data; the request time-out above is counted across such waits.
inline constexpr uint32_t kReadWaitMs = 250;
// How often the listener looks at its stop flag while no one connects.
inline constexpr uint32_t kAcceptWaitMs = 1000;
inline constexpr int kListenBacklog = 5;

// Files go to the socket in the kernel (sendfile) or, where that cannot be, through one buffer
// of this size; they are never loaded whole.
inline constexpr std::size_t kFileChunk = 4096;

// A request log line carries at most this much of the request path and of the user name; the
// rest is cut off and the line says so, so that one line always goes out in one write.
inline constexpr std::size_t kLogPathBytes = 512;
inline constexpr std::size_t kLogUserBytes = 64;
// What the console keeps of lines that standard output could not take yet; beyond it lines are
// dropped and counted.
inline constexpr std::size_t kConsoleBacklogBytes = 64 * 1024;

// The pause between the two beeps that announce a served announcement file.
inline constexpr uint32_t kBeepPauseMs = 100;

} // namespace httpd
