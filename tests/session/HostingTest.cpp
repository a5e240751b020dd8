// ServeLevel and StopServing with the real server.
#include <gmock/gmock.h>

#include "JoinFixture.h"
#include "httpd/HostedModpack.h"
#include "session/HostAnnouncement.h"

namespace {

using Hosting = JoinFixture;

CLevelInfo Level(const std::string& name, int shareable) {
    CLevelInfo level;
    level.fileName = name;
    level.infoText = "ModInfo_UserMessage=Hi\n";
    level.shareable = shareable;
    return level;
}

TEST_F(Hosting, PublishesTheAnnouncementAndEmptiesShareAfterwards) {
    host.WriteFile("Share/left-over.txt", "from an earlier run");
    host.WriteFile("Share/Arena.gck", "a shared copy left by a host that was killed");
    host.WriteFile("Modpacks/Arena.gck", "abc");
    g_strKorvaneDir = host.Path();

    ASSERT_TRUE(ServeLevel(false, "http://mirror", Level("Arena.gck", 1)));
    EXPECT_EQ(g_strHostedModpack, "Arena.gck");
    const std::string expected =
        FormatHostAnnouncement("Arena.gck", 3, false, "", 294, "ModInfo_UserMessage=Hi\n");
    EXPECT_EQ(host.ReadFile("Share/giantshost.htm"), expected);
    EXPECT_FALSE(host.ReadFile("Share/Arena.gck")); // not shared: no copy, not even a stale one
    EXPECT_FALSE(host.ReadFile("Share/left-over.txt"));
    EXPECT_NE(g_HttpServer.ListeningPort(), 0);

    // Shared without an alternate address: the host itself is the source of its shared copy.
    ASSERT_TRUE(ServeLevel(true, "", Level("Arena.gck", 1)));
    EXPECT_EQ(ParseHostAnnouncement(*host.ReadFile("Share/giantshost.htm")).FileSource, "HOST");
    EXPECT_EQ(host.ReadFile("Share/Arena.gck"), "abc");

    StopServing();
    EXPECT_EQ(g_HttpServer.ListeningPort(), 0);
    EXPECT_EQ(host.ListTree("Share"), std::vector<std::string>{});
    EXPECT_EQ(g_strHostedModpack, "Arena.gck");
    EXPECT_TRUE(messages.Empty());
}

TEST_F(Hosting, RefusesWhatCannotBeHosted) {
    host.WriteFile("Modpacks/Arena.gck", "abc");
    g_strKorvaneDir = host.Path();
    EXPECT_FALSE(ServeLevel(true, "", Level("Missing.gck", 1)));
    EXPECT_FALSE(ServeLevel(true, "", Level("Arena.gck", 0)));
    EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Could get status for Missing.gck",
                                                          "Modpack not sharable !"}));

    // Where the announcement cannot be written, there is nothing to serve.
    messages.Clear();
    host.MakeDirectory("Share/giantshost.htm/blocked");
    EXPECT_FALSE(ServeLevel(false, "", Level("Arena.gck", 1)));
    ASSERT_EQ(messages.Count(), 1u);
    EXPECT_EQ(messages.Last().caption, "KRV Error");
    EXPECT_THAT(messages.Last().text,
                testing::StartsWith("Could not create " + host.Path() + "\\Share\\giantshost.htm"));
    EXPECT_EQ(g_HttpServer.ListeningPort(), 0);
}

} // namespace
