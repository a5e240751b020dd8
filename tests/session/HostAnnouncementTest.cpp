// The announcement as older Korvane versions write and read it.
#include <gtest/gtest.h>

#include "TempDir.h"
#include "session/HostAnnouncement.h"
#include "session/JoinDecision.h"

namespace {

const std::string kInfo = "modinfo_name=Arena\nModInfo_UserMessage=Have fun\nmodinfo_shareable\n";

TEST(HostAnnouncement, WritesTheExactBytesForSharedAndUnsharedModpacks) {
    EXPECT_EQ(FormatHostAnnouncement("Arena.gck", 1234, true, "", 4000000000u, kInfo),
              "FileName=Arena.gck\r\nFileSize=1234\r\nFileSource=HOST\r\nHostVer=0.4\r\n"
              "FileSum=4000000000\r\nmodinfo_name=Arena\r\nModInfo_UserMessage=Have fun\r\n"
              "modinfo_shareable\r\n");
    EXPECT_EQ(FormatHostAnnouncement("Arena.gck", 7, true, "http://example.org/packs", 1, "x"),
              "FileName=Arena.gck\r\nFileSize=7\r\nFileSource=http://example.org/packs\r\n"
              "HostVer=0.4\r\nFileSum=1\r\nx");
    // Not shared: an empty line stands where the source would be, and the alternate address is
    // not written at all.
    EXPECT_EQ(FormatHostAnnouncement("Arena.gck", 7, false, "http://example.org", 0, ""),
              "FileName=Arena.gck\r\nFileSize=7\r\n\r\nHostVer=0.4\r\nFileSum=0\r\n");
}

TEST(HostAnnouncement, InformationTextEndsAtItsFirstZeroAndKeepsItsOwnCarriageReturns) {
    const std::string info("line one\r\nline two\0hidden", 25);
    const std::string text = FormatHostAnnouncement("A.gck", 0, false, "", 0, info);
    EXPECT_NE(text.find("FileSum=0\r\nline one\r\r\nline two"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 8), "line two");
}

TEST(HostAnnouncement, WriterStoresTheFileAndRoundTripsThroughTheReader) {
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "\\giantshost.htm";
    ASSERT_TRUE(WriteHostAnnouncement(path, "Arena.gck", 1234, true, "", 4000000000u,
                                      "ModInfo_UserMessage=Hi\r\nmore\r\n"));
    const std::string body = *dir.ReadFile("giantshost.htm");
    EXPECT_EQ(body, FormatHostAnnouncement("Arena.gck", 1234, true, "", 4000000000u,
                                           "ModInfo_UserMessage=Hi\r\nmore\r\n"));

    const HostAnnouncement parsed = ParseHostAnnouncement(body);
    EXPECT_EQ(parsed.FileName, "Arena.gck");
    EXPECT_EQ(parsed.FileSize, 1234);
    EXPECT_EQ(parsed.FileSource, "HOST");
    EXPECT_EQ(parsed.FileSum, 4000000000u);
    EXPECT_EQ(parsed.HostVer, kHostVersion); // exactly the 32-bit 0.4
    EXPECT_EQ(parsed.UserMessage, "Hi");     // CR CR LF ends give the same lines
}

TEST(HostAnnouncement, ReaderMatchesKeysWithoutCaseAndTakesTheLastLine) {
    const HostAnnouncement parsed = ParseHostAnnouncement(
        "FILENAME=First.gck\nfilename = Blank.gck\nFileName=Second.GCK\r\n"
        "filesource=http://Host/Path\nHOSTVER=0.3\nmodinfo_usermessage= spaced \n"
        "unknown=1\nFileSum=-1");
    EXPECT_EQ(parsed.FileName, "Second.GCK");
    EXPECT_EQ(parsed.FileSource, "http://Host/Path");
    EXPECT_EQ(parsed.HostVer, 0.3f);
    EXPECT_EQ(parsed.UserMessage, " spaced ");
    EXPECT_EQ(parsed.FileSum, 4294967295u); // as scanf's %u reads -1
}

TEST(HostAnnouncement, ReaderScansNumbersTheWayScanfDoes) {
    EXPECT_EQ(ParseHostAnnouncement("FileSize=12ab").FileSize, 12);
    EXPECT_EQ(ParseHostAnnouncement("FileSize=abc").FileSize, 0);
    EXPECT_EQ(ParseHostAnnouncement("FileSize=5\nFileSize=abc").FileSize, 5);
    EXPECT_EQ(ParseHostAnnouncement("FileSize=  -7").FileSize, -7);
    EXPECT_EQ(ParseHostAnnouncement("FileSize=99999999999").FileSize, 2147483647);
    EXPECT_EQ(ParseHostAnnouncement("HostVer=x").HostVer, -1.0f);
    // Another server's error page: no version line, nothing taken.
    const HostAnnouncement page = ParseHostAnnouncement("<html><body>404</body></html>\r\n");
    EXPECT_EQ(page.HostVer, -1.0f);
    EXPECT_EQ(page.FileName, "");
}

TEST(JoinTexts, HostileVersionAndAuthorsLineEnds) {
    EXPECT_EQ(HostVersionText(1e30f), "unknown");
    EXPECT_EQ(PrepareUserMessage("a\r\nb\nc\\nd\\\\ne"), "a\r\nb\r\nc\r\nd\\\r\ne");
}

} // namespace
