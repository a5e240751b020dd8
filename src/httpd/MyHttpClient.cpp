#include "httpd/MyHttpClient.h"

#include <arpa/inet.h>
#include <time.h>

#include <chrono>
#include <cstdio>

#include "httpd/Console.h"
#include "httpd/HttpLimits.h"
#include "platform/Clock.h"
#include "platform/WindowsText.h"

namespace {

// The text as it may stand in a log line: control characters shown as "?", and cut after `limit`
// bytes, saying how long it was, so that one line never grows past what one write takes whole.
std::string Shown(const std::string& text, std::size_t limit) {
    if (text.size() <= limit)
        return Printable(text);
    // UTF-8 is cut before a whole character, so that the part shown still reads as UTF-8.
    std::size_t end = limit;
    if (platform::IsValidUtf8(text))
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
    return Printable(text.substr(0, end)) + "...(cut, " + std::to_string(text.size()) + " bytes)";
}

} // namespace

std::string FormatRequestLogLine(const CRequestInfo& request) {
    const time_t now = std::chrono::system_clock::to_time_t(platform::Now());
    tm local{};
    ::localtime_r(&now, &local);
    // The date and time forms of the C locale ("%x" and "%X"), whatever the user's locale, so that
    // whoever reads the log (a lobby script, a player comparing two hosts) reads one form.
    char date[64] = "";
    char time[64] = "";
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", local.tm_mon + 1, local.tm_mday,
                  local.tm_year % 100);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);

    const std::string user = request.m_strUserName.empty() ? "Anonymous" : request.m_strUserName;
    const auto* address = reinterpret_cast<const unsigned char*>(&request.m_PeerAddress.sin_addr);
    // Path and user come from the network: control characters in them must not reach a terminal,
    // and their length is the client's choice.
    const std::string url = Shown(request.m_strURL, httpd::kLogPathBytes);
    const std::string shownUser = Shown(user, httpd::kLogUserBytes);
    const int length =
        std::snprintf(nullptr, 0, "%s, %s, %s %s, %s, %d.%d.%d.%d, %d\n", date, time,
                      VerbName(request.m_nVerb), url.c_str(), shownUser.c_str(), address[0],
                      address[1], address[2], address[3], ntohs(request.m_PeerAddress.sin_port));
    std::string line(static_cast<std::size_t>(length), '\0');
    std::snprintf(line.data(), line.size() + 1, "%s, %s, %s %s, %s, %d.%d.%d.%d, %d\n", date, time,
                  VerbName(request.m_nVerb), url.c_str(), shownUser.c_str(), address[0], address[1],
                  address[2], address[3], ntohs(request.m_PeerAddress.sin_port));
    return line;
}

bool CMyHttpClient::OnRequestParsed() {
    PrintToConsole(FormatRequestLogLine(m_Request));
    return CHttpClient::OnRequestParsed();
}
