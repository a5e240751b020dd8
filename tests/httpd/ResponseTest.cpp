#include <gtest/gtest.h>

#include "FakeClock.h"
#include "ScopedLocale.h"
#include "TempDir.h"
#include "WireHelpers.h"
#include "httpd/ContentTypeCache.h"
#include "httpd/HttpClient.h"
#include "httpd/HttpDate.h"
#include "httpd/HttpServer.h"
#include "httpd/MyHttpClient.h"
#include "httpd/ResponseHeader.h"

using httpd_test::Share;
using testing_support::TempDir;

namespace {

class MappingClient : public CHttpClient {
  public:
    explicit MappingClient(CHttpServer& server) { SetServer(&server); }
    std::optional<std::string> Map(const std::string& url) {
        m_Request.m_strURL = url;
        std::string path;
        return MapUrlToFile(path) ? std::optional(path) : std::nullopt;
    }
};

} // namespace

TEST(HttpdResponse, DatesAndStatusLines) {
    int64_t seconds = 0;
    const CalendarTime tuesday{2026, 1, 2, 6, 8, 5, 9, 0};
    ASSERT_TRUE(SecondsFromCalendar(tuesday, seconds));
    EXPECT_EQ(CalendarFromSeconds(seconds), tuesday); // the weekday is computed, not copied
    EXPECT_EQ(FormatHttpDate(CalendarFromSeconds(seconds)), "Tue, 06 Jan 2026 08:05:09 GMT");
    EXPECT_EQ(FormatHttpDate(CalendarFromSeconds(seconds + 338 * 86400)),
              "Thu, 10 Dec 2026 08:05:09 GMT");
    EXPECT_EQ(FormatHttpDate(CalendarFromSeconds(-1)), "Wed, 31 Dec 1969 23:59:59 GMT");

    // Fields no real date can have are refused before any comparison with a file time.
    for (CalendarTime bad : {CalendarTime{2026, 2, 0, 29, 0, 0, 0, 0}, CalendarTime{2026, 13, 0, 1},
                             CalendarTime{2026, 4, 0, 31}, CalendarTime{2026, 1, 0, 1, 24},
                             CalendarTime{1600, 12, 0, 31}, CalendarTime{2026, 0, 0, 1}})
        EXPECT_FALSE(SecondsFromCalendar(bad, seconds)) << FormatHttpDate(bad);
    EXPECT_TRUE(SecondsFromCalendar(CalendarTime{2024, 2, 0, 29, 23, 59, 59, 0}, seconds));

    EXPECT_EQ(StatusLine(302) + StatusLine(418),
              "HTTP/1.0 302 Moved Temporarily\r\nHTTP/1.0 418\r\n");

    CResponseHeader header(401);
    header.AddAuthenticate("/a\r\nSet-Cookie: x");
    EXPECT_EQ(header.Finish(),
              "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=/aSet-Cookie: x\r\n\r\n");
}

TEST(HttpdResponse, AliasesAndUrlMapping) {
    for (auto [alias, stored] :
         {std::pair{"/", "\\"}, {"\\", "\\"}, {"maps", "\\maps\\"}, {"/a/b", "\\a/b\\"}})
        EXPECT_EQ(Share(alias, "", "").m_strAlias, stored) << alias;

    CServerSettings settings;
    settings.m_Directories = {Share("/", "C:\\Share", "index.html"),
                              Share("/Sub", "D:\\Other", "default.htm")};
    CHttpServer server;
    server.UseSettings(settings);
    MappingClient client(server);
    EXPECT_EQ(client.Map("/giantshost.htm"), "C:\\Share\\giantshost.htm");
    EXPECT_EQ(client.Map("/"), "C:\\Share\\index.html");
    EXPECT_EQ(client.Map("/a/b/c.gck"), "C:\\Share\\a\\b\\c.gck");
    EXPECT_EQ(client.Map("/sub/x/y.txt"), "D:\\Other\\x\\y.txt"); // deepest alias, any case
    EXPECT_EQ(client.Map("/SUB/"), "D:\\Other\\default.htm");
    EXPECT_EQ(client.Map("/x/%2e%2e/y"), "C:\\Share\\x\\%2e%2e\\y");     // already decoded upstream
    EXPECT_EQ(client.Map("/Arena..v2.gck"), "C:\\Share\\Arena..v2.gck"); // ".." in a name
    using namespace std::string_literals;
    for (std::string refused : {"/../etc/passwd"s, "/a/..\\b"s, "/a/.."s, "giantshost.htm"s, ""s,
                                "/giantshost.htm\0.gck"s})
        EXPECT_EQ(client.Map(refused), std::nullopt) << refused;
}

TEST(HttpdResponse, ContentTypesAreCachedOnlyWhenKnown) {
    TempDir dir;
    dir.WriteFile("mime.types", "# comment html\ntext/html\t\thtml htm\napplication/zip zip\n");
    CContentTypeCache cache(dir / "mime.types");
    EXPECT_EQ(cache.GetContentType(".HTM"), "text/html");
    EXPECT_EQ(cache.GetContentType(".gck"), "text/plain");
    EXPECT_EQ(cache.GetContentType(""), "text/plain");
    EXPECT_EQ(cache.GetContentType(".comment"), "text/plain");

    // A known type is not asked for again; an unknown one is, and is learnt once there.
    dir.WriteFile("mime.types", "text/x-changed htm\napplication/x-gck gck\n");
    EXPECT_EQ(cache.GetContentType(".htm"), "text/html");
    EXPECT_EQ(cache.GetContentType(".gck"), "application/x-gck");
    cache.SetTablePath(dir / "missing.types");
    EXPECT_EQ(cache.GetContentType(".gck"), "application/x-gck");
    EXPECT_EQ(cache.GetContentType(".zip"), "text/plain");

    EXPECT_EQ(CContentTypeCache().GetContentType(".htm"), "text/html"); // the system's table
}

// Read by people and scripts on hosts all over the world: one form of date in every locale.
TEST(RequestLog, DateAndTimeHaveOneFormInEveryLocale) {
    const char* zone = std::getenv("TZ");
    const std::string savedZone = zone ? zone : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    testing_support::ScopedFakeClock clock; // 2001-09-09 01:46:40 UTC
    CRequestInfo request;
    request.m_nVerb = VERB_GET;
    request.m_strURL = "/giantshost.htm";
    request.m_PeerAddress.sin_addr.s_addr = htonl(0x7F000001);
    request.m_PeerAddress.sin_port = htons(4660);
    for (const char* locale : {testing_support::kGermanLocale, testing_support::kTurkishLocale}) {
        testing_support::ScopedLocale scoped(locale);
        EXPECT_EQ(FormatRequestLogLine(request),
                  "09/09/01, 01:46:40, GET /giantshost.htm, Anonymous, 127.0.0.1, 4660\n")
            << locale;
    }
    // Path and user come from the network: a Windows peer's Windows-1252 name is shown in UTF-8,
    // control characters (C1 ones too) as "?", and a long UTF-8 path is cut before a whole letter.
    request.m_strURL = "/\xDC"
                       "berfall\x1b[2J\x85.gck";
    request.m_strUserName = "Sp\xC3\xA4ter\xC2\x9B";
    EXPECT_EQ(FormatRequestLogLine(request), "09/09/01, 01:46:40, GET /\xC3\x9C"
                                             "berfall?[2J\xE2\x80\xA6.gck, "
                                             "Sp\xC3\xA4ter?, 127.0.0.1, 4660\n");
    request.m_strURL = "/" + std::string(510, 'a') + "\xC3\xA4\xC3\xA4";
    EXPECT_NE(
        FormatRequestLogLine(request).find("/" + std::string(510, 'a') + "...(cut, 515 bytes)"),
        std::string::npos);
    if (zone)
        ::setenv("TZ", savedZone.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}
