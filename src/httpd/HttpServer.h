#pragma once
// The embedded HTTP/1.0 server: one listener thread that accepts connections and hands each to a
// worker thread, so that a joiner fetching the archive for minutes never keeps another from the
// announcement.
//
// Lifecycle: StartListener (returns once the listener listens or has failed) -> the listener
// accepts and workers serve -> StopListener (asks it to end, wakes it, cuts every connection
// still open and waits until the listener and every worker have ended, so that no file of Share
// is held any more when it returns) -> WaitListener (releases a thread that ended on its own, or
// reports that there is none). StartListener, StopListener and WaitListener may be called from
// different threads at the same time (the hosting session and the signal handler thread): they
// are serialised, and each waits until the listener it found has ended.
//
// Workers: started as connections need them, up to the settings' m_nMaxConnections, and kept
// until the listener stops. At the cap the listener stops accepting, so new connections wait in
// the listen queue. A peer address holding m_nMaxConnectionsPerPeer connections already has any
// further one closed at once, unanswered.
#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "httpd/ContentTypeCache.h"
#include "httpd/ServerSettings.h"

class CHttpServer {
  public:
    CHttpServer() = default;
    ~CHttpServer();
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Copies the settings and starts a listener on their port (a listener still running is
    // stopped first). True once it listens; on false StartError() tells why (an errno value).
    bool StartListener(const CServerSettings& settings);
    // Always true; does nothing when no listener exists.
    bool StopListener();
    // Waits for the listener to end by itself and releases it; false when there is none.
    bool WaitListener();

    // The port actually listened on (the settings' port, or the system's choice for port 0);
    // 0 while not listening.
    uint16_t ListeningPort() const { return m_nListeningPort; }
    int StartError() const { return m_nStartError; }
    // Connections accepted and not yet closed, served or waiting for a worker.
    std::size_t OpenConnections();

    // Read by the handlers on the worker threads while the listener runs.
    const CServerSettings& Settings() const { return m_Settings; }
    CContentTypeCache& ContentTypes() { return m_ContentTypes; }
    // Puts settings in place without starting a listener, for handlers driven by tests.
    void UseSettings(const CServerSettings& settings) { m_Settings = settings; }

    // A handler calls this just before it closes an accepted socket: from then on the connection
    // no longer counts against its peer or the cap, and a stop no longer reaches for it.
    void ForgetConnection(int socket);

  private:
    struct Accepted {
        int socket;
        sockaddr_in peer;
    };

    void RunListener();
    void SetStarted();
    // Ends and releases the listener thread; m_threadLock must be held.
    void ReleaseListener(bool requestStop);

    // Waits until the cap leaves room for one more connection; false once a stop is requested.
    bool WaitForRoom();
    // Counts the connection against its peer and queues it for a worker, starting one when none
    // is idle; false (the caller closes the socket) when the peer is at its cap.
    bool Admit(const Accepted& connection);
    void RunWorker(std::unique_ptr<CHttpClient> client);
    // After the listener has stopped accepting: cuts every connection and waits for the workers.
    void EndConnections();
    // Wakes the listener out of its wait for a connection or for room.
    void WakeListener();

    std::mutex m_threadLock;
    std::unique_ptr<std::thread> m_pListenerThread;

    std::mutex m_startLock;
    std::condition_variable m_startSignal;
    bool m_evStarted = true; // auto-reset: consumed by the starter's wait

    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bListening{false};
    std::atomic<uint16_t> m_nListeningPort{0};
    std::atomic<int> m_nStartError{0};
    CServerSettings m_Settings;
    CContentTypeCache m_ContentTypes;

    // Everything below is guarded by m_connectionLock.
    std::mutex m_connectionLock;
    std::condition_variable m_workSignal; // a connection is queued, or the workers must end
    std::condition_variable m_roomSignal; // a connection closed, or the listener must end
    int m_hListenSocket = -1;             // for the stop to wake the listener
    std::unordered_map<int, in_addr_t> m_Connections; // open sockets and their peers
    std::unordered_map<in_addr_t, std::size_t> m_PeerConnections;
    std::deque<Accepted> m_Queue; // accepted, not yet taken by a worker
    std::vector<std::thread> m_Workers;
    std::size_t m_nIdleWorkers = 0;
    bool m_bWorkersEnd = false;
};

// The program's one server, started by StartWebServer for each hosting session.
extern CHttpServer g_HttpServer;
