#pragma once
// A game folder and an own folder for engine tests, and modpack archives built on the spot.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "RecordingMessageBoxes.h"
#include "TempDir.h"

namespace modpack_test {

struct Member {
    std::string name, data;
    enum Kind { File, Folder, Link } kind = File;
    bool stored = false;    // no compression
    bool encrypted = false; // traditional PKWARE encryption
};

// Writes a zip archive with libzip.
void WriteArchive(const std::string& path, const std::vector<Member>& members);

// The bytes the own folder holds for the files that Korvane's installation supplies.
inline const std::string kMasterAbx = "master abx template";
inline const std::string kDefaultWorldList = "KRV default world list";
inline const std::string kGameWorldList = "the game's own world list";

// Sets up <tmp>/Giants (bin, bin/Override, KRVBackup, KRVTemp, worldlist.bin and a few game files
// that modpacks replace) and <tmp>/Korvane (Modpacks, Master.abx, KRVworldlist.bin,
// worldlist.bin), points the settings at them, records message boxes, and puts the settings and
// the current folder back afterwards. m_original is the game as set up.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string Game(const std::string& relative) const { return m_dir / ("Giants/" + relative); }
    std::string Own(const std::string& relative) const { return m_dir / ("Korvane/" + relative); }
    void AddModpack(const std::string& name, const std::vector<Member>& members) const {
        WriteArchive(Own("Modpacks/" + name), members);
    }
    // The game folder as a whole, without the scratch folder KRVTemp's content.
    std::map<std::string, std::string> GameSnapshot() const;

    testing_support::TempDir m_dir;
    testing_support::ScopedMessageRecorder m_messages;
    std::map<std::string, std::string> m_original;

  private:
    std::string m_savedGame, m_savedOwn, m_savedCwd;
};

} // namespace modpack_test
