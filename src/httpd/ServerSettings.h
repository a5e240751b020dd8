#pragma once
// What one listener run serves and how: copied by value into the server when it starts.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "httpd/HttpLimits.h"

class CHttpClient;

// A URL prefix and the local directory behind it.
struct CShareDirectory {
    std::string m_strAlias;       // backslash form, always beginning with a backslash; "\" = root
    std::string m_strPath;        // Windows-style directory, no trailing backslash
    std::string m_strDefaultFile; // served when a URL names the directory itself

    // Stores `alias` in its normal form: "/" and "\" become "\", "word" becomes "\word\".
    void SetAlias(std::string_view alias);
};

// Makes the handler object of a listener run.
using ClientFactory = std::function<std::unique_ptr<CHttpClient>()>;

struct CServerSettings {
    // Port 80, the root alias on the program's own directory with "default.htm", 30 s head
    // time-out, "Tarvis/1.1", the plain CHttpClient, and the limits of HttpLimits.h.
    CServerSettings();

    uint16_t m_nPort = 80; // 0 lets the system choose a free port (tests)
    std::vector<CShareDirectory> m_Directories;
    uint32_t m_dwRequestTimeout = httpd::kRequestTimeoutMs;
    // The whole head must have arrived this long after the connection was accepted.
    uint32_t m_dwHeadReadLimit = httpd::kHeadReadLimitMs;
    // Workers, and connections per peer address, served side by side (tests use fewer).
    std::size_t m_nMaxConnections = httpd::kMaxConnections;
    std::size_t m_nMaxConnectionsPerPeer = httpd::kMaxConnectionsPerPeer;
    std::string m_strServerName = "Tarvis/1.1";
    ClientFactory m_pClientClass;
};
