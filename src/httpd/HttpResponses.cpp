// The answers of CHttpClient: fixed pages and files.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "httpd/HttpClient.h"
#include "httpd/HttpLimits.h"
#include "httpd/HttpServer.h"
#include "platform/Clock.h"
#include "platform/GamePath.h"
#include "platform/SystemCalls.h"

namespace {

struct FileTime {
    int64_t seconds = 0;
    int64_t nanoseconds = 0;

    bool operator>(const FileTime& other) const {
        return seconds != other.seconds ? seconds > other.seconds : nanoseconds > other.nanoseconds;
    }
};

FileTime CurrentTime() {
    using namespace std::chrono;
    const auto since = platform::Now().time_since_epoch();
    const auto whole = duration_cast<seconds>(since);
    const auto rest = duration_cast<nanoseconds>(since - whole);
    FileTime now{whole.count(), rest.count()};
    if (now.nanoseconds < 0) {
        now.nanoseconds += 1000000000;
        --now.seconds;
    }
    return now;
}

// The extension of the file name: from its last dot on, dot included; empty without one.
std::string ExtensionOf(const std::string& path) {
    const std::size_t nameStart = path.find_last_of("\\/");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart))
        return {};
    return path.substr(dot);
}

} // namespace

CResponseHeader CHttpClient::StartHeader(int code) const {
    CResponseHeader header(code);
    header.AddDate(CalendarFromSeconds(CurrentTime().seconds));
    header.AddServer(m_pServer->Settings().m_strServerName);
    header.AddAllow();
    return header;
}

void CHttpClient::SendErrorPage(int code) {
    const std::string_view page = pages::ForStatus(code);
    if (m_Request.m_dwVersion > 9) {
        CResponseHeader header = StartHeader(code);
        header.AddContentLength(page.size());
        header.AddContentType("text/html");
        SendBytes(header.Finish());
    }
    SendBytes(page);
}

void CHttpClient::SendAuthRequest(const std::string& realm) {
    CResponseHeader header = StartHeader(401);
    header.AddAuthenticate(realm);
    header.AddContentLength(pages::kUnauthorized.size());
    header.AddContentType("text/html");
    SendBytes(header.Finish());
    SendBytes(pages::kUnauthorized);
}

void CHttpClient::SendDeleteDone(const std::string& /*path*/) {
    CResponseHeader header = StartHeader(200);
    header.AddContentLength(pages::kDeleteDone.size());
    header.AddContentType("text/html");
    SendBytes(header.Finish());
    SendBytes(pages::kDeleteDone);
}

void CHttpClient::SendFile(const std::string& path) {
    const std::string real = platform::ResolvePath(path);
    namespace sys = platform::sys;
    // Non-blocking so that a FIFO placed in the folder cannot stall the open.
    const sys::FileDescriptor file = sys::Open(real, O_RDONLY | O_NONBLOCK);
    if (!file.IsOpen()) {
        const int error = errno;
        struct stat status {};
        const bool isDirectory = sys::Status(real, status) && S_ISDIR(status.st_mode);
        if (error == EACCES && !isDirectory)
            SendAuthRequest(m_Request.m_strURL);
        else
            SendErrorPage(404);
        return;
    }
    struct stat status {};
    // Only plain files are served; a directory opens on Linux but is not a file to send.
    if (!sys::FileStatus(file.Get(), status) || !S_ISREG(status.st_mode)) {
        SendErrorPage(404);
        return;
    }
    sys::AdviseSequential(file.Get());

    // A file time in the future is reported as now, so a client's cache is never told of a time
    // that has not come yet.
    const FileTime now = CurrentTime();
    FileTime modified{status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
    if (modified > now)
        modified = now;
    const CalendarTime lastModified = CalendarFromSeconds(modified.seconds);

    int64_t since = 0;
    if (m_Request.m_nVerb == VERB_GET && m_Request.m_bIfModifiedSince &&
        SecondsFromCalendar(m_Request.m_IfModifiedSince, since) &&
        !(modified > FileTime{since, 0})) {
        CResponseHeader header = StartHeader(304);
        header.AddLastModified(lastModified);
        header.AddContentLength(0);
        header.AddContentType("text/html");
        SendBytes(header.Finish());
        return;
    }

    if (m_Request.m_dwVersion > 9) {
        CResponseHeader header = StartHeader(200);
        header.AddLastModified(lastModified);
        header.AddContentLength(static_cast<uint64_t>(status.st_size));
        header.AddContentType(m_pServer->ContentTypes().GetContentType(ExtensionOf(path)));
        if (!SendBytes(header.Finish()))
            return;
    }
    if (m_Request.m_nVerb != VERB_GET)
        return;

    // Once a send fails the peer is gone; the rest of the file would go nowhere.
    std::vector<char> buffer(httpd::kFileChunk);
    if (!m_Socket.SendFileContent(file.Get(), buffer.data(), buffer.size()))
        m_bBroken = true;
}
