#pragma once
// A host and a joiner in one process: each has its own Korvane directory, the host publishes
// through ServeLevel and the real server on a free loopback port, the joiner asks it through
// DownloadLevel with scripted dialogs, an in-memory list and recorded message boxes.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "FakeModpackList.h"
#include "RecordingMessageBoxes.h"
#include "ScriptedJoinDialogs.h"
#include "TempDir.h"
#include "modpack/Korvane.h"

class JoinFixture : public ::testing::Test {
  protected:
    static const std::string kInfo;

    void SetUp() override;
    void TearDown() override;

    // The host installs `bytes` as Modpacks\name and hosts it; the joiner is current afterwards.
    void Host(const std::string& name, const std::string& bytes, bool share,
              const std::string& alternate = "");
    // Replaces what the host announces, as a broken or hostile host would.
    void Announce(const std::string& text);
    // An announcement of the archive hosted last, with another source, size or sum.
    std::string Announcement(const std::string& source, int64_t size, uint32_t sum,
                             const std::string& name = "Arena.gck") const;
    // Runs the join with the given host-check answers.
    bool JoinHost(std::initializer_list<HostCheckResult> answers);
    // The joiner's Modpacks folder, file by file.
    std::map<std::string, std::string> JoinerModpacks() const;

    testing_support::TempDir host;
    testing_support::TempDir joiner;
    testing_support::TempDir game;
    testing_support::ScopedMessageRecorder messages;
    testing_support::ScriptedJoinDialogs dialogs;
    testing_support::FakeModpackList list;
    CKorvane korvane;
    CLevelInfo info;
    std::string hostedBytes;

  private:
    std::string m_startDirectory;
};

// A modpack-sized archive body whose checksum is not trivial.
std::string ArchiveBytes(std::size_t size, unsigned seed);

inline const std::string kConnectMessage =
    "Couldn't connect to host (host likely not running KRV)\n"
    "If you joined from a lobby, wait for host to start game";
inline const std::string kSizeMessage =
    "Error, could not download Modpack correctly, downloaded size does not match";
