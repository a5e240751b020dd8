// The download's ways out and its checks, against real hosts on loopback.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>

#include "FakeClock.h"
#include "JoinFixture.h"
#include "WebServerProcess.h"
#include "session/ModpackDownload.h"
#include "session/PartialDownload.h"

using testing_support::ClosedPort;
using testing_support::FtpServerProcess;
using testing_support::WebServerProcess;

namespace {

// A zip archive of stored (uncompressed) members, so that a test can damage a member's bytes
// without changing the archive's size or structure.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
    testing_support::TempDir folder;
    const std::string path = folder / "a.zip";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& [name, data] : members) {
        zip_source_t* source = zip_source_buffer(archive, data.data(), data.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    EXPECT_EQ(zip_close(archive), 0);
    return folder.ReadFile("a.zip").value_or("");
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
        dialogs.progressOpened = dialogs.progressClosed = 0; // counts of this join alone
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

TEST_F(Download, CancelStopsTheTransferAtOnceAndKeepsTheOldArchive) {
    WebServerProcess web(mirror.Path());
    // Without a way out, only this time-out would end the stalled transfer, with a message.
    timeouts.Change({std::chrono::seconds(5), std::chrono::seconds(10)});
    const std::string bytes = ArchiveBytes(400, 3); // 20 s of dripping
    for (const std::string path : {"/silent", "/stall", "/drip"}) {
        SCOPED_TRACE(path);
        Offer(bytes, web.Address() + path, SumOf(bytes));
        dialogs.progressPolls = 0;
        dialogs.onProgressPoll = [](int polls) { return polls > 5; };
        EXPECT_FALSE(Replaced({})); // the player chose it: no message
        EXPECT_EQ(dialogs.progressPolls, 6);
    }
}

TEST_F(Download, ADrippingHostIsGivenUpBelowTheRateFloor) {
    WebServerProcess web(mirror.Path());
    testing_support::ScopedFakeClock clock;
    // Every look at the dialog moves the clock on by the longest step that counts, so the minute
    // of grace passes in a dozen looks.
    dialogs.onProgressPoll = [&clock](int) {
        clock.Advance(kLongestClockStep);
        return false;
    };
    const std::string bytes = ArchiveBytes(400, 4); // 20 s of dripping
    Offer(bytes, web.Address() + "/drip", SumOf(bytes));
    messages.Clear();
    EXPECT_FALSE(JoinHost({kCheck}));
    EXPECT_EQ(JoinerModpacks(), before);
    ASSERT_EQ(messages.Count(), 1u);
    const std::string text = messages.Last().text;
    EXPECT_TRUE(text.starts_with(
        "Error, could not download Modpack correctly, the host sends too slowly ("))
        << text;
    EXPECT_TRUE(text.ends_with(" bytes in 60 seconds; at least 1024 bytes a second are needed)"))
        << text;
}

TEST(TransferPace, GivesUpBelowTheFloorOnlyAfterTheGrace) {
    using std::chrono::milliseconds;
    const TransferPace::TimePoint start(std::chrono::seconds(1000));
    const int64_t floorAtGrace = kRateFloor * kRateFloorGrace.count();
    // Walks to `at` in steps the download would make.
    const auto paceAt = [&](milliseconds at) {
        TransferPace pace(start);
        for (milliseconds t{0}; t < at; t += milliseconds(100))
            pace.TooSlow(start + t, 0);
        return pace;
    };
    const milliseconds grace = kRateFloorGrace;
    EXPECT_FALSE(paceAt(grace).TooSlow(start + grace - milliseconds(1), 0));
    EXPECT_TRUE(paceAt(grace).TooSlow(start + grace, floorAtGrace - 1));
    EXPECT_FALSE(paceAt(grace).TooSlow(start + grace, floorAtGrace));
    EXPECT_FALSE(paceAt(grace * 2).TooSlow(start + grace * 2, floorAtGrace * 2));
    EXPECT_TRUE(paceAt(grace * 2).TooSlow(start + grace * 2, floorAtGrace * 2 - 1));

    // The wall clock set back an hour, or forward a day, does not end a good transfer.
    TransferPace pace(start);
    EXPECT_FALSE(pace.TooSlow(start - std::chrono::hours(1), 0));
    EXPECT_EQ(pace.Elapsed(), milliseconds(0));
    EXPECT_FALSE(pace.TooSlow(start + std::chrono::hours(24), 0));
    EXPECT_EQ(pace.Elapsed(), milliseconds(kLongestClockStep));
}

TEST_F(Download, AZeroSumIsNoSumTheZipsOwnChecksumsDecide) {
    const std::string good = StoredZip({{"arena.krv", "modinfo_name=Arena\r\n"},
                                        {"Arena.gzp", std::string(3000, 'g') + "0123456789"}});
    std::string damaged = good;
    damaged[damaged.find("0123456789") + 4] ^= 0x01;
    std::string brokenEnd = good; // the end of the central directory is gone
    brokenEnd.replace(good.size() - 30, 30, 30, '\0');
    const std::string notAZip = ArchiveBytes(good.size(), 5);
    const std::string nothing; // no size and no sum announced, and an empty body
    ASSERT_EQ(damaged.size(), good.size());

    const std::pair<const char*, const std::string&> downloads[] = {{"damaged member", damaged},
                                                                    {"broken end", brokenEnd},
                                                                    {"no zip", notAZip},
                                                                    {"nothing", nothing}};
    for (const auto& [what, bytes] : downloads) {
        SCOPED_TRACE(what);
        Offer(bytes, "HOST", 0);
        EXPECT_FALSE(Replaced({"Checksum error on downloaded file"}));
    }
    Offer(good, "HOST", 0);
    EXPECT_TRUE(Replaced({}));
    EXPECT_EQ(JoinerModpacks(), (Files{{"Arena.gck", good}}));
}

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

TEST(PartialDownload, StartSweepsOnlyWhatInterruptedDownloadsLeft) {
    testing_support::TempDir own;
    const std::string modpacks = own / "Modpacks";
    const Files kept = {
        {"Arena.gck", "archive"},
        {".Arena.gck.download-", "no unique part"},
        {".Arena.gck.download-Ab12C", "too short"},
        {".Arena.gck.download-Ab12C!", "not a letter or digit"},
        {"Arena.gck.download-Ab12Cd", "not hidden"},
        {"..download-Ab12Cd", "no name"},
        {".D.gck.download-Ab12Cd/", ""},
        {".D.gck.download-Ab12Cd/.E.gck.download-Ab12Cd", "below Modpacks"},
    };
    for (const auto& [name, bytes] : kept) {
        if (name.ends_with("/"))
            own.MakeDirectory("Modpacks/" + name);
        else
            own.WriteFile("Modpacks/" + name, bytes);
    }
    own.WriteFile("Share/.Arena.gck.download-Ab12Cd", "another folder");
    own.WriteFile("outside", "a link's target");
    std::filesystem::create_symlink(own / "outside", modpacks + "/.L.gck.download-Ab12Cd");
    own.WriteFile("Modpacks/.Arena.gck.download-Ab12Cd", "left by a crash");
    own.WriteFile("Modpacks/.Desert Storm.gck.download-0aZ9xQ", "left by a crash");
    // A download killed half way, as a player closing the window from the task bar leaves it.
    const pid_t child = ::fork();
    if (child == 0) {
        auto* killed = new PartialDownload;
        killed->Create(modpacks, "Killed.gck");
        killed->Write("partial");
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // A download running in another Korvane on the same folder.
    PartialDownload running;
    ASSERT_TRUE(running.Create(modpacks, "Running.gck"));
    const std::string runningName = std::filesystem::path(running.TemporaryPath()).filename();
    ASSERT_EQ(own.Snapshot("Modpacks").size(), kept.size() + 5);

    g_strKorvaneDir = own.Path();
    SweepInterruptedDownloads();
    g_strKorvaneDir.clear();
    Files expected = kept;
    expected[".L.gck.download-Ab12Cd"] = "-> " + (own / "outside");
    expected[runningName] = "";
    EXPECT_EQ(own.Snapshot("Modpacks"), expected);
    EXPECT_EQ(own.ReadFile("Share/.Arena.gck.download-Ab12Cd"), "another folder");
    EXPECT_EQ(own.ReadFile("outside"), "a link's target");
    ASSERT_TRUE(running.Write("complete") && running.Finish(PartialDownload::Durability::Unsynced));
    EXPECT_TRUE(running.Commit(modpacks + "/Running.gck"));
}

} // namespace
