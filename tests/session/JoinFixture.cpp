#include "JoinFixture.h"

#include <filesystem>

#include "app/Settings.h"
#include "httpd/WebServer.h"
#include "platform/InternetClient.h"
#include "session/HostAnnouncement.h"
#include "session/HostPort.h"
#include "session/HostingSession.h"

const std::string JoinFixture::kInfo =
    "modinfo_name=Arena\r\nModInfo_UserMessage=Have fun\\nand more\r\nmodinfo_shareable\r\n";

std::string ArchiveBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

void JoinFixture::SetUp() {
    // StopServing leaves the current directory in the host's Share folder, which goes with the
    // test; the next test starts where this one did.
    m_startDirectory = std::filesystem::current_path();
    host.MakeDirectory("Modpacks");
    joiner.MakeDirectory("Modpacks");
    g_strGiantsDir = game.Path();
    WebServerOptions options;
    options.nPort = 0;
    options.nFallbackPort = 0;
    options.dwRequestTimeout = 2000;
    SetWebServerOptions(options);
    korvane.SetJoinDialogs(&dialogs);
}

void JoinFixture::TearDown() {
    g_strKorvaneDir = host.Path();
    StopServing();
    SetWebServerOptions(WebServerOptions());
    SetHostPort(8155);
    platform::SetInternetTimeouts(platform::InternetTimeouts());
    g_strKorvaneDir.clear();
    std::filesystem::current_path(m_startDirectory);
}

void JoinFixture::Host(const std::string& name, const std::string& bytes, bool share,
                       const std::string& alternate) {
    hostedBytes = bytes;
    host.WriteFile("Modpacks/" + name, bytes);
    CLevelInfo level;
    level.fileName = name;
    level.infoText = kInfo;
    level.shareable = 1;
    g_strKorvaneDir = host.Path();
    StopServing();
    ASSERT_TRUE(ServeLevel(share, alternate, level));
    ASSERT_NE(g_HttpServer.ListeningPort(), 0);
    SetHostPort(g_HttpServer.ListeningPort());
    g_strKorvaneDir = joiner.Path();
}

void JoinFixture::Announce(const std::string& text) {
    host.WriteFile("Share/giantshost.htm", text);
}

std::string JoinFixture::Announcement(const std::string& source, int64_t size, uint32_t sum,
                                      const std::string& name) const {
    return "FileName=" + name + "\r\nFileSize=" + std::to_string(size) +
           "\r\nFileSource=" + source + "\r\nHostVer=0.4\r\nFileSum=" + std::to_string(sum) +
           "\r\n";
}

bool JoinFixture::JoinHost(std::initializer_list<HostCheckResult> answers) {
    dialogs.hostCheckAnswers.assign(answers.begin(), answers.end());
    return korvane.DownloadLevel(list, "127.0.0.1", info);
}

std::map<std::string, std::string> JoinFixture::JoinerModpacks() const {
    return joiner.Snapshot("Modpacks");
}
