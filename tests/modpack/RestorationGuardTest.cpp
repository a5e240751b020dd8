// Restoration rules that the installation tests pass over: the game's original text file put
// back, and the fixed piece length in which RemoveList.txt is read.
#include <string>

#include "ModpackTestKit.h"
#include "modpack/Korvane.h"

namespace {

using modpack_test::EngineTest;

class RestorationGuard : public EngineTest {
  protected:
    CKorvane m_engine;
};

TEST_F(RestorationGuard, OriginalTextFileIsPutBackAndThenRemoved) {
    m_dir.WriteFile("Giants/bin/GTextEnglish.bin", "text of a modpack");
    m_dir.WriteFile("Giants/bin/GTextEnglish_orig.bin", "game text");
    ASSERT_TRUE(m_engine.RestoreGiants());
    // m_original holds "game text" as GTextEnglish.bin and no GTextEnglish_orig.bin.
    EXPECT_EQ(GameSnapshot(), m_original);
    EXPECT_TRUE(m_messages.Empty());

    // Without an original the game's text file stays as it is.
    m_dir.WriteFile("Giants/bin/GTextEnglish.bin", "text of a modpack");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(m_dir.ReadFile("Giants/bin/GTextEnglish.bin"), "text of a modpack");
}

TEST_F(RestorationGuard, RemoveListIsReadIn259CharacterPieces) {
    // A line of 259 characters and then a name reads as two names: the name alone is removed,
    // not a name one character longer or shorter, as a piece of 258 or 260 would give.
    for (const char* name : {"Added.gzp", "xAdded.gzp", "dded.gzp"})
        m_dir.WriteFile(std::string("Giants/bin/") + name, "added");
    m_dir.WriteFile("Korvane/RemoveList.txt", std::string(259, 'x') + "Added.gzp\r\n");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/Added.gzp"));
    EXPECT_TRUE(m_dir.ReadFile("Giants/bin/xAdded.gzp"));
    EXPECT_TRUE(m_dir.ReadFile("Giants/bin/dded.gzp"));

    // The longest name a Linux folder holds, 255 characters, fits one piece with its CR LF.
    const std::string longName = std::string(251, 'y') + ".gzp";
    m_dir.WriteFile("Giants/bin/" + longName, "added");
    m_dir.WriteFile("Korvane/RemoveList.txt", longName + "\r\n");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/" + longName));
    EXPECT_FALSE(m_dir.ReadFile("Korvane/RemoveList.txt"));
}

} // namespace
