#pragma once
// The internet client of the join path: opens an http, https or ftp address (a GET request, or
// the file's retrieval) and hands the body back as a blocking stream of raw bytes, whatever the
// status code.
//
// Lifecycle: OpenURL connects, sends the request, follows redirects (at most kMaxRedirects) and
// returns once the headers of the final response have arrived, or tells why it could not. The
// stream is then read in pieces of the size the caller asks for; it pulls data from the network
// only as fast as it is read, so a body of any length never has to fit in memory. Close (or the
// destructor) ends the transfer.
//
// Nothing is cached: every request carries no-cache headers, and no proxy or cache of our own sits
// between the peers.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform {

inline constexpr int kMaxRedirects = 5;

struct InternetTimeouts {
    // How long establishing a connection may take (name lookup included).
    std::chrono::milliseconds connect{15000};
    // How long the peer may go without sending anything, while we wait for the response head or
    // for more of the body. A host that stops sending must not freeze the joiner for good.
    std::chrono::milliseconds stall{60000};
};

// The time-outs in force for streams opened from now on. Tests shorten the stall time-out so that
// a stalled peer is given up in a second rather than a minute. Set returns the time-outs in force
// before, so that a scoped override can put them back.
InternetTimeouts GetInternetTimeouts();
InternetTimeouts SetInternetTimeouts(InternetTimeouts timeouts);

enum class ReadStatus {
    Data,     // `count` bytes were delivered
    End,      // the body is complete
    TimedOut, // the peer sent nothing for the stall time-out
    Broken,   // the connection failed before the body was complete
    Waiting,  // nothing arrived within the caller's wait; the transfer goes on
};

struct ReadResult {
    std::size_t count = 0;
    ReadStatus status = ReadStatus::End;
};

class InternetStream {
  public:
    struct Transfer;
    explicit InternetStream(std::unique_ptr<Transfer> transfer);
    ~InternetStream();
    InternetStream(const InternetStream&) = delete;
    InternetStream& operator=(const InternetStream&) = delete;

    // Blocks until at least one byte is there (then returns up to `size` bytes), the body has
    // ended, or the transfer failed. After End, TimedOut or Broken every further call says the
    // same.
    ReadResult Read(char* buffer, std::size_t size);
    // The same, but returns Waiting once `longestWait` has passed without a byte, so that the
    // caller can keep a window painted and look at a Cancel button while a slow host is silent.
    // The stall time-out counts across such calls from the last byte received.
    ReadResult Read(char* buffer, std::size_t size, std::chrono::milliseconds longestWait);
    // The status code of the final response (after redirects).
    long StatusCode() const;
    // Ends the transfer; further reads report End. Safe to call more than once.
    void Close();

  private:
    std::unique_ptr<Transfer> m_transfer;
};

enum class OpenFailure {
    None,
    ConnectionFailed, // no such host, refused, unreachable, no answer, or no response head
    NoStream,         // the address cannot be opened at all: not http, https or ftp, malformed,
                      // redirected too often or to another scheme; or an ftp server refused
                      // the login or has no such file
    Cancelled,        // the caller's keepWaiting said to stop before the answer came
};

struct OpenResult {
    std::unique_ptr<InternetStream> stream; // set exactly when failure is None
    OpenFailure failure = OpenFailure::None;
    std::string detail; // what went wrong, for the run log
};

OpenResult OpenURL(const std::string& url);
// The same, but asks `keepWaiting` at least every `lookEvery` while the answer has not come, so
// that the caller can keep a window painted and take a Cancel; once it answers false, the
// transfer is dropped and the failure is Cancelled.
OpenResult OpenURL(const std::string& url, std::chrono::milliseconds lookEvery,
                   const std::function<bool()>& keepWaiting);

// A file name made fit to stand as one segment of an address: every byte but letters, digits and
// "-._~" is written as %XX, so "Desert Storm.gck" becomes "Desert%20Storm.gck" and a "#" or "?"
// in a name cannot cut the address short. The server decodes it back.
std::string EncodePathSegment(const std::string& name);

} // namespace platform
