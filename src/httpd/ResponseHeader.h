#pragma once
// The header block of an answer and the fixed pages. Every answer is HTTP/1.0 and the connection
// is closed after it, so the block is built whole and sent with one Send.
#include <cstdint>
#include <string>
#include <string_view>

#include "httpd/HttpDate.h"

// "HTTP/1.0 404 Not Found\r\n"; a code without a reason phrase gets "HTTP/1.0 <code>\r\n".
std::string StatusLine(int code);

class CResponseHeader {
  public:
    explicit CResponseHeader(int code) : m_strText(StatusLine(code)) {}

    void AddDate(const CalendarTime& now);
    void AddServer(std::string_view name);
    void AddAllow();
    void AddLastModified(const CalendarTime& time);
    // The realm comes from the request path: line breaks and other control characters in it are
    // dropped so a client cannot end the header line early.
    void AddAuthenticate(std::string_view realm);
    void AddContentLength(uint64_t length);
    void AddContentType(std::string_view type);

    // The block with its closing empty line.
    std::string Finish() const { return m_strText + "\r\n"; }

  private:
    std::string m_strText;
};

// The five fixed pages, short HTML documents sent as "text/html".
namespace pages {
std::string_view ForStatus(int code); // 400, 404 or 501
inline constexpr std::string_view kUnauthorized =
    "<html><head><title>401 Unauthorized</title></head>"
    "<body><h1>Unauthorized</h1><p>This request needs a user name and password.</p></body></html>";
inline constexpr std::string_view kDeleteDone =
    "<html><head><title>Deleted</title></head>"
    "<body><h1>Deleted</h1><p>The delete request was accepted.</p></body></html>";
} // namespace pages
