#include "httpd/HttpServer.h"

#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

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
    WakeListener();
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
    if (requestStop) {
        m_bStopRequested = true;
        WakeListener();
    }
    m_pListenerThread->join();
    m_pListenerThread.reset();
}

void CHttpServer::SetStarted() {
    std::lock_guard<std::mutex> start(m_startLock);
    m_evStarted = true;
    m_startSignal.notify_all();
}

void CHttpServer::RunListener() {
    // sendfile has no MSG_NOSIGNAL: with SIGPIPE blocked on this thread, and so on the workers it
    // starts (they inherit the mask), a peer that has gone away makes it fail with EPIPE instead
    // of ending the process.
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

    m_nListeningPort = listener.LocalPort();
    {
        std::lock_guard<std::mutex> guard(m_connectionLock);
        m_hListenSocket = listener.Handle();
        m_bWorkersEnd = false;
    }
    m_bListening = true;
    SetStarted();

    while (WaitForRoom()) {
        bool readable = false;
        if (!listener.IsReadable(readable, httpd::kAcceptWaitMs)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (!readable || m_bStopRequested)
            continue;
        Accepted connection{CTcpSocket::kInvalid, {}};
        if (!listener.Accept(connection.socket, connection.peer)) {
            // Out of descriptors and the like: the socket stays readable, so pause instead of
            // spinning until the condition passes.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        if (!Admit(connection))
            CTcpSocket::CloseHandle(connection.socket);
    }
    {
        std::lock_guard<std::mutex> guard(m_connectionLock);
        m_hListenSocket = -1;
    }
    listener.Close();
    EndConnections();
    m_bListening = false;
    m_nListeningPort = 0;
}

bool CHttpServer::WaitForRoom() {
    std::unique_lock<std::mutex> lock(m_connectionLock);
    // Workers make room as they close their connections; the timed wait is only a safety net.
    while (!m_bStopRequested && m_Connections.size() >= m_Settings.m_nMaxConnections)
        m_roomSignal.wait_for(lock, std::chrono::milliseconds(httpd::kAcceptWaitMs));
    return !m_bStopRequested;
}

bool CHttpServer::Admit(const Accepted& connection) {
    const in_addr_t address = connection.peer.sin_addr.s_addr;
    std::lock_guard<std::mutex> guard(m_connectionLock);
    const auto peer = m_PeerConnections.find(address);
    if (peer != m_PeerConnections.end() && peer->second >= m_Settings.m_nMaxConnectionsPerPeer)
        return false;
    if (m_nIdleWorkers <= m_Queue.size() && m_Workers.size() < m_Settings.m_nMaxConnections) {
        std::unique_ptr<CHttpClient> client = m_Settings.m_pClientClass
                                                  ? m_Settings.m_pClientClass()
                                                  : std::make_unique<CHttpClient>();
        client->SetServer(this);
        try {
            m_Workers.emplace_back(&CHttpServer::RunWorker, this, std::move(client));
        } catch (const std::system_error&) {
            // No thread to be had: the workers there are take the connection in turn, and
            // without any the connection cannot be served at all.
            if (m_Workers.empty())
                return false;
        }
    }
    ++m_PeerConnections[address];
    m_Connections.emplace(connection.socket, address);
    m_Queue.push_back(connection);
    m_workSignal.notify_one();
    return true;
}

void CHttpServer::RunWorker(std::unique_ptr<CHttpClient> client) {
    std::unique_lock<std::mutex> lock(m_connectionLock);
    for (;;) {
        ++m_nIdleWorkers;
        m_workSignal.wait(lock, [this] { return m_bWorkersEnd || !m_Queue.empty(); });
        --m_nIdleWorkers;
        if (m_bWorkersEnd)
            return;
        const Accepted connection = m_Queue.front();
        m_Queue.pop_front();
        lock.unlock();
        client->HandleConnection(connection.socket, connection.peer);
        lock.lock();
    }
}

void CHttpServer::ForgetConnection(int socket) {
    std::lock_guard<std::mutex> guard(m_connectionLock);
    const auto found = m_Connections.find(socket);
    if (found == m_Connections.end())
        return;
    const auto peer = m_PeerConnections.find(found->second);
    if (peer != m_PeerConnections.end() && --peer->second == 0)
        m_PeerConnections.erase(peer);
    m_Connections.erase(found);
    m_roomSignal.notify_one();
}

std::size_t CHttpServer::OpenConnections() {
    std::lock_guard<std::mutex> guard(m_connectionLock);
    return m_Connections.size();
}

void CHttpServer::EndConnections() {
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> guard(m_connectionLock);
        m_bWorkersEnd = true;
        // Connections no worker has taken yet are closed here; those being served are cut, which
        // ends any wait of their worker at once: a read sees the end of the stream and a send
        // fails, whatever the client does. Each worker then closes its own socket.
        for (const Accepted& queued : m_Queue) {
            m_Connections.erase(queued.socket);
            CTcpSocket::CloseHandle(queued.socket);
        }
        m_Queue.clear();
        for (const auto& [socket, peer] : m_Connections)
            CTcpSocket::ShutDown(socket);
        workers.swap(m_Workers);
        m_workSignal.notify_all();
    }
    for (std::thread& worker : workers)
        worker.join();
    std::lock_guard<std::mutex> guard(m_connectionLock);
    m_Connections.clear();
    m_PeerConnections.clear();
}

void CHttpServer::WakeListener() {
    std::lock_guard<std::mutex> guard(m_connectionLock);
    // Shutting the listening socket down makes its poll return at once; it is closed by the
    // listener itself, under this lock's protection from reuse of its number.
    if (m_hListenSocket >= 0)
        CTcpSocket::ShutDown(m_hListenSocket);
    m_roomSignal.notify_all();
}
