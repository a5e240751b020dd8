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
// How long the whole head may take from the moment the connection is accepted, however the bytes
// trickle in. A real client sends its head (a few hundred bytes) in one piece; a client that
// drips it a byte at a time would otherwise hold a worker as long as it likes.
inline constexpr uint32_t kHeadReadLimitMs = 10000;

// The head is read into a first buffer that grows in steps. A client that never ends its head
// must not eat the host's memory, so past kMaxHeadBytes the connection is dropped unanswered.
inline constexpr std::size_t kFirstHeadBuffer = 1024;
inline constexpr std::size_t kHeadGrowthStep = 4096;
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;

// Longest single wait for head data; the request time-out above is counted across such waits.
inline constexpr uint32_t kReadWaitMs = 250;
// How often the listener looks at its stop flag while no one connects (a stop also wakes it at
// once).
inline constexpr uint32_t kAcceptWaitMs = 1000;
// Connections that wait for a free worker, or for the listener to get a core, wait in the
// kernel's listen queue. A burst (joiners of one lobby, a scan, a peer past its cap) that finds it
// full has its connection requests dropped, and a client retries only after a second; on a busy
// machine a queue of 64 overflowed within a burst of 1,000, one of 256 did not.
inline constexpr int kListenBacklog = 256;

// Connections served side by side, each by a worker thread of its own that lives until the
// listener stops. Workers are started as connections need them, never more than this; beyond it
// new connections wait in the listen queue. 32 covers every player of a full game at once with
// room to spare, while 32 threads and descriptors cost the host little.
inline constexpr std::size_t kMaxConnections = 32;
// Connections one peer address may hold at a time. A joiner uses one connection at a time, and a
// few players behind one router share an address; one address can never take more than a quarter
// of the workers, so the rest stay free for everyone else. A connection beyond this is closed at
// once, unanswered, without reading it.
inline constexpr std::size_t kMaxConnectionsPerPeer = 8;

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
