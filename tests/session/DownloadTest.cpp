// The download's ways out and its checks, against real hosts on loopback.
#include <numeric>

#include "JoinFixture.h"
#include "WebServerProcess.h"
#include "session/ModpackDownload.h"

using testing_support::ClosedPort;
using testing_support::FakeModpackList;
using testing_support::FtpServerProcess;
using testing_support::WebServerProcess;
using Texts = std::vector<std::string>;
using Files = std::map<std::string, std::string>;
constexpr HostCheckResult kCheck = HostCheckResult::CheckHost;

namespace {

uint32_t SumOf(const std::string& bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), 0u,
                           [](uint32_t s, unsigned char c) { return s + c; });
}

class Download : public JoinFixture {
  protected:
    void SetUp() override {
        JoinFixture::SetUp();
        list = FakeModpackList({"Arena"});
        joiner.WriteFile("Modpacks/Arena.gck", "older");
        before = JoinerModpacks();
    }
    // The host shares `bytes`, offered at `source` ("HOST" or an alternate address) with `sum`.
    void Offer(const std::string& bytes, const std::string& source, uint32_t sum) {
        Host("Arena.gck", bytes, true);
        mirror.WriteFile("Arena.gck", bytes);
        Announce(Announcement(source, static_cast<int64_t>(bytes.size()), sum));
    }
    // Joins; true when the archive was replaced, false when everything stayed as it was.
    bool Replaced(const Texts& expectedMessages) {
        messages.Clear();
        const bool joined = JoinHost({kCheck});
        EXPECT_EQ(messages.Texts(), expectedMessages);
        EXPECT_EQ(dialogs.progressOpened, dialogs.progressClosed);
        if (!joined) {
            EXPECT_EQ(JoinerModpacks(), before);
        }
        return joined;
    }

    testing_support::TempDir mirror;
    Files before;
};

TEST_F(Download, FtpAlternateLocationsAreFollowedAndOtherSchemesRefused) {
    FtpServerProcess ftp(mirror.Path());
    const std::string bytes = ArchiveBytes(300000, 6);
    Offer(bytes, ftp.Address(), SumOf(bytes));
    EXPECT_TRUE(Replaced({}));
    EXPECT_EQ(JoinerModpacks(), (Files{{"Arena.gck", bytes}}));
    EXPECT_EQ(dialogs.lastPosition, 300000u);

    joiner.WriteFile("Modpacks/Arena.gck", "older");
    const std::pair<std::string, std::string> refused[] = {
        {ftp.Address() + "/missing", "Couldn't download file"},
        {"file://" + mirror.Path(), "Couldn't download file"},
        {"scp://127.0.0.1", "Couldn't download file"},
        {"ftp://127.0.0.1:" + std::to_string(ClosedPort()), kConnectMessage},
    };
    for (const auto& [source, message] : refused) {
        SCOPED_TRACE(source);
        Offer(bytes, source, SumOf(bytes));
        EXPECT_FALSE(Replaced({message}));
    }
}

} // namespace
