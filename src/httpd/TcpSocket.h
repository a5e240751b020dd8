#pragma once
// One TCP socket: the listening socket of the server or one accepted connection.
//
// Every outcome is a boolean (Receive: the count); no error text is produced here. Sockets are
// blocking; the only bounded waits are IsReadable and, for accepted sockets, the send stall time
// set with SetSendTimeout. All descriptors are close-on-exec so that the game, started while the
// server runs, never inherits the port.
#include <netinet/in.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class CTcpSocket {
  public:
    static constexpr int kInvalid = -1;

    CTcpSocket() = default;
    ~CTcpSocket() { Close(); }
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    // IPv4 stream socket.
    bool Create();
    // Binds with SO_REUSEADDR, so a host that stops and at once hosts again gets its port back;
    // a port held by a live listener still fails.
    bool Bind(const sockaddr_in& address);
    bool Listen();
    // The accepted handle (or kInvalid) is written even on failure.
    bool Accept(int& accepted, sockaddr_in& peer);
    // Sends the whole buffer, resuming after partial sends and interruptions. False only when
    // the connection is broken or has made no progress for the send time-out. Never raises
    // SIGPIPE.
    bool Send(const void* bytes, std::size_t length);
    bool Send(std::string_view bytes) { return Send(bytes.data(), bytes.size()); }
    // Sends the rest of an open file from its current offset, in the kernel where it can
    // (sendfile), through `buffer` otherwise. False once the connection is broken, as Send.
    bool SendFileContent(int fileHandle, char* buffer, std::size_t bufferSize);
    // One receive call: bytes received, 0 when the peer has closed its side, -1 on error.
    ssize_t Receive(void* buffer, std::size_t length);
    void Close();
    // Closes a handle that no object holds (a connection refused at once).
    static void CloseHandle(int handle);
    // Cuts a connection (or wakes a listening socket) from another thread: a wait on it returns
    // at once, a read sees the end of the stream and a send fails. The handle stays open.
    static void ShutDown(int handle);
    // Takes over a handle; a handle held before is not closed.
    void Attach(int handle) { m_hSocket = handle; }
    // Waits up to timeoutMs (0 polls). False only when the wait itself fails.
    bool IsReadable(bool& readable, uint32_t timeoutMs);

    // Collects data into `buffer` (whose size is the first buffer size, at least 1) until
    // `terminator` arrives. It fails when timeoutMs pass without a byte, when wholeTimeoutMs pass
    // since the call (however the bytes trickle), and at once when the peer closes its side,
    // since no terminator can come any more. When the buffer fills it grows by growthStep, but
    // never beyond maxBytes + 1: a head that reaches maxBytes without the terminator fails like a
    // time-out. On success the text is cut terminator-length bytes before the end of everything
    // received. The text in `buffer` is zero-terminated whatever the result.
    bool ReadUntil(std::vector<char>& buffer, std::string_view terminator, uint32_t timeoutMs,
                   std::size_t growthStep, std::size_t maxBytes,
                   uint32_t wholeTimeoutMs = UINT32_MAX);

    // An accepted socket whose peer takes nothing for this long counts as broken.
    void SetSendTimeout(uint32_t timeoutMs);
    // The port the socket is bound to (useful after binding port 0), 0 when unknown.
    uint16_t LocalPort() const;
    int Handle() const { return m_hSocket; }

  private:
    int m_hSocket = kInvalid;
};
