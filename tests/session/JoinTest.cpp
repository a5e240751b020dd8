// The join path end to end: the real server hosts, DownloadLevel asks and downloads.
#include <filesystem>

#include "JoinFixture.h"
#include "WebServerProcess.h"
#include "modpack/FileSum.h"
#include "platform/InternetClient.h"
#include "session/HostPort.h"
#include "session/JoinDecision.h"

using testing_support::ClosedPort;
using testing_support::WebServerProcess;

namespace {

uint32_t Sum(const std::string& bytes) {
    uint32_t sum = 0;
    for (unsigned char c : bytes)
        sum += c;
    return sum;
}

using Join = JoinFixture;

TEST_F(Join, MissingSharedModpackIsDownloadedAppendedAndSelected) {
    list = testing_support::FakeModpackList({"Beta"});
    Host("Arena.gck", ArchiveBytes(200000, 1), true);

    EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_TRUE(messages.Empty()) << messages.Last().text;
    ASSERT_EQ(dialogs.infoCalls.size(), 1u);
    EXPECT_EQ(dialogs.infoCalls[0].statusText, DecideJoin(false, false, true).statusText);
    EXPECT_EQ(dialogs.infoCalls[0].userMessage, "Have fun\r\nand more");
    EXPECT_EQ(info.fileName, "Arena.gck");
    EXPECT_EQ(JoinerModpacks(), (std::map<std::string, std::string>{{"Arena.gck", hostedBytes}}));
    EXPECT_EQ(list.entries, (std::vector<std::string>{"Do not install Modpack", "Beta", "Arena"}));
    EXPECT_EQ(list.selected, 2);
    EXPECT_EQ(dialogs.progressOpened, 1);
    EXPECT_EQ(dialogs.progressClosed, 1);
    EXPECT_EQ(dialogs.progressRange, 200000u);
    EXPECT_EQ(dialogs.progressUpdates, 196); // one per 1024-byte piece
    EXPECT_EQ(dialogs.lastPosition, 200000u);
    EXPECT_TRUE(dialogs.positionsIncreasing);
}

TEST_F(Join, NamesWithBlanksAndDelimitersAreFetchedFromTheHost) {
    for (const std::string name : {"Desert Storm.gck", "Fast#1 (v2) 100%.gck", "M\xC3\xBChle.gck"}) {
        Host(name, ArchiveBytes(3000, 2), true);
        EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost})) << name;
        EXPECT_TRUE(messages.Empty()) << messages.Last().text;
        EXPECT_EQ(joiner.ReadFile("Modpacks/" + name), hostedBytes) << name;
    }
}

TEST_F(Join, DecisionTableWithoutDownload) {
    const std::string bytes = ArchiveBytes(5000, 2);
    // Not in the list, not shared: Join is disabled.
    Host("Arena.gck", bytes, false);
    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_EQ(dialogs.infoCalls.back().statusText, DecideJoin(false, false, false).statusText);
    EXPECT_FALSE(dialogs.infoCalls.back().joinAllowed);
    EXPECT_EQ(list.selected, 0);

    // In the list (other letter case) with the same archive: join at once, entry selected.
    list = testing_support::FakeModpackList({"arena", "Zulu"}, 2);
    joiner.WriteFile("Modpacks/Arena.gck", bytes);
    EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_EQ(dialogs.infoCalls.back().statusText, DecideJoin(true, true, false).statusText);
    EXPECT_EQ(list.selected, 1);

    // In the list, different and not shared: Join is disabled, the entry stays selected.
    joiner.WriteFile("Modpacks/Arena.gck", "older");
    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_EQ(dialogs.infoCalls.back().statusText, DecideJoin(true, false, false).statusText);
    EXPECT_FALSE(dialogs.infoCalls.back().joinAllowed);
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(dialogs.progressOpened, 0);
    EXPECT_TRUE(messages.Empty());
    EXPECT_EQ(joiner.ReadFile("Modpacks/Arena.gck"), "older");
}

TEST_F(Join, DifferentLocalArchiveIsReplacedAndTheListKept) {
    list = testing_support::FakeModpackList({"Arena"});
    joiner.WriteFile("Modpacks/Arena.gck", "older");
    Host("Arena.gck", ArchiveBytes(3000, 3), true);
    EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_EQ(dialogs.infoCalls.back().statusText, DecideJoin(true, false, true).statusText);
    EXPECT_EQ(JoinerModpacks(), (std::map<std::string, std::string>{{"Arena.gck", hostedBytes}}));
    EXPECT_EQ(list.entries.size(), 2u);
    EXPECT_EQ(list.selected, 1);
}

TEST_F(Join, EmptyArchiveWithoutSumPassesTheChecks) {
    Host("Empty.gck", "", true);
    EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_TRUE(messages.Empty()) << messages.Last().text;
    EXPECT_EQ(joiner.ReadFile("Modpacks/Empty.gck"), "");
    EXPECT_EQ(list.entries.back(), "Empty");
}

TEST_F(Join, OtherVersionsAreRefusedWithTheirVersionText) {
    Host("Arena.gck", "abc", true);
    Announce("FileName=Arena.gck\r\nHostVer=0.3\r\n");
    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_EQ(messages.Last().caption, "KRV Error");
    EXPECT_EQ(messages.Last().text,
              std::string("Incompatible host version\n\nThis version is 1.0 beta 4b (2nd February "
                          "2002)\nHost version is 1.0 beta 3\n\nCheck ") +
                  kProjectWebPage + " for updates");
    const std::pair<const char*, const char*> versions[] = {{"0.0", "1.0 beta 1"},
                                                            {"0.1", "1.0 beta 2"},
                                                            {"1.0", "1.1"},
                                                            {"2.5", "1.2 beta 5"},
                                                            {"0.7", "1.0 beta 6"}};
    for (const auto& [announced, text] : versions) {
        Announce(std::string("HostVer=") + announced);
        EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost}));
        EXPECT_NE(messages.Last().text.find(std::string("Host version is ") + text + "\n"),
                  std::string::npos)
            << announced;
    }
}

TEST_F(Join, HostWithoutKorvaneRestartsTheCheck) {
    testing_support::TempDir empty;
    WebServerProcess other(empty.Path()); // answers /giantshost.htm with a 404 page
    SetHostPort(other.Port());
    const std::string firewall =
        "Couldn't connect to host, host is not running KRV, or host may be behind a firewall";

    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost, HostCheckResult::Cancel}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{firewall});
    EXPECT_EQ(dialogs.hostChecks, 2);

    // Automatic mode shows the message too, then proceeds at once.
    messages.Clear();
    EXPECT_TRUE(JoinHost({HostCheckResult::TimedOut}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{firewall});
    EXPECT_TRUE(korvane.m_bAutoJoined);
    EXPECT_EQ(dialogs.hostChecks, 3);
}

TEST_F(Join, UnreachableHostRestartsTheCheck) {
    SetHostPort(ClosedPort());
    list.selected = 1;
    EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost, HostCheckResult::JoinNormal}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kConnectMessage});
    EXPECT_EQ(list.selected, 0);

    // Automatic mode: no message, the selection stays, no file name.
    messages.Clear();
    list.selected = 1;
    EXPECT_TRUE(JoinHost({HostCheckResult::TimedOut}));
    EXPECT_TRUE(messages.Empty());
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(info.fileName, "");
}

TEST_F(Join, AlternateSourceIsFollowedThroughARedirect) {
    testing_support::TempDir mirror;
    mirror.WriteFile("Arena.gck", ArchiveBytes(70000, 4));
    WebServerProcess web(mirror.Path());
    Host("Arena.gck", ArchiveBytes(70000, 4), true, web.Address() + "/redirect");
    host.WriteFile("Share/Arena.gck", "not this copy");

    EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_TRUE(messages.Empty()) << messages.Last().text;
    EXPECT_EQ(joiner.ReadFile("Modpacks/Arena.gck"), hostedBytes);
}

TEST_F(Join, FailedDownloadsLeaveThePreviousArchiveAlone) {
    list = testing_support::FakeModpackList({"Arena"});
    joiner.WriteFile("Modpacks/Arena.gck", "older");
    const auto before = JoinerModpacks();
    testing_support::TempDir mirror;
    WebServerProcess web(mirror.Path());
    Host("Arena.gck", ArchiveBytes(50000, 5), true);
    mirror.WriteFile("Arena.gck", hostedBytes);
    platform::SetInternetTimeouts({std::chrono::seconds(5), std::chrono::seconds(1)});
    const auto size = static_cast<int64_t>(hostedBytes.size());
    const uint32_t sum = Sum(hostedBytes);

    const std::pair<std::string, std::string> cases[] = {
        {Announcement(web.Address() + "/cut", size, sum), kSizeMessage},
        {Announcement(web.Address() + "/endless", size, sum), kSizeMessage},
        {Announcement(web.Address() + "/stall", size, sum),
         "Error, could not download Modpack correctly, the host stopped sending (nothing "
         "received for 1 second)"},
        {Announcement("HOST", size, sum + 1), "Checksum error on downloaded file"},
        {Announcement("HOST", -5, sum), "Error, the host announced an invalid Modpack size (-5 "
                                        "bytes)"},
        {Announcement("ftp://127.0.0.1", size, sum), "Couldn't download file"},
        {Announcement("host", size, sum), "Couldn't download file"},
    };
    for (const auto& [announcement, message] : cases) {
        messages.Clear();
        Announce(announcement);
        EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost})) << announcement;
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{message}) << announcement;
        EXPECT_EQ(JoinerModpacks(), before) << announcement;
        EXPECT_EQ(dialogs.progressOpened, dialogs.progressClosed);
    }

    // The shared copy is gone: the host's 404 page arrives in place of the archive.
    std::filesystem::remove(host / "Share/Arena.gck");
    messages.Clear();
    Announce(Announcement("HOST", size, sum));
    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kSizeMessage});
    EXPECT_EQ(JoinerModpacks(), before);

    // A source that cannot be reached starts the check over.
    messages.Clear();
    Announce(Announcement("http://127.0.0.1:" + std::to_string(ClosedPort()), size, sum));
    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost, HostCheckResult::Cancel}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kConnectMessage});
    EXPECT_EQ(JoinerModpacks(), before);
}

TEST_F(Join, HostileAnnouncementsCannotWriteOutsideModpacks) {
    Host("Arena.gck", "abc", true);
    const std::string names[] = {"",
                                 "../Arena.gck",
                                 "sub/Arena.gck",
                                 "..\\Arena.gck",
                                 "C:Arena.gck",
                                 "Ar\x01na.gck",
                                 "..",
                                 ".gck",
                                 std::string("Ar\0na.gck", 9)};
    for (const std::string& name : names) {
        messages.Clear();
        Announce(Announcement("HOST", 3, 294, name));
        EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost})) << name;
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Could not determine remote modpack"});
        EXPECT_EQ(info.fileName, "");
    }
    EXPECT_TRUE(JoinerModpacks().empty());
    EXPECT_EQ(joiner.ListTree(), std::vector<std::string>{"Modpacks/"});
    EXPECT_EQ(dialogs.infoCalls.size(), 0u);
}

TEST_F(Join, EndlessAnnouncementIsReadUpToItsCap) {
    testing_support::TempDir empty;
    WebServerProcess endless(empty.Path(), "endless-announcement");
    SetHostPort(endless.Port());
    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost}));
    EXPECT_NE(messages.Last().text.find("Host version is 1.0 beta 3"), std::string::npos);
}

TEST_F(Join, TricklingAnnouncementIsGivenUpLikeAnUnreachableHost) {
    testing_support::TempDir empty;
    WebServerProcess trickling(empty.Path(), "trickling-announcement");
    SetHostPort(trickling.Port());
    platform::SetInternetTimeouts({std::chrono::seconds(5), std::chrono::seconds(1)});
    EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost, HostCheckResult::Cancel}));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{kConnectMessage});
}

TEST(InternetClient, SendsNoCacheHeadersAndRefusesEndlessRedirects) {
    testing_support::TempDir folder;
    WebServerProcess web(folder.Path());
    platform::OpenResult opened = platform::OpenURL(web.Address() + "/headers/");
    ASSERT_TRUE(opened.stream);
    std::string body(4096, '\0');
    body.resize(opened.stream->Read(body.data(), body.size()).count);
    EXPECT_NE(body.find("Cache-Control: no-cache"), std::string::npos) << body;
    EXPECT_NE(body.find("Pragma: no-cache"), std::string::npos) << body;

    // Six hops: one more than is followed.
    const std::string loop = web.Address() + "/redirect/redirect/redirect/redirect/redirect/"
                                             "redirect/headers/";
    EXPECT_EQ(platform::OpenURL(loop).failure, platform::OpenFailure::NoStream);
    EXPECT_TRUE(platform::OpenURL(web.Address() + "/redirect/redirect/headers/").stream);

    opened = platform::OpenURL(web.Address() + "/missing");
    ASSERT_TRUE(opened.stream);
    EXPECT_EQ(opened.stream->StatusCode(), 404);
    EXPECT_EQ(opened.stream->Read(body.data(), 1).count, 1u); // the error page is the body
}

} // namespace
