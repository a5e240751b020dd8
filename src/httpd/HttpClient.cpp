#include "httpd/HttpClient.h"

#include <chrono>
#include <thread>
#include <vector>

#include "httpd/Console.h"
#include "httpd/HostedModpack.h"
#include "httpd/HttpLimits.h"
#include "httpd/HttpServer.h"
#include "httpd/RequestParser.h"
#include "platform/GamePath.h"

void CHttpClient::HandleConnection(int socket, const sockaddr_in& peer) {
    m_Socket.Attach(socket);
    m_Request.m_PeerAddress = peer;
    m_bBroken = false;

    const CServerSettings& settings = m_pServer->Settings();
    // A client that stops taking data must not hold a worker for good.
    m_Socket.SetSendTimeout(settings.m_dwRequestTimeout);
    std::vector<char> head(httpd::kFirstHeadBuffer, 0);
    if (m_Socket.ReadUntil(head, "\r\n\r\n", settings.m_dwRequestTimeout, httpd::kHeadGrowthStep,
                           httpd::kMaxHeadBytes, settings.m_dwHeadReadLimit))
        ServeRequest(head.data());

    m_pServer->ForgetConnection(m_Socket.Handle());
    m_Socket.Close();
    m_Request = CRequestInfo{};
}

void CHttpClient::ServeRequest(const char* head) {
    if (!ParseRequest(head, m_Request) || !OnRequestParsed()) {
        SendErrorPage(400);
        return;
    }

    // Credentials are not used to log on anyone: requests run under the program's own identity.
    // They still decide the DELETE answer and show in the log line.
    const std::string& url = m_Request.m_strURL;
    std::string path;
    switch (m_Request.m_nVerb) {
    case VERB_GET:
    case VERB_HEAD:
        if (!MapUrlToFile(path)) {
            SendErrorPage(404);
        } else if (url == "/giantshost.htm") {
            SendFile(path);
            // The pause only separates two audible beeps.
            if (RingBell()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(httpd::kBeepPauseMs));
                RingBell();
            }
        } else if (!g_strHostedModpack.empty() &&
                   (url == "/" + g_strHostedModpack || url == "/KRVInstall.exe")) {
            RingBell();
            SendFile(path);
            RingBell();
        }
        // Any other path gets no answer at all: the connection is just closed.
        break;
    case VERB_DELETE:
        if (!m_Request.m_bCredentials)
            SendAuthRequest(url);
        else if (MapUrlToFile(path))
            SendDeleteDone(path);
        else
            SendErrorPage(404);
        break;
    default:
        SendErrorPage(501);
        break;
    }
}

bool CHttpClient::SendBytes(std::string_view bytes) {
    if (m_bBroken)
        return false;
    if (!m_Socket.Send(bytes))
        m_bBroken = true;
    return !m_bBroken;
}

bool CHttpClient::MapUrlToFile(std::string& path) {
    std::string local = m_Request.m_strURL;
    if (local.find('\0') != std::string::npos)
        return false;
    for (char& c : local) {
        if (c == '/')
            c = '\\';
    }
    // Only a ".." that names the folder above can leave the share: one inside a name
    // ("Arena..v2.gck") is an ordinary file name and is served.
    const std::string wrapped = "\\" + local + "\\";
    if (wrapped.find("\\..\\") != std::string::npos)
        return false;

    // Directory parts are tried from the deepest to the shallowest.
    std::string partial = local;
    for (;;) {
        const std::size_t start = partial.size() >= 2 && partial[1] == ':' ? 2 : 0;
        const std::size_t slash = partial.rfind('\\');
        if (slash == std::string::npos || slash < start)
            return false;
        const std::string directory = partial.substr(start, slash + 1 - start);
        if (const CShareDirectory* share = FindShareDirectory(directory)) {
            const std::string remainder =
                local.substr(std::min(share->m_strAlias.size(), local.size()));
            path =
                share->m_strPath + "\\" + (remainder.empty() ? share->m_strDefaultFile : remainder);
            return true;
        }
        partial = directory.substr(0, directory.size() - 1);
    }
}

const CShareDirectory* CHttpClient::FindShareDirectory(std::string_view alias) {
    for (const CShareDirectory& share : m_pServer->Settings().m_Directories) {
        if (platform::EqualsIgnoringCase(share.m_strAlias, alias))
            return &share;
    }
    return nullptr;
}
