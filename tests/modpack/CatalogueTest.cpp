// Reading a modpack's information, and the world list the installation writes from it.
#include "FaultyFileSystem.h"
#include "ModpackTestKit.h"
#include "ScopedLocale.h"
#include "app/Settings.h"
#include "modpack/Korvane.h"

namespace {

std::string Word(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

class CatalogueTest : public modpack_test::EngineTest {
  protected:
    CKorvane m_engine;
};

TEST_F(CatalogueTest, ReadsCommentShareableAndText) {
    const struct {
        std::string text, comment;
        int shareable; // only the key's presence counts
    } cases[] = {{"modinfo_usermessage=Two\\nlines\r\nmodinfo_SHAREABLE=no\r\n", "Two\r\nlines", 1},
                 {"x=1\nMODINFO_USERMESSAGE=last line, no end", "last line, no end", 0},
                 {"", "Modpack contains no comment", 0}};
    for (const auto& c : cases) {
        AddModpack("Pack.gck", {{"Pack.krv", c.text}, {"Sky.tga", "sky"}});
        CLevelInfo info;
        ASSERT_TRUE(m_engine.GetKRVInfoFromGCK("Pack.gck", info)) << c.text;
        EXPECT_EQ(info.fileName, "Pack.gck");
        EXPECT_EQ(info.infoFileName, "Pack.krv");
        EXPECT_EQ(info.infoText, c.text);
        EXPECT_EQ(info.comment, c.comment);
        EXPECT_EQ(info.shareable, c.shareable);
        // The extraction folder is emptied again.
        EXPECT_EQ(m_dir.ListTree("Korvane/KRVTemp"), std::vector<std::string>{});
    }
    EXPECT_TRUE(m_messages.Empty());
}

// .krv files written with Notepad on Windows are Windows-1252; those written on Linux are UTF-8.
// Both reach the list and the announcement as the same text, and the game gets its world names
// in its own code page.
TEST_F(CatalogueTest, InformationTextIsReadInEitherEncodingAndWorldsGoToTheGameInItsCodePage) {
    const std::string utf8 = "modinfo_usermessage=F\xC3\xBCr Spieler: Gr\xC3\xB6\xC3\x9F"
                             "e 3\r\n"
                             "MODINFO_BINNAME=w_M\xC3\xBChle.bin\r\nmodinfo_bintype=12\r\n";
    const std::string ansi = "modinfo_usermessage=F\xFCr Spieler: Gr\xF6\xDF"
                             "e 3\r\n"
                             "MODINFO_BINNAME=w_M\xFChle.bin\r\nmodinfo_bintype=12\r\n";
    testing_support::ScopedLocale german(testing_support::kGermanLocale);
    for (const std::string& text : {ansi, utf8}) {
        AddModpack("Pack.gck", {{"Pack.krv", text}});
        CLevelInfo info;
        ASSERT_TRUE(m_engine.GetKRVInfoFromGCK("Pack.gck", info));
        EXPECT_EQ(info.infoText, utf8);
        EXPECT_EQ(info.comment, "F\xC3\xBCr Spieler: Gr\xC3\xB6\xC3\x9F"
                                "e 3");
        ASSERT_TRUE(m_engine.EditWorldlist(info));
        const std::string list = *m_dir.ReadFile("Giants/bin/worldlist.bin");
        EXPECT_EQ(list.substr(list.size() - 14),
                  std::string("M\xFChle\0", 6) + Word(12) + Word(32));
    }
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(CatalogueTest, MissingInformationLeavesTheRecordAlone) {
    AddModpack("Bare.gck", {{"Sky.tga", "sky"}});
    CLevelInfo info;
    info.comment = "untouched";
    EXPECT_FALSE(m_engine.GetKRVInfoFromGCK("Bare.gck", info));
    EXPECT_EQ(m_messages.Last().text, "No KRV info is stored in GCK file Bare.gck");
    EXPECT_EQ(m_messages.Last().caption, "KRV Warning");
    EXPECT_EQ(info.comment, "untouched");

    // A missing archive reports through the callback and then the same way.
    m_messages.Clear();
    EXPECT_FALSE(m_engine.GetKRVInfoFromGCK("Gone.gck", info));
    EXPECT_EQ(m_messages.Last().text, "No KRV info is stored in GCK file Gone.gck");
    EXPECT_EQ(m_messages.Texts().front().rfind("Zip error 1:\n", 0), 0u);
}

TEST_F(CatalogueTest, InformationPastTheCapIsLeftOutWithOneMessage) {
    const uint64_t cap = CKorvane::kInfoByteLimit;
    // One huge .krv, and many that are small alone but huge together: a few kilobytes packed.
    AddModpack("Bomb.gck", {{"Bomb.krv", std::string(cap + 1, 'x')}, {"Sky.tga", "sky"}});
    std::vector<modpack_test::Member> many;
    for (int i = 0; i < 5; ++i)
        many.push_back({"Part" + std::to_string(i) + ".krv", std::string(cap / 4, 'y')});
    AddModpack("Many.gck", many);
    AddModpack("Fine.gck", {{"Fine.krv", std::string(cap, 'z')}});
    for (const char* name : {"Bomb.gck", "Many.gck"}) {
        m_messages.Clear();
        CLevelInfo info;
        EXPECT_FALSE(m_engine.GetKRVInfoFromGCK(name, info)) << name;
        ASSERT_EQ(m_messages.Count(), 1u) << name;
        EXPECT_THAT(m_messages.Last().text,
                    testing::HasSubstr("Zip error 8:\n" + std::string(name) + ": "));
        EXPECT_THAT(m_messages.Last().text, testing::HasSubstr(std::to_string(cap)));
        EXPECT_EQ(m_dir.ListTree("Korvane/KRVTemp"), std::vector<std::string>{}) << name;
    }
    m_messages.Clear();
    CLevelInfo info;
    EXPECT_TRUE(m_engine.GetKRVInfoFromGCK("Fine.gck", info));
    EXPECT_EQ(info.infoText.size(), cap);
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(CatalogueTest, AnUndeletableFileIsReportedOnceAndNeverRead) {
    struct StuckFile : testing_support::FaultyFileSystem {
        using FaultyFileSystem::FaultyFileSystem;
        bool DeleteFile(const std::string& path) override {
            if (path.ends_with("Stale.krv")) {
                platform::SetLastError(EPERM);
                return false;
            }
            return FaultyFileSystem::DeleteFile(path);
        }
    } files(platform::Files());
    testing_support::ScopedFileSystem use(files);
    m_dir.WriteFile("Korvane/KRVTemp/Stale.krv", "modinfo_usermessage=stale");
    AddModpack("A.gck", {{"A.krv", "modinfo_usermessage=from A"}});
    AddModpack("Bare.gck", {{"Sky.tga", "sky"}});
    AddModpack("C.gck", {{"C.krv", "modinfo_usermessage=from C"}});
    CLevelInfo a, bare, c;
    EXPECT_TRUE(m_engine.GetKRVInfoFromGCK("A.gck", a));
    EXPECT_FALSE(m_engine.GetKRVInfoFromGCK("Bare.gck", bare));
    EXPECT_TRUE(m_engine.GetKRVInfoFromGCK("C.gck", c));
    EXPECT_EQ(a.comment, "from A");
    EXPECT_EQ(c.comment, "from C");
    EXPECT_EQ(m_messages.Texts(),
              (std::vector<std::string>{"Couldn't empty directory " + g_strKorvaneDir +
                                            "\\KRVTemp: Stale.krv cannot be deleted (Operation "
                                            "not permitted)",
                                        "No KRV info is stored in GCK file Bare.gck"}));
}

TEST_F(CatalogueTest, WorldListLayoutIsByteExact) {
    CLevelInfo info;
    info.infoText = "modinfo_binname=w_Arena.bin\r\nmodinfo_bintype=3\r\n";
    ASSERT_TRUE(m_engine.EditWorldlist(info));
    const std::string expected = Word(0x1A0003D0) + Word(47) + Word(2) + Word(12) + Word(33) +
                                 std::string("intro_island\0", 13) + Word(0) + Word(31) +
                                 std::string("Arena\0", 6) + Word(3) + Word(32);
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/worldlist.bin"), expected);
}

TEST_F(CatalogueTest, WorldTableRules) {
    std::array<std::string, CKorvane::kMaxWorlds> names;
    std::array<int32_t, CKorvane::kMaxWorlds> types{};
    int count = 0;
    // A world without its own type line takes the next one's; without ".bin" a CR stays; a type
    // that is no number is 0; a world with no type line after it at all is ignored.
    const std::string text =
        "modinfo_binname=w_One.BIN\nmodinfo_binname=W_Two\r\nmodinfo_bintype=-7\n"
        "modinfo_binname=w_Three.bin\nmodinfo_bintype=abc\nmodinfo_binname=w_Four\n";
    ASSERT_TRUE(m_engine.GetMapArray(text, names, types, count));
    ASSERT_EQ(count, 4);
    EXPECT_EQ(std::vector(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"intro_island", "One", "Two\r", "Three"}));
    EXPECT_EQ(std::vector(types.begin() + 1, types.begin() + 4), (std::vector{-7, -7, 0}));

    std::string many;
    for (int i = 0; i < 40; ++i)
        many += "modinfo_binname=w_M" + std::to_string(i) + ".bin\nmodinfo_bintype=1\n";
    ASSERT_TRUE(m_engine.GetMapArray(many, names, types, count));
    EXPECT_EQ(count, 32);
    EXPECT_EQ(names[31], "M30");

    // An invalid name stops the parse, and the installation gets the default list.
    CLevelInfo info;
    info.infoText = "modinfo_binname=Arena.bin\nmodinfo_bintype=1\n";
    EXPECT_TRUE(m_engine.EditWorldlist(info));
    EXPECT_EQ(m_messages.Last().text, "Incorrect information in KRV info - WorldName invalid");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/worldlist.bin"), modpack_test::kDefaultWorldList);
}

} // namespace
