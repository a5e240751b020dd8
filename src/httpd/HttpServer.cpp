#include "httpd/HttpServer.h"

#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <system_error>

#include "httpd/HttpClient.h"
#include "httpd/HttpLimits.h"
#include "httpd/TcpSocket.h"

CHttpServer g_HttpServer;

CHttpServer::~CHttpServer() {
    StopListener();
}

bool CHttpServer::StartListener(const CServerSettings& settings) {
    std::lock_guard<std::mutex> guard(m_threadLock);
    // A thread left from a failed start (or a listener still running) is ended and released here
    // rather than dropped, which would leak it or abort the process.
    ReleaseListener(true);

    m_Settings = settings;
    m_bListening = false;
    m_bStopRequested = false;
    m_nListeningPort = 0;
    m_nStartError = 0;
    {
        std::lock_guard<std::mutex> start(m_startLock);
        m_evStarted = false;
    }
    try {
        m_pListenerThread = std::make_unique<std::thread>(&CHttpServer::RunListener, this);
    } catch (const std::system_error& error) {
        m_nStartError = error.code().value();
        return false;
    }
    std::unique_lock<std::mutex> start(m_startLock);
    m_startSignal.wait(start, [this] { return m_evStarted; });
    m_evStarted = false;
    return m_bListening;
}

bool CHttpServer::StopListener() {
    // Raised before taking the lock, so a WaitListener that holds it while the listener runs
    // sees its listener end instead of blocking this stop for good.
    m_bStopRequested = true;
    std::lock_guard<std::mutex> guard(m_threadLock);
    ReleaseListener(true);
    return true;
}

bool CHttpServer::WaitListener() {
    std::lock_guard<std::mutex> guard(m_threadLock);
    if (!m_pListenerThread)
        return false;
    ReleaseListener(false);
    return true;
}

void CHttpServer::ReleaseListener(bool requestStop) {
    if (!m_pListenerThread)
        return;
    if (requestStop)
        m_bStopRequested = true;
    m_pListenerThread->join();
    m_pListenerThread.reset();
}

void CHttpServer::SetStarted() {
    std::lock_guard<std::mutex> start(m_startLock);
    m_evStarted = true;
    m_startSignal.notify_all();
}

void CHttpServer::RunListener() {
    // sendfile has no MSG_NOSIGNAL: with SIGPIPE blocked on this thread a peer that has gone away
    // makes it fail with EPIPE instead of ending the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    CTcpSocket listener;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(m_Settings.m_nPort);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!listener.Create() || !listener.Bind(address) || !listener.Listen()) {
        m_nStartError = errno;
        listener.Close();
        SetStarted();
        return;
    }

    std::unique_ptr<CHttpClient> client =
        m_Settings.m_pClientClass ? m_Settings.m_pClientClass() : std::make_unique<CHttpClient>();
    client->SetServer(this);
    m_nListeningPort = listener.LocalPort();
    m_bListening = true;
    SetStarted();

    while (!m_bStopRequested) {
        bool readable = false;
        if (!listener.IsReadable(readable, httpd::kAcceptWaitMs)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (!readable)
            continue;
        int accepted = CTcpSocket::kInvalid;
        sockaddr_in peer{};
        if (listener.Accept(accepted, peer)) {
            client->HandleConnection(accepted, peer);
        } else {
            // Out of descriptors and the like: the socket stays readable, so pause instead of
            // spinning until the condition passes.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    client.reset();
    listener.Close();
    m_bListening = false;
    m_nListeningPort = 0;
}
