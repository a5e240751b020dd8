// Installing a modpack into the game and putting the game back.
#include "FaultyFileSystem.h"
#include "ModpackTestKit.h"
#include "modpack/Korvane.h"

using modpack_test::Member;

namespace {

// A disk on which nothing can be written into KRVBackup, as when it is full.
class NoRoomForBackups : public testing_support::FaultyFileSystem {
  public:
    using FaultyFileSystem::FaultyFileSystem;
    bool CopyFile(const std::string& from, const std::string& to,
                  platform::Overwrite overwrite) override {
        return !IntoBackups(to) && FaultyFileSystem::CopyFile(from, to, overwrite);
    }
    bool MoveFile(const std::string& from, const std::string& to) override {
        return !IntoBackups(to) && FaultyFileSystem::MoveFile(from, to);
    }

  private:
    static bool IntoBackups(const std::string& path) {
        return path.find("KRVBackup") != std::string::npos;
    }
};

class InstallationTest : public modpack_test::EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        m_dir.WriteFile("Giants/bin/GTextEnglish.bin", "game text");
        m_dir.WriteFile("Giants/bin/Level.abx", "game level abx");
        m_dir.WriteFile("Giants/bin/Override/Sky.tga", "game sky");
    }
    CLevelInfo Info(const std::string& fileName, const std::string& krv = {}) {
        CLevelInfo info;
        info.fileName = fileName;
        info.infoText = krv;
        return info;
    }
    CKorvane m_engine;
};

TEST_F(InstallationTest, InstallsByExtensionBacksUpAndRestores) {
    const auto original = GameSnapshot();
    AddModpack("Pack.gck", {{"Pack.krv", "info"},
                            {"data\\Texture.tga", "new texture"},
                            {"Level.gzp", "new gzp"},
                            {"Level.bin", "new bin"},
                            {"Level.abx", "archive abx"},
                            {"Pack.BIN", "pack bin"},
                            {"GTEXTENGLISH.BIN", "new text"},
                            {"sky.TGA", "new sky"},
                            {"a.bi", "short"},
                            {".bin", "short"},
                            {"Maps/", "", Member::Folder}});
    m_dir.MakeDirectory("Giants/KRVTemp/Leftover.tga"); // folders in KRVTemp are skipped
    const std::string krv = "modinfo_binname=w_Arena.bin\nmodinfo_bintype=3\n";
    ASSERT_TRUE(m_engine.InstallLevel(Info("Pack.gck", krv)));
    EXPECT_TRUE(m_messages.Empty()) << m_messages.Texts().front();

    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Override/Texture.tga"), "new texture");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Level.gzp"), "new gzp");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Level.bin"), "new bin");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Pack.BIN"), "pack bin");
    // Game files are replaced in the case they have on disk, never doubled in another case.
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/GTextEnglish.bin"), "new text");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Override/Sky.tga"), "new sky");
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/GTEXTENGLISH.BIN"));
    // Companions come from Master.abx; the archive's own .abx and short names are dropped.
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Level.abx"), modpack_test::kMasterAbx);
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Pack.abx"), modpack_test::kMasterAbx);
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/a.bi"));
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/Override/Leftover.tga"));
    EXPECT_EQ(testing_support::ListTree(Game("KRVTemp")),
              std::vector<std::string>{"Leftover.tga/"});
    EXPECT_EQ(testing_support::ListTree(Game("KRVBackup")),
              (std::vector<std::string>{"GTextEnglish.bin", "Level.abx", "Sky.tga"}));
    EXPECT_EQ(*m_dir.ReadFile("Giants/KRVBackup/Level.abx"), "game level abx");

    // Newest first, CR LF; a companion right before its .bin. Listing order of KRVTemp decides
    // the rest, so compare as a set of lines with the pairs checked for order.
    const std::string list = *m_dir.ReadFile("Korvane/RemoveList.txt");
    for (const char* name :
         {"Texture.tga\r\n", "Level.gzp\r\n", "Level.bin\r\n", "Pack.BIN\r\n", "Pack.krv\r\n"})
        EXPECT_NE(list.find(name), std::string::npos) << name;
    EXPECT_NE(list.find("Pack.abx\r\nPack.BIN\r\n"), std::string::npos) << list;
    EXPECT_EQ(list.find("Level.abx"), std::string::npos);
    // The replaced game file is not listed; its new companion is.
    EXPECT_EQ(list.find("GTEXTENGLISH.BIN"), std::string::npos);
    EXPECT_NE(list.find("GTEXTENGLISH.abx\r\n"), std::string::npos);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 7);
    EXPECT_EQ(m_dir.ReadFile("Giants/bin/worldlist.bin")->substr(12 + 8, 12), "intro_island");

    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), original);
    EXPECT_FALSE(m_dir.ReadFile("Korvane/RemoveList.txt"));
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(InstallationTest, EarlierBackupSurvivesAndMissingBackupStopsTheInstallation) {
    m_dir.WriteFile("Giants/KRVBackup/Sky.tga", "older original sky");
    AddModpack("Pack.gck", {{"Sky.tga", "new sky"}});
    ASSERT_TRUE(m_engine.InstallLevel(Info("Pack.gck")));
    EXPECT_EQ(*m_dir.ReadFile("Giants/KRVBackup/Sky.tga"), "older original sky");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Override/Sky.tga"), "older original sky");

    // No backup can be made: the game's file must not be overwritten.
    m_dir.WriteFile("Giants/bin/Override/Sky.tga", "game sky");
    m_dir.WriteFile("Giants/bin/Override/Moon.tga", "game moon");
    AddModpack("Two.gck", {{"Sky.tga", "new sky"}, {"Moon.tga", "new moon"}, {"Star.tga", "star"}});
    const auto original = GameSnapshot();
    {
        NoRoomForBackups files(platform::Files());
        testing_support::ScopedFileSystem use(files);
        EXPECT_FALSE(m_engine.InstallLevel(Info("Two.gck")));
    }
    ASSERT_EQ(m_messages.Count(), 1u);
    EXPECT_EQ(m_messages.Last().text.rfind("Could not back up ", 0), 0u) << m_messages.Last().text;
    EXPECT_EQ(m_messages.Last().caption, "KRV Error");
    EXPECT_EQ(GameSnapshot(), original);
}

TEST_F(InstallationTest, FilesAnUnfinishedRestorationLeftListedAreNeverTakenForTheGame) {
    const auto original = GameSnapshot();
    m_dir.WriteFile("Giants/bin/Override/Old.tga", "left by an earlier modpack");
    m_dir.WriteFile("Korvane/RemoveList.txt", "Old.tga\r\n");
    AddModpack("Pack.gck", {{"Old.tga", "new old"}, {"New.tga", "new"}});
    ASSERT_TRUE(m_engine.InstallLevel(Info("Pack.gck")));
    EXPECT_EQ(*m_dir.ReadFile("Korvane/RemoveList.txt"), "New.tga\r\nOld.tga\r\n");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Override/Old.tga"), "new old");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), original);
}

TEST_F(InstallationTest, CopiesCutShortByACrashLeaveNothingInTheGame) {
    const auto original = GameSnapshot();
    // What a kill in the middle of a backup and of an overwrite leaves on disk.
    m_dir.WriteFile("Giants/KRVBackup/.Sky.tga.krvtmp-a1B2c3", "half a backup");
    m_dir.WriteFile("Giants/bin/Override/.Sky.tga.krvtmp-x9Y8z7", "half a modpack file");
    m_dir.WriteFile("Giants/bin/.Level.abx.krvtmp-q1W2e3", "half a companion");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), original);
}

TEST_F(InstallationTest, RestorationEdgeCases) {
    // Nothing installed: only the world list is rewritten.
    m_dir.WriteFile("Giants/bin/worldlist.bin", "modpack list");
    const auto clean = GameSnapshot();
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/worldlist.bin"), modpack_test::kGameWorldList);

    // Listed names: short lines ignored, folders by extension, "bin\override" finds bin/Override,
    // a missing file skipped without a message, a name climbing out of the game left alone.
    m_dir.WriteFile("Giants/bin/Map.Bin", "added map");
    m_dir.WriteFile("Giants/bin/Override/Added.tga", "added tga");
    m_dir.WriteFile("Giants/bin/abc", "short name");
    m_dir.WriteFile("outside.tga", "not ours");
    m_dir.WriteFile("Korvane/RemoveList.txt",
                    "Map.Bin\r\nAdded.tga\r\nabc\r\nGone.gzp\r\n..\\..\\outside.tga\r\n");
    m_dir.WriteFile("Giants/KRVBackup/Map.gzp", "original gzp");
    m_dir.WriteFile("Giants/KRVBackup/Sky.tga", "original sky");
    m_dir.WriteFile("Giants/bin/Map.gzp", "modpack gzp");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_TRUE(m_messages.Empty());
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/Map.Bin"));
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/Override/Added.tga"));
    EXPECT_TRUE(m_dir.ReadFile("Giants/bin/abc"));
    EXPECT_TRUE(m_dir.ReadFile("outside.tga"));
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Map.gzp"), "original gzp");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Override/Sky.tga"), "original sky");
    EXPECT_EQ(testing_support::ListTree(Game("KRVBackup")), std::vector<std::string>{});

    // A missing own copy of the world list is reported and restoration goes on.
    ASSERT_EQ(unlink(Own("worldlist.bin").c_str()), 0);
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(m_messages.Last().text,
              "Error restoring worldlist.bin, you will have to do this manually");
    (void)clean;
}

} // namespace
