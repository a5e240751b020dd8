// The join path end to end: the real server hosts, DownloadLevel asks and downloads.

#include "JoinFixture.h"
#include "WebServerProcess.h"
#include "modpack/FileSum.h"
#include "session/JoinDecision.h"

using testing_support::ClosedPort;
using testing_support::WebServerProcess;

namespace {

using Join = JoinFixture;

TEST_F(Join, MissingSharedModpacksAreDownloadedAppendedAndSelected) {
    list = FakeModpackList({"Beta"});
    Host("Arena.gck", ArchiveBytes(200000, 1), true);

    EXPECT_TRUE(JoinHost({kCheck}));
    EXPECT_TRUE(messages.Empty()) << messages.Last().text;
    ASSERT_EQ(dialogs.infoCalls.size(), 1u);
    EXPECT_EQ(dialogs.infoCalls[0].statusText, DecideJoin(false, false, true).statusText);
    EXPECT_EQ(dialogs.infoCalls[0].userMessage, "Have fun\r\nand more");
    EXPECT_EQ(info.fileName, "Arena.gck");
    EXPECT_EQ(JoinerModpacks(), (Files{{"Arena.gck", hostedBytes}}));
    EXPECT_EQ(list.entries, (Texts{"Do not install Modpack", "Beta", "Arena"}));
    EXPECT_EQ(list.selected, 2);
    EXPECT_EQ(dialogs.progressOpened, 1);
    EXPECT_EQ(dialogs.progressClosed, 1);
    EXPECT_EQ(dialogs.progressRange, 200000u);
    EXPECT_EQ(dialogs.progressUpdates, 196); // one per 1024-byte piece
    EXPECT_EQ(dialogs.lastPosition, 200000u);
    EXPECT_TRUE(dialogs.positionsIncreasing);

    // Names with blanks and delimiters travel escaped.
    for (const std::string name :
         {"Desert Storm.gck", "Fast#1 (v2) 100%.gck", "M\xC3\xBChle.gck"}) {
        Host(name, ArchiveBytes(3000, 2), true);
        EXPECT_TRUE(JoinHost({kCheck})) << name;
        EXPECT_TRUE(messages.Empty()) << messages.Last().text;
        EXPECT_EQ(joiner.ReadFile("Modpacks/" + name), hostedBytes) << name;
        EXPECT_EQ(list.entries.back(), name.substr(0, name.size() - 4));
    }
}

// An original host on Windows speaks Windows-1252: its name "Überfall.gck" is the byte 0xDC
// followed by "berfall.gck", on the wire and in the path it serves the archive under.
TEST_F(Join, AWindowsHostIsReadInItsCodePageAndServedTheNameItKnows) {
    const std::string ansiName = "\xDC"
                                 "berfall.gck";
    const std::string utf8Name = "\xC3\x9C"
                                 "berfall.gck";
    const std::string archive = ArchiveBytes(5000, 3);
    testing_support::TempDir windows;
    windows.WriteFile(ansiName, archive);
    const uint32_t sum = GetFileSum(windows.Path() + "\\" + ansiName);
    const auto announce = [&](const std::string& name, const std::string& source) {
        windows.WriteFile("giantshost.htm", Announcement(source, 5000, sum, name) +
                                                "ModInfo_UserMessage=F\xFCr Spieler: Gr\xF6\xDF"
                                                "e 3\\nViel Gl\xFC"
                                                "ck\r\n");
    };
    WebServerProcess server(windows.Path(), "windows");
    hostPort.Change(server.Port());
    g_strKorvaneDir = joiner.Path();
    const std::string message = "F\xC3\xBCr Spieler: Gr\xC3\xB6\xC3\x9F"
                                "e 3\r\nViel Gl\xC3\xBC"
                                "ck";

    // The joiner holds the same archive under its UTF-8 name; not shared, so only the local copy
    // can make the join possible. The name matches in another letter case too, as on Windows.
    joiner.WriteFile("Modpacks/" + utf8Name, archive);
    for (const std::string& name : {ansiName, std::string("\xFC"
                                                          "BERFALL.gck")}) {
        list = FakeModpackList({"Arena", "\xC3\x9C"
                                         "berfall"});
        dialogs.infoCalls.clear();
        announce(name, "");
        EXPECT_TRUE(JoinHost({kCheck})) << name;
        EXPECT_TRUE(messages.Empty()) << messages.Last().text;
        ASSERT_EQ(dialogs.infoCalls.size(), 1u);
        EXPECT_EQ(dialogs.infoCalls[0].statusText, DecideJoin(true, true, false).statusText);
        EXPECT_EQ(dialogs.infoCalls[0].userMessage, message);
        EXPECT_EQ(list.selected, 2);
        EXPECT_EQ(dialogs.progressOpened, 0);
    }

    // Shared and missing here: fetched under the name the host knows, stored under the UTF-8 one.
    std::filesystem::remove(joiner.Path() + "/Modpacks/" + utf8Name);
    list = FakeModpackList({"Arena"});
    announce(ansiName, "HOST");
    std::filesystem::remove(windows.Path() + "/requests.log");
    EXPECT_TRUE(JoinHost({kCheck}));
    EXPECT_TRUE(messages.Empty()) << messages.Last().text;
    EXPECT_EQ(JoinerModpacks(), (Files{{utf8Name, archive}}));
    EXPECT_EQ(info.fileName, utf8Name);
    EXPECT_EQ(list.entries.back(), "\xC3\x9C"
                                   "berfall");
    EXPECT_EQ(windows.ReadFile("requests.log"), "/giantshost.htm\n/" + ansiName + "\n");
}

TEST_F(Join, DecisionTable) {
    const std::string bytes = ArchiveBytes(5000, 2);
    const struct {
        std::optional<std::string> local; // the joiner's Arena.gck
        bool inList, sameArchive, shared, joins;
    } rows[] = {{std::nullopt, false, false, false, false},
                {bytes, true, true, false, true}, // joins at once with its own copy
                {"older", true, false, false, false},
                {"older", true, false, true, true}}; // replaced by the host's
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        // Each row starts afresh: nothing it sees was left by the row before.
        dialogs = testing_support::ScriptedJoinDialogs();
        list = row.inList ? FakeModpackList({"arena", "Zulu"}, 2) // another letter case
                          : FakeModpackList();
        std::filesystem::remove(joiner / "Modpacks/Arena.gck");
        if (row.local)
            joiner.WriteFile("Modpacks/Arena.gck", *row.local);
        Host("Arena.gck", bytes, row.shared);
        EXPECT_EQ(JoinHost({kCheck}), row.joins);
        ASSERT_EQ(dialogs.infoCalls.size(), 1u);
        EXPECT_EQ(dialogs.infoCalls.back().statusText,
                  DecideJoin(row.inList, row.sameArchive, row.shared).statusText);
        EXPECT_EQ(dialogs.infoCalls.back().joinAllowed, row.joins);
        EXPECT_EQ(list.selected, row.inList ? 1 : 0);
        EXPECT_EQ(list.entries.size(), row.inList ? 3u : 1u);
        EXPECT_EQ(joiner.ReadFile("Modpacks/Arena.gck"), row.shared ? bytes : row.local);
        EXPECT_EQ(dialogs.progressOpened, row.shared ? 1 : 0);
    }
    EXPECT_TRUE(messages.Empty());
}

TEST_F(Join, OtherVersionsAndOtherServersAreRefused) {
    Host("Arena.gck", "abc", true);
    Announce("FileName=Arena.gck\r\nHostVer=0.3\r\n");
    EXPECT_FALSE(JoinHost({kCheck}));
    EXPECT_EQ(messages.Last().caption, "KRV Error");
    EXPECT_EQ(messages.Last().text,
              std::string("Incompatible host version\n\nThis version is 1.0 beta 4b (2nd February "
                          "2002)\nHost version is 1.0 beta 3\n\nCheck ") +
                  kProjectWebPage + " for updates");

    // An endless announcement is read up to its cap.
    messages.Clear();
    testing_support::TempDir empty;
    WebServerProcess endless(empty.Path(), "endless-announcement");
    hostPort.Change(endless.Port());
    EXPECT_FALSE(JoinHost({kCheck}));
    EXPECT_NE(messages.Last().text.find("Host version is 1.0 beta 3"), std::string::npos);

    // A server without Korvane answers with a 404 page: the check starts over.
    WebServerProcess other(empty.Path());
    hostPort.Change(other.Port());
    const Texts firewall{
        "Couldn't connect to host, host is not running KRV, or host may be behind a firewall"};
    messages.Clear();
    EXPECT_FALSE(JoinHost({kCheck, HostCheckResult::Cancel}));
    EXPECT_EQ(messages.Texts(), firewall);
    EXPECT_EQ(dialogs.hostChecks, 4);
    // Automatic mode shows the message too, then proceeds at once.
    messages.Clear();
    EXPECT_TRUE(JoinHost({HostCheckResult::TimedOut}));
    EXPECT_EQ(messages.Texts(), firewall);
    EXPECT_TRUE(korvane.m_bAutoJoined);
    EXPECT_EQ(dialogs.hostChecks, 5);
}

TEST_F(Join, UnreachableOrTricklingHostRestartsTheCheck) {
    testing_support::TempDir empty;
    WebServerProcess trickling(empty.Path(), "trickling-announcement");
    timeouts.Change({std::chrono::seconds(5), std::chrono::seconds(1)});
    for (const uint16_t port : {ClosedPort(), trickling.Port()}) {
        hostPort.Change(port);
        messages.Clear();
        list.selected = 1;
        EXPECT_TRUE(JoinHost({kCheck, HostCheckResult::JoinNormal})) << port;
        EXPECT_EQ(messages.Texts(), Texts{kConnectMessage});
        EXPECT_EQ(list.selected, 0);
    }

    // Automatic mode: no message, the selection stays, no file name.
    messages.Clear();
    list.selected = 1;
    EXPECT_TRUE(JoinHost({HostCheckResult::TimedOut}));
    EXPECT_TRUE(messages.Empty());
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(info.fileName, "");
}

TEST_F(Join, FailedDownloadsLeaveThePreviousArchiveAloneAndTheAlternateSourceIsFollowed) {
    list = FakeModpackList({"Arena"});
    joiner.WriteFile("Modpacks/Arena.gck", "older");
    const Files before = JoinerModpacks();
    testing_support::TempDir mirror;
    WebServerProcess web(mirror.Path());
    Host("Arena.gck", ArchiveBytes(50000, 5), true);
    mirror.WriteFile("Arena.gck", hostedBytes);
    timeouts.Change({std::chrono::seconds(5), std::chrono::seconds(1)});
    const auto size = static_cast<int64_t>(hostedBytes.size());
    const uint32_t sum = SumOf(hostedBytes);

    const std::pair<std::string, std::string> cases[] = {
        {Announcement(web.Address() + "/cut", size, sum), kSizeMessage},
        {Announcement(web.Address() + "/endless", size, sum), kSizeMessage},
        // A head dripped line by line counts as no answer once the time for one has passed.
        {Announcement(web.Address() + "/slowhead", size, sum), kConnectMessage},
        {Announcement(web.Address() + "/stall", size, sum),
         "Error, could not download Modpack correctly, the host stopped sending (nothing "
         "received for 1 second)"},
        {Announcement("HOST", size, sum + 1), "Checksum error on downloaded file"},
        {Announcement("HOST", -5, sum), "Error, the host announced an invalid Modpack size (-5 "
                                        "bytes)"},
        {Announcement("file://" + mirror.Path(), size, sum), "Couldn't download file"},
        {Announcement("host", size, sum), "Couldn't download file"},
        // A source that cannot be reached starts the check over (and the script cancels it).
        {Announcement("http://127.0.0.1:" + std::to_string(ClosedPort()), size, sum),
         kConnectMessage},
    };
    const auto refused = [&](const std::string& announcement, const std::string& message) {
        messages.Clear();
        dialogs = testing_support::ScriptedJoinDialogs();
        Announce(announcement);
        EXPECT_FALSE(JoinHost({kCheck})) << announcement;
        EXPECT_EQ(messages.Texts(), Texts{message}) << announcement;
        EXPECT_EQ(JoinerModpacks(), before) << announcement;
        EXPECT_EQ(dialogs.progressOpened, dialogs.progressClosed);
    };
    for (const auto& [announcement, message] : cases)
        refused(announcement, message);
    // The shared copy is gone: the host's 404 page arrives in place of the archive.
    std::filesystem::remove(host / "Share/Arena.gck");
    refused(Announcement("HOST", size, sum), kSizeMessage);

    // Shared with an alternate address: the archive comes from there, through a redirect.
    messages.Clear();
    Host("Arena.gck", hostedBytes, true, web.Address() + "/redirect");
    host.WriteFile("Share/Arena.gck", "not this copy");
    EXPECT_TRUE(JoinHost({kCheck}));
    EXPECT_TRUE(messages.Empty()) << messages.Last().text;
    EXPECT_EQ(JoinerModpacks(), (Files{{"Arena.gck", hostedBytes}}));
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
                                 "evil\r.gck",
                                 ".bashrc",
                                 ".Arena.gck",
                                 "Ar\x81na.gck", // a byte Windows-1252 leaves undefined: a control
                                 "Ar\xC2\x9Dna.gck",
                                 std::string("Ar\0na.gck", 9)};
    for (const std::string& name : names) {
        messages.Clear();
        Announce(Announcement("HOST", 3, 294, name));
        EXPECT_FALSE(JoinHost({kCheck})) << name;
        EXPECT_EQ(messages.Texts(), Texts{"Could not determine remote modpack"});
        EXPECT_EQ(info.fileName, "");
    }
    EXPECT_EQ(joiner.ListTree(), Texts{"Modpacks/"});
    EXPECT_EQ(dialogs.infoCalls.size(), 0u);
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
    std::string loop = web.Address();
    for (int hop = 0; hop < 6; ++hop)
        loop += "/redirect";
    EXPECT_EQ(platform::OpenURL(loop + "/headers/").failure, platform::OpenFailure::NoStream);
    EXPECT_TRUE(platform::OpenURL(web.Address() + "/redirect/redirect/headers/").stream);

    opened = platform::OpenURL(web.Address() + "/missing");
    ASSERT_TRUE(opened.stream);
    EXPECT_EQ(opened.stream->StatusCode(), 404);
    EXPECT_EQ(opened.stream->Read(body.data(), 1).count, 1u); // the error page is the body
}

} // namespace
