// The archive checksum and the emptying of work folders.
#include <unistd.h>

#include <filesystem>

#include "ModpackTestKit.h"
#include "modpack/FileSum.h"

namespace {

TEST(FileSum, SumsBytesModulo32BitsAndEmptiesOneFolderLevel) {
    testing_support::TempDir dir;
    testing_support::ScopedMessageRecorder messages;
    dir.WriteFile("abc", "abc");
    dir.WriteFile("empty", "");
    EXPECT_EQ(GetFileSum(dir / "abc"), 294u);
    EXPECT_EQ(GetFileSum(dir / "empty"), 0u);
    // 17,000,000 bytes of 0xFF add up to more than 2^32 and wrap; an odd size exercises the tail.
    const size_t size = 17'000'003;
    dir.WriteFile("big", std::string(size, '\xFF'));
    EXPECT_EQ(GetFileSum(dir / "big"), static_cast<uint32_t>(uint64_t{size} * 255u));
    EXPECT_TRUE(messages.Empty());
    EXPECT_EQ(GetFileSum(dir / "missing"), 0u);
    EXPECT_EQ(messages.Last().text, "There was an error opening the zip file for checksum");
    EXPECT_EQ(messages.Last().caption, "KRV Error");
    // A folder opens on Linux but is no file to sum.
    messages.Clear();
    dir.MakeDirectory("folder.gck");
    EXPECT_EQ(GetFileSum(dir / "folder.gck"), 0u);
    EXPECT_EQ(messages.Last().text, "There was an error opening the zip file for checksum");

    // Subfolders stay; a missing folder is created.
    dir.WriteFile("Share/a.gck", "a");
    dir.WriteFile("Share/giantshost.htm", "h");
    dir.WriteFile("Share/sub/keep.txt", "k");
    EXPECT_TRUE(RemoveFiles(dir / "Share"));
    EXPECT_EQ(dir.ListTree("Share"), (std::vector<std::string>{"sub/", "sub/keep.txt"}));
    EXPECT_TRUE(RemoveFiles(dir / "New"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "New"));
    ASSERT_EQ(chdir("/"), 0);
}

} // namespace
