#include "platform/GamePath.h"
#include "platform/Ascii.h"
#include "platform/TextMode.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>

using platform::IsPlainFileName;
using platform::MatchesPattern;
using platform::ResolvePath;
using testing_support::TempDir;

namespace {

// Runs a test body in another current directory and always comes back.
class CurrentDirectoryGuard {
  public:
    explicit CurrentDirectoryGuard(const std::string& path) {
        EXPECT_NE(::getcwd(m_saved, sizeof m_saved), nullptr);
        EXPECT_EQ(::chdir(path.c_str()), 0);
    }
    ~CurrentDirectoryGuard() { EXPECT_EQ(::chdir(m_saved), 0); }

  private:
    char m_saved[PATH_MAX] = {};
};

} // namespace

TEST(PlatformPath, FindsExistingNamesWithoutRegardToCase) {
    TempDir game;
    game.WriteFile("bin/Override/Sky.tga", "sky");
    game.WriteFile("bin/GTextEnglish.bin", "text");
    game.WriteFile("readme.txt", "1");
    game.WriteFile("ReadMe.txt", "2");
    game.WriteFile("README.txt", "3");
    const std::pair<const char*, const char*> cases[] = {
        {"\\bin\\override", "/bin/Override"},
        {"\\BIN\\OVERRIDE\\sky.TGA", "/bin/Override/Sky.tga"},
        // A modpack's copy of a game file must land on the game's own file, not beside it.
        {"\\bin\\GTEXTENGLISH.BIN", "/bin/GTextEnglish.bin"},
        {"\\bin\\Override\\", "/bin/Override/"},
        // Missing components keep their case.
        {"\\BIN\\KRVBackup\\New.Bin", "/bin/KRVBackup/New.Bin"},
        {"\\Missing\\bin", "/Missing/bin"},
        {"\\BIN\\..\\Bin", "/bin/../bin"},
        // The exact name is preferred; without one, the byte-wise smallest of the candidates.
        {"/ReadMe.txt", "/ReadMe.txt"},
        {"/readme.txt", "/readme.txt"},
        {"/README.TXT", "/README.txt"},
        {"/rEADME.TXT", "/README.txt"},
    };
    for (const auto& [asked, found] : cases)
        EXPECT_EQ(ResolvePath(game.Path() + asked), game.Path() + found) << asked;
}

TEST(PlatformPath, RelativePathsResolveFromTheCurrentDirectory) {
    TempDir dir;
    dir.WriteFile("KRVTemp/Pack.GZP", "");
    CurrentDirectoryGuard inside(dir.Path());

    EXPECT_EQ(ResolvePath("krvtemp\\pack.gzp"), "KRVTemp/Pack.GZP");
    EXPECT_EQ(ResolvePath("KRVTEMP"), "KRVTemp");
    EXPECT_EQ(ResolvePath("new.txt"), "new.txt");
    EXPECT_EQ(ResolvePath(".\\krvtemp"), "./KRVTemp");
}

TEST(PlatformPath, PlainFileNamesCannotLeaveTheirFolder) {
    EXPECT_TRUE(IsPlainFileName("Level.gzp"));
    EXPECT_TRUE(IsPlainFileName("..hidden"));
    EXPECT_TRUE(IsPlainFileName("name with spaces.bin"));
    for (const std::string_view bad :
         {"", ".", "..", "a/b", "a\\b", "/etc", "..\\x", "C:x", "a\tb", "a\nb", "a\x7f"}) {
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
    }
    EXPECT_FALSE(IsPlainFileName(std::string_view("a\0b", 3)));
}

TEST(PlatformPath, PatternsMatchWithoutRegardToCase) {
    EXPECT_TRUE(MatchesPattern("Z.GCK", "*.gck"));
    EXPECT_TRUE(MatchesPattern("a.gck", "*.GCK"));
    EXPECT_FALSE(MatchesPattern("a.gckx", "*.gck"));
    EXPECT_FALSE(MatchesPattern("gck", "*.gck"));
    EXPECT_TRUE(MatchesPattern("", "*"));
    EXPECT_FALSE(MatchesPattern("", "?"));
    EXPECT_TRUE(MatchesPattern("map1.bin", "map?.*"));
    EXPECT_FALSE(MatchesPattern("map10.bin", "map?.bin"));
    EXPECT_TRUE(MatchesPattern("aXbYc", "a*b*c"));
    EXPECT_TRUE(MatchesPattern("abcbc", "*bc"));
    // Back-tracking stays cheap on patterns built to defeat naive matchers.
    EXPECT_FALSE(MatchesPattern(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*b"));
}

TEST(PlatformPath, TextModeAndLowerCase) {
    EXPECT_EQ(platform::ToTextMode("a\nb\r\n\n"), "a\r\nb\r\r\n\r\n");
    EXPECT_EQ(platform::ToTextMode(""), "");
    EXPECT_EQ(platform::ToLower("GTextEnglish.BIN \xC4"), "gtextenglish.bin \xC4");
}
