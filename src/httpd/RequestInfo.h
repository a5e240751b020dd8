#pragma once
// What the server keeps of one request head; everything else in a request is ignored.
#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "httpd/HttpDate.h"

enum Verb : int {
    VERB_POST = 0,
    VERB_GET = 1,
    VERB_HEAD = 2,
    VERB_PUT = 3,
    VERB_LINK = 4,
    VERB_DELETE = 5,
    VERB_UNLINK = 6,
    VERB_UNKNOWN = 7,
};

// The method's name in capitals, "UNKNOWN" for any other.
const char* VerbName(int verb);

struct CRequestInfo {
    sockaddr_in m_PeerAddress{};
    int m_nVerb = VERB_UNKNOWN;
    std::string m_strURL;     // decoded path, without user information and query
    uint32_t m_dwVersion = 0; // major * 65536 + minor; 9 for a line without version
    bool m_bIfModifiedSince = false;
    CalendarTime m_IfModifiedSince;
    bool m_bCredentials = false;
    std::string m_strUserName;
    std::string m_strPassword;
};
