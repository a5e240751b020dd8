#include "httpd/ResponseHeader.h"

#include <cstdio>

namespace {

const char* ReasonPhrase(int code) {
    switch (code) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 202:
        return "Accepted";
    case 204:
        return "No Content";
    case 300:
        return "Multiple Choices";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Moved Temporarily";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return nullptr;
    }
}

constexpr std::string_view kBadRequest =
    "<html><head><title>400 Bad Request</title></head>"
    "<body><h1>Bad Request</h1><p>The server could not understand this request.</p></body></html>";
constexpr std::string_view kNotFound =
    "<html><head><title>404 Not Found</title></head>"
    "<body><h1>Not Found</h1><p>The requested file is not here.</p></body></html>";
constexpr std::string_view kNotImplemented =
    "<html><head><title>501 Not Implemented</title></head>"
    "<body><h1>Not Implemented</h1><p>This server answers GET and HEAD only.</p></body></html>";

} // namespace

std::string StatusLine(int code) {
    char line[64];
    if (const char* reason = ReasonPhrase(code))
        std::snprintf(line, sizeof line, "HTTP/1.0 %d %s\r\n", code, reason);
    else
        std::snprintf(line, sizeof line, "HTTP/1.0 %d\r\n", code);
    return line;
}

void CResponseHeader::AddDate(const CalendarTime& now) {
    m_strText += "Date: " + FormatHttpDate(now) + "\r\n";
}

void CResponseHeader::AddServer(std::string_view name) {
    m_strText += "Server: ";
    m_strText += name;
    m_strText += "\r\n";
}

void CResponseHeader::AddAllow() {
    m_strText += "Allow: GET, HEAD, DELETE\r\n";
}

void CResponseHeader::AddLastModified(const CalendarTime& time) {
    m_strText += "Last-Modified: " + FormatHttpDate(time) + "\r\n";
}

void CResponseHeader::AddAuthenticate(std::string_view realm) {
    m_strText += "WWW-Authenticate: Basic realm=";
    for (char c : realm) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
            m_strText += c;
    }
    m_strText += "\r\n";
}

void CResponseHeader::AddContentLength(uint64_t length) {
    m_strText += "Content-Length: " + std::to_string(length) + "\r\n";
}

void CResponseHeader::AddContentType(std::string_view type) {
    m_strText += "Content-Type: ";
    m_strText += type;
    m_strText += "\r\n";
}

std::string_view pages::ForStatus(int code) {
    switch (code) {
    case 400:
        return kBadRequest;
    case 501:
        return kNotImplemented;
    default:
        return kNotFound;
    }
}
