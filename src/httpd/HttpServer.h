#pragma once
// The embedded HTTP/1.0 server: one listener thread that accepts connections and serves each to
// its end before it accepts the next.
//
// Lifecycle: StartListener (returns once the listener listens or has failed) -> the listener
// serves -> StopListener (asks it to end and waits; the listener looks at the stop flag at least
// once a second between connections) -> WaitListener (releases a thread that ended on its own, or
// reports that there is none). StartListener, StopListener and WaitListener may be called from
// different threads at the same time (the hosting session and the signal handler thread): they
// are serialised, and each waits until the listener it found has ended.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

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

    // Read by the handler on the listener thread while it runs.
    const CServerSettings& Settings() const { return m_Settings; }
    CContentTypeCache& ContentTypes() { return m_ContentTypes; }
    // Puts settings in place without starting a listener, for handlers driven by tests.
    void UseSettings(const CServerSettings& settings) { m_Settings = settings; }

  private:
    void RunListener();
    void SetStarted();
    // Ends and releases the listener thread; m_threadLock must be held.
    void ReleaseListener(bool requestStop);

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
};

// The program's one server, started by StartWebServer for each hosting session.
extern CHttpServer g_HttpServer;
