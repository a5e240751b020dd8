// The unzip library and its wrapper: what extraction writes, what it refuses, how errors surface.
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "ModpackTestKit.h"
#include "modpack/InfoZip.h"
#include "modpack/Korvane.h"

using modpack_test::Member;
using testing::HasSubstr;

namespace {

class ArchiveTest : public modpack_test::EngineTest {
  protected:
    // Extracts the archive into Giants/KRVTemp, the way the engine does.
    void Extract(std::string archive, std::vector<std::string> patterns = {}) {
        ASSERT_EQ(chdir(Game("KRVTemp").c_str()), 0);
        InfoZip zip;
        ASSERT_TRUE(zip.InitializeUnzip());
        auto command = std::make_unique<UnzipCommand>();
        zip.PrepareCommand(*command);
        command->archivePath = archive.data();
        command->patternCount = static_cast<uint32_t>(patterns.size());
        for (size_t i = 0; i < patterns.size(); ++i)
            command->patterns[i] = patterns[i].data();
        EXPECT_TRUE(zip.Execute(*command));
        EXPECT_TRUE(zip.FinalizeUnzip());
    }
    std::vector<std::string> Extracted() const { return m_dir.ListTree("Giants/KRVTemp"); }
};

TEST_F(ArchiveTest, FlattensNamesAndNeverWritesOutsideTheCurrentFolder) {
    modpack_test::WriteArchive(m_dir / "a.zip",
                               {{"data\\Sky.tga", "sky"},
                                {"maps/deep/Level.gzp", "level", Member::File, true},
                                {"../escape.tga", "x"},
                                {"/etc/absolute.tga", "y"},
                                {"..\\..\\back.tga", "z"},
                                {"folder/", "", Member::Folder},
                                {"link.tga", "/etc/passwd", Member::Link},
                                {"dir/..", "dots"},
                                {"dir\\", "slash"}});
    Extract(m_dir / "a.zip");
    EXPECT_EQ(Extracted(), (std::vector<std::string>{"Level.gzp", "Sky.tga", "absolute.tga",
                                                     "back.tga", "escape.tga"}));
    EXPECT_EQ(*m_dir.ReadFile("Giants/KRVTemp/Sky.tga"), "sky");
    EXPECT_EQ(*m_dir.ReadFile("Giants/KRVTemp/Level.gzp"), "level");
    EXPECT_FALSE(m_dir.ReadFile("Giants/escape.tga"));
    EXPECT_TRUE(m_messages.Empty());

    // Patterns match without regard to case, and replace a file of another case.
    modpack_test::WriteArchive(m_dir / "b.zip", {{"Info.KRV", "new info"}, {"Level.gzp", "new"}});
    m_dir.WriteFile("Giants/KRVTemp/info.krv", "old info");
    Extract(m_dir / "b.zip", {"*.krv"});
    EXPECT_EQ(*m_dir.ReadFile("Giants/KRVTemp/info.krv"), "new info");
    EXPECT_FALSE(m_dir.ReadFile("Giants/KRVTemp/Info.KRV"));
    EXPECT_EQ(*m_dir.ReadFile("Giants/KRVTemp/Level.gzp"), "level");
}

// The zip format's own rule: a name flagged as UTF-8 (or valid UTF-8 anyway, as Linux tools write
// it without the flag) is UTF-8; any other is code page 437, the DOS code page that Windows
// zip tools of the game's time wrote (0x8E is Ä there, not Windows-1252's Ž). Every name lands
// on disk in UTF-8, where Wine finds it under the Windows name.
TEST_F(ArchiveTest, MemberNamesAreUtf8OrCodePage437) {
    modpack_test::WriteArchive(m_dir / "a.zip", {{"\x9A"
                                                  "berfall.gzp",
                                                  "cp437"},
                                                 {"\x8E"
                                                  "rger.tga",
                                                  "cp437"},
                                                 {"Gr\xC3\xB6\xC3\x9F"
                                                  "e.tga",
                                                  "utf-8"}});
    Extract(m_dir / "a.zip");
    EXPECT_EQ(Extracted(), (std::vector<std::string>{"Gr\xC3\xB6\xC3\x9F"
                                                     "e.tga",
                                                     "\xC3\x84"
                                                     "rger.tga",
                                                     "\xC3\x9C"
                                                     "berfall.gzp"}));
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(ArchiveTest, ReadsArchivesOfCommonTools) {
    m_dir.WriteFile("src/Big.gzp", std::string(300000, 'g'));
    m_dir.WriteFile("src/Small.tga", "tga");
    // Info-ZIP zip; 7-Zip deflated and stored; Python's zipfile with zip64 records forced on a
    // deflated and a stored member.
    const std::string script =
        "cd " + m_dir.Path() +
        "/src && zip -q -X ../infozip.zip Big.gzp Small.tga"
        " && 7z a -bd -tzip -mx=9 ../7zip.zip Big.gzp Small.tga >/dev/null"
        " && 7z a -bd -tzip -mm=Copy ../7copy.zip Big.gzp Small.tga >/dev/null"
        " && python3 -c \"import zipfile\n"
        "with zipfile.ZipFile('../py64.zip', 'w') as z:\n"
        "  for n, m in (('Big.gzp', zipfile.ZIP_DEFLATED), ('Small.tga', zipfile.ZIP_STORED)):\n"
        "    with z.open(zipfile.ZipInfo(n), 'w', force_zip64=True) as f:\n"
        "      f.write(open(n, 'rb').read())\n\"";
    ASSERT_EQ(std::system(script.c_str()), 0);
    for (const char* archive : {"infozip.zip", "py64.zip", "7zip.zip", "7copy.zip"}) {
        SCOPED_TRACE(archive);
        Extract(m_dir / archive);
        EXPECT_EQ(*m_dir.ReadFile("Giants/KRVTemp/Big.gzp"), std::string(300000, 'g'));
        EXPECT_EQ(*m_dir.ReadFile("Giants/KRVTemp/Small.tga"), "tga");
        EXPECT_TRUE(m_messages.Empty());
    }
}

TEST_F(ArchiveTest, ErrorsReachThePlayerThroughTheCallbackAndLeaveNoPartialFile) {
    modpack_test::WriteArchive(
        m_dir / "a.zip",
        {{"Secret.tga", "hidden", Member::File, false, true}, {"Plain.tga", "plain"}});
    Extract(m_dir / "a.zip");
    EXPECT_EQ(Extracted(), (std::vector<std::string>{"Plain.tga"}));
    ASSERT_EQ(m_messages.Count(), 1u);
    EXPECT_EQ(m_messages.Last().caption, "Korvane");
    EXPECT_THAT(m_messages.Last().text, HasSubstr("Zip error 2:\nSecret.tga: encrypted"));

    // Cut off before the central directory: nothing is extracted.
    std::string noise;
    for (uint32_t i = 0; i < 100000; ++i)
        noise += static_cast<char>((i * 2654435761u) >> 13);
    modpack_test::WriteArchive(m_dir / "whole.zip", {{"Big.gzp", noise, Member::File, true}});
    const std::string whole = *m_dir.ReadFile("whole.zip");
    m_dir.WriteFile("truncated.zip", whole.substr(0, whole.size() / 2));
    m_messages.Clear();
    Extract(m_dir / "truncated.zip");
    EXPECT_THAT(m_messages.Last().text, HasSubstr("Zip error 1:\n"));

    // Damaged data of a member whose directory is intact: the member fails, no partial file.
    std::string damaged = whole;
    damaged[50000] ^= 0x55;
    m_dir.WriteFile("damaged.zip", damaged);
    m_messages.Clear();
    Extract(m_dir / "damaged.zip");
    EXPECT_EQ(Extracted(), (std::vector<std::string>{"Plain.tga"}));
    EXPECT_THAT(m_messages.Last().text, HasSubstr("Zip error 4:\nBig.gzp: "));
}

TEST_F(ArchiveTest, MissingLibraryFailsEveryCaller) {
    setenv("KORVANE_UNZDLL", (m_dir / "no-such-libunzdll.so").c_str(), 1);
    InfoZip zip;
    EXPECT_FALSE(zip.InitializeUnzip());
    UnzipCommand command{};
    EXPECT_FALSE(zip.Execute(command));

    AddModpack("Pack.gck", {{"Pack.krv", "x"}, {"Sky.tga", "s"}});
    CKorvane engine;
    CLevelInfo info;
    EXPECT_FALSE(engine.GetKRVInfoFromGCK("Pack.gck", info));
    EXPECT_EQ(m_messages.Last().text, "Must be initialized (zip/unzip.dll problem)");
    EXPECT_EQ(m_messages.Last().caption, "KRV Warning");
    info.fileName = "Pack.gck";
    const auto before = GameSnapshot();
    EXPECT_FALSE(engine.InstallLevel(info));
    EXPECT_EQ(m_messages.Texts().at(1), "Must be initialized");
    EXPECT_EQ(m_messages.All().at(1).caption, "Korvane");
    EXPECT_EQ(GameSnapshot(), before);
    unsetenv("KORVANE_UNZDLL");
}

} // namespace
