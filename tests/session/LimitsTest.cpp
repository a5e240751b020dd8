// The limits that keep a host and a joiner from a transfer that cannot succeed: a modpack too
// large for the announcement is not hosted, and a download that would not fit beside the old
// archive is not started.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <limits>

#include "JoinFixture.h"
#include "ScopedFreeSpace.h"
#include "session/HostAnnouncement.h"
#include "session/PartialDownload.h"

namespace {

using Limits = JoinFixture;

using testing_support::ScopedFreeSpace;

// A file of `size` bytes that takes no room on disk (a hole throughout).
void WriteSparseFile(const std::string& path, off_t size) {
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(file, 0) << path;
    EXPECT_EQ(::ftruncate(file, size), 0);
    ::close(file);
}

TEST_F(Limits, ModpacksAbove2GiBAreNotHosted) {
    // The announcement carries the size as a signed 32-bit number: its largest value is hosted,
    // one byte more is refused before anything is published.
    g_strKorvaneDir = host.Path();
    constexpr off_t kLargest = std::numeric_limits<int32_t>::max();
    WriteSparseFile(host / "Modpacks/Largest.gck", kLargest);
    CLevelInfo level;
    level.fileName = "Largest.gck";
    level.shareable = 1;
    ASSERT_TRUE(ServeLevel(false, "", level));
    EXPECT_EQ(ParseHostAnnouncement(host.ReadFile("Share/giantshost.htm").value_or("")).FileSize,
              kLargest);
    StopServing();
    EXPECT_TRUE(messages.Empty());

    WriteSparseFile(host / "Modpacks/TooLarge.gck", kLargest + 1);
    level.fileName = "TooLarge.gck";
    EXPECT_FALSE(ServeLevel(false, "", level));
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{
                                    "Modpack is too large to host (2 GB at most): TooLarge.gck"});
    EXPECT_FALSE(host.ReadFile("Share/giantshost.htm"));
    EXPECT_EQ(g_HttpServer.ListeningPort(), 0);
}

TEST_F(Limits, ADownloadThatWouldNotFitBesideTheOldArchiveIsNotStarted) {
    list = testing_support::FakeModpackList({"Arena"});
    joiner.WriteFile("Modpacks/Arena.gck", "older");
    const std::string bytes = ArchiveBytes(50000, 7);
    Host("Arena.gck", bytes, true);
    {
        // One byte short: refused with the numbers, the old archive untouched, nothing left over.
        ScopedFreeSpace space(bytes.size() - 1);
        EXPECT_FALSE(JoinHost({HostCheckResult::CheckHost}));
        EXPECT_EQ(messages.Texts(),
                  std::vector<std::string>{
                      "Not enough free disk space to download the Modpack: 50000 bytes needed, "
                      "49999 bytes free in " +
                      joiner / "Modpacks"});
        EXPECT_EQ(JoinerModpacks(), (std::map<std::string, std::string>{{"Arena.gck", "older"}}));
    }
    {
        // Exactly enough: downloaded.
        messages.Clear();
        ScopedFreeSpace space(bytes.size());
        EXPECT_TRUE(JoinHost({HostCheckResult::CheckHost}));
        EXPECT_TRUE(messages.Empty()) << messages.Texts().front();
        EXPECT_EQ(joiner.ReadFile("Modpacks/Arena.gck"), bytes);
    }
}

} // namespace
