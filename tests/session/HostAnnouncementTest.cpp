// The announcement as older Korvane versions write and read it.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "session/HostAnnouncement.h"
#include "session/JoinDecision.h"

namespace {

TEST(HostAnnouncement, WritesTheExactBytesAndRoundTripsThroughTheReader) {
    testing_support::TempDir dir;
    ASSERT_TRUE(WriteHostAnnouncement(dir.Path() + "\\giantshost.htm", "Arena.gck", 1234, true, "",
                                      4000000000u, "ModInfo_UserMessage=Hi\nmore\n"));
    const std::string body = *dir.ReadFile("giantshost.htm");
    EXPECT_EQ(body, "FileName=Arena.gck\r\nFileSize=1234\r\nFileSource=HOST\r\nHostVer=0.4\r\n"
                    "FileSum=4000000000\r\nModInfo_UserMessage=Hi\r\nmore\r\n");
    const HostAnnouncement parsed = ParseHostAnnouncement(body);
    EXPECT_EQ(parsed.FileName, "Arena.gck");
    EXPECT_EQ(parsed.FileSize, 1234);
    EXPECT_EQ(parsed.FileSource, "HOST");
    EXPECT_EQ(parsed.FileSum, 4000000000u);
    EXPECT_EQ(parsed.HostVer, kHostVersion); // exactly the 32-bit 0.4
    EXPECT_EQ(parsed.UserMessage, "Hi");

    EXPECT_EQ(FormatHostAnnouncement("Arena.gck", 7, true, "http://example.org/packs", 1, "x"),
              "FileName=Arena.gck\r\nFileSize=7\r\nFileSource=http://example.org/packs\r\n"
              "HostVer=0.4\r\nFileSum=1\r\nx");
    // Not shared: an empty line stands where the source would be, and the alternate address is
    // not written at all.
    EXPECT_EQ(FormatHostAnnouncement("Arena.gck", 7, false, "http://example.org", 0, ""),
              "FileName=Arena.gck\r\nFileSize=7\r\n\r\nHostVer=0.4\r\nFileSum=0\r\n");
    // The information text ends at its first zero and keeps its own carriage returns, whose
    // CR CR LF ends read back as the same lines.
    const std::string text = FormatHostAnnouncement(
        "A.gck", 0, false, "", 0, std::string("ModInfo_UserMessage=Yo\r\nline\0hidden", 35));
    EXPECT_EQ(text.substr(text.find("FileSum=0")), "FileSum=0\r\nModInfo_UserMessage=Yo\r\r\nline");
    EXPECT_EQ(ParseHostAnnouncement(text).UserMessage, "Yo");
}

// Windows peers write and read Windows-1252; names and messages outside it go out as UTF-8.
TEST(HostAnnouncement, NamesAndMessagesCrossInTheWindowsCodePage) {
    const std::string text =
        FormatHostAnnouncement("\xC3\x9C"
                               "berfall.gck",
                               1, true, "", 1,
                               "ModInfo_UserMessage=F\xC3\xBCr Spieler: Gr\xC3\xB6\xC3\x9F"
                               "e 3\n");
    EXPECT_EQ(text, "FileName=\xDC"
                    "berfall.gck\r\nFileSize=1\r\nFileSource=HOST\r\nHostVer=0.4\r\n"
                    "FileSum=1\r\nModInfo_UserMessage=F\xFCr Spieler: Gr\xF6\xDF"
                    "e 3\r\n");
    const HostAnnouncement parsed = ParseHostAnnouncement(text);
    EXPECT_EQ(parsed.FileName, "\xC3\x9C"
                               "berfall.gck");
    EXPECT_EQ(parsed.FileNameAsSent, "\xDC"
                                     "berfall.gck");
    EXPECT_EQ(parsed.UserMessage, "F\xC3\xBCr Spieler: Gr\xC3\xB6\xC3\x9F"
                                  "e 3");

    const std::string cyrillic = "\xD0\x9C\xD0\xB8\xD1\x80.gck";
    EXPECT_EQ(FormatHostAnnouncement(cyrillic, 1, false, "", 1, "").substr(0, 21),
              "FileName=" + cyrillic + "\r\n");
    EXPECT_EQ(ParseHostAnnouncement("FileName=" + cyrillic).FileName, cyrillic);
    // A carriage return inside the name is kept, so that the name is refused, not shortened.
    EXPECT_EQ(ParseHostAnnouncement("FileName=evil\r.gck\r\r\n").FileName, "evil\r.gck");
}

TEST(HostAnnouncement, ReaderMatchesKeysWithoutCaseTakesTheLastLineAndScansLikeScanf) {
    const HostAnnouncement parsed = ParseHostAnnouncement(
        "FILENAME=First.gck\nfilename = Blank.gck\nFileName=Second.GCK\r\n"
        "filesource=http://Host/Path\nHOSTVER=0.3\nmodinfo_usermessage= spaced \n"
        "unknown=1\nFileSum=-1");
    EXPECT_EQ(parsed.FileName, "Second.GCK");
    EXPECT_EQ(parsed.FileSource, "http://Host/Path");
    EXPECT_EQ(parsed.HostVer, 0.3f);
    EXPECT_EQ(parsed.UserMessage, " spaced ");
    EXPECT_EQ(parsed.FileSum, 4294967295u); // as scanf's %u reads -1

    const std::pair<const char*, int64_t> sizes[] = {{"FileSize=12ab", 12},
                                                     {"FileSize=abc", 0},
                                                     {"FileSize=5\nFileSize=abc", 5},
                                                     {"FileSize=  -7", -7},
                                                     {"FileSize=99999999999", 2147483647}};
    for (const auto& [text, size] : sizes)
        EXPECT_EQ(ParseHostAnnouncement(text).FileSize, size) << text;
    EXPECT_EQ(ParseHostAnnouncement("HostVer=x").HostVer, -1.0f);
    // Another server's error page: no version line, nothing taken.
    const HostAnnouncement page = ParseHostAnnouncement("<html><body>404</body></html>\r\n");
    EXPECT_EQ(page.HostVer, -1.0f);
    EXPECT_EQ(page.FileName, "");
}

TEST(JoinTexts, VersionNamesAndAuthorsLineEnds) {
    const std::pair<float, const char*> versions[] = {
        {0.0f, "1.0 beta 1"}, {0.1f, "1.0 beta 2"}, {0.3f, "1.0 beta 3"}, {1.0f, "1.1"},
        {2.5f, "1.2 beta 5"}, {0.7f, "1.0 beta 6"}, {1e30f, "unknown"}};
    for (const auto& [version, text] : versions)
        EXPECT_EQ(HostVersionText(version), text) << version;
    EXPECT_EQ(PrepareUserMessage("a\r\nb\nc\\nd\\\\ne"), "a\r\nb\r\nc\r\nd\\\r\ne");
}

} // namespace
