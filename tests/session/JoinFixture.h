#pragma once
// A host and a joiner in one process: each has its own Korvane directory, the host publishes
// through ServeLevel and the real server on a free loopback port, the joiner asks it through
// DownloadLevel with scripted dialogs, an in-memory list and recorded message boxes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <numeric>
#include <string>

#include "FakeModpackList.h"
#include "RecordingMessageBoxes.h"
#include "ScopedHostPort.h"
#include "ScopedInternetTimeouts.h"
#include "ScopedWebServerOptions.h"
#include "ScriptedJoinDialogs.h"
#include "TempDir.h"
#include "app/Settings.h"
#include "httpd/WebServer.h"
#include "modpack/Korvane.h"
#include "platform/InternetClient.h"
#include "session/HostPort.h"
#include "session/HostingSession.h"

inline const std::string kConnectMessage =
    "Couldn't connect to host (host likely not running KRV)\n"
    "If you joined from a lobby, wait for host to start game";
inline const std::string kSizeMessage =
    "Error, could not download Modpack correctly, downloaded size does not match";

using testing_support::FakeModpackList;
using Texts = std::vector<std::string>;
using Files = std::map<std::string, std::string>;
constexpr HostCheckResult kCheck = HostCheckResult::CheckHost;

// The checksum an announcement carries: the sum of the bytes.
inline uint32_t SumOf(const std::string& bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), 0u,
                           [](uint32_t s, unsigned char c) { return s + c; });
}

// A modpack-sized archive body whose checksum is not trivial.
inline std::string ArchiveBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : bytes)
        c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
    return bytes;
}

class JoinFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        // StopServing leaves the current directory in the host's Share folder, which goes with
        // the test; the next test starts where this one did.
        m_startDirectory = std::filesystem::current_path();
        host.MakeDirectory("Modpacks");
        joiner.MakeDirectory("Modpacks");
        g_strGiantsDir = game.Path();
        korvane.SetJoinDialogs(&dialogs);
    }
    void TearDown() override {
        g_strKorvaneDir = host.Path();
        StopServing();
        g_strKorvaneDir.clear();
        std::filesystem::current_path(m_startDirectory);
    }

    // The host installs `bytes` as Modpacks\name and hosts it; the joiner is current afterwards.
    void Host(const std::string& name, const std::string& bytes, bool share,
              const std::string& alternate = "") {
        hostedBytes = bytes;
        host.WriteFile("Modpacks/" + name, bytes);
        CLevelInfo level;
        level.fileName = name;
        level.infoText = "modinfo_name=Arena\r\nModInfo_UserMessage=Have fun\\nand more\r\n"
                         "modinfo_shareable\r\n";
        level.shareable = 1;
        g_strKorvaneDir = host.Path();
        StopServing();
        ASSERT_TRUE(ServeLevel(share, alternate, level));
        ASSERT_NE(g_HttpServer.ListeningPort(), 0);
        hostPort.Change(g_HttpServer.ListeningPort());
        g_strKorvaneDir = joiner.Path();
    }
    // Replaces what the host announces, as a broken or hostile host would.
    void Announce(const std::string& text) { host.WriteFile("Share/giantshost.htm", text); }
    static std::string Announcement(const std::string& source, int64_t size, uint32_t sum,
                                    const std::string& name = "Arena.gck") {
        return "FileName=" + name + "\r\nFileSize=" + std::to_string(size) +
               "\r\nFileSource=" + source + "\r\nHostVer=0.4\r\nFileSum=" + std::to_string(sum) +
               "\r\n";
    }
    bool JoinHost(std::initializer_list<HostCheckResult> answers) {
        dialogs.hostCheckAnswers.assign(answers.begin(), answers.end());
        return korvane.DownloadLevel(list, "127.0.0.1", info);
    }
    std::map<std::string, std::string> JoinerModpacks() const {
        return joiner.Snapshot("Modpacks");
    }

    // Any free port and a short request time-out for the host, the port it got for the joiner,
    // the time-outs a test sets for the joiner: all put back when the test ends.
    testing_support::ScopedWebServerOptions serverOptions{QuickServerOptions()};
    testing_support::ScopedHostPort hostPort{HostPort()};
    testing_support::ScopedInternetTimeouts timeouts{platform::GetInternetTimeouts()};
    testing_support::TempDir host, joiner, game;
    testing_support::ScopedMessageRecorder messages;
    testing_support::ScriptedJoinDialogs dialogs;
    testing_support::FakeModpackList list;
    CKorvane korvane;
    CLevelInfo info;
    std::string hostedBytes;

  private:
    static WebServerOptions QuickServerOptions() {
        WebServerOptions options;
        options.port = options.fallbackPort = 0;
        options.requestTimeout = std::chrono::seconds(2);
        return options;
    }

    std::string m_startDirectory;
};
