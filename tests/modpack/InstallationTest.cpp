// Installing a modpack into the game and putting the game back.
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "FaultyFileSystem.h"
#include "ModpackTestKit.h"
#include "modpack/InfoZip.h"
#include "modpack/Korvane.h"
#include "platform/SystemCalls.h"

using modpack_test::kMasterAbx;

namespace {

// A disk on which nothing can be written into KRVBackup, as when it is full.
struct NoRoomForBackups : testing_support::FaultyFileSystem {
    using FaultyFileSystem::FaultyFileSystem;
    bool CopyFile(const std::string& from, const std::string& to, platform::Overwrite o) override {
        return to.find("KRVBackup") == std::string::npos && FaultyFileSystem::CopyFile(from, to, o);
    }
    bool MoveFile(const std::string& from, const std::string& to) override {
        return to.find("KRVBackup") == std::string::npos && FaultyFileSystem::MoveFile(from, to);
    }
};

class InstallationTest : public modpack_test::EngineTest {
  protected:
    bool Install(const std::string& fileName, const std::string& krv = {}) {
        CLevelInfo info;
        info.fileName = fileName;
        info.infoText = krv;
        return m_engine.InstallLevel(info);
    }
    CKorvane m_engine;
};

TEST_F(InstallationTest, InstallsByExtensionBacksUpAndRestores) {
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
                            {"Maps/", "", modpack_test::Member::Folder},
                            {"maps\\TEXTURE.TGA", "later texture"}});
    m_dir.MakeDirectory("Giants/KRVTemp/Leftover.tga"); // folders in KRVTemp are skipped
    ASSERT_TRUE(Install("Pack.gck", "modinfo_binname=w_Arena.bin\nmodinfo_bintype=3\n"));
    EXPECT_TRUE(m_messages.Empty()) << m_messages.Texts().front();
    // Game files are replaced in the case they have on disk, never doubled in another case, and
    // backed up first. Companions come from Master.abx; the archive's own .abx and short names
    // are dropped. Of two members that differ only in case the later one wins, and the earlier,
    // the modpack's own, is no game file to back up.
    auto expected = m_original;
    for (const auto& [path, data] :
         std::map<std::string, std::string>{{"bin/Override/Texture.tga", "later texture"},
                                            {"bin/Override/Sky.tga", "new sky"},
                                            {"bin/Override/Pack.krv", "info"},
                                            {"bin/Level.gzp", "new gzp"},
                                            {"bin/Level.bin", "new bin"},
                                            {"bin/Pack.BIN", "pack bin"},
                                            {"bin/GTextEnglish.bin", "new text"},
                                            {"bin/Level.abx", kMasterAbx},
                                            {"bin/Pack.abx", kMasterAbx},
                                            {"bin/GTEXTENGLISH.abx", kMasterAbx},
                                            {"KRVBackup/GTextEnglish.bin", "game text"},
                                            {"KRVBackup/Level.abx", "game level abx"},
                                            {"KRVBackup/Sky.tga", "game sky"}})
        expected[path] = data;
    auto installed = GameSnapshot();
    EXPECT_EQ(installed["bin/worldlist.bin"].substr(12 + 8, 12), "intro_island");
    expected["bin/worldlist.bin"] = installed["bin/worldlist.bin"];
    EXPECT_EQ(installed, expected);
    EXPECT_EQ(m_dir.ListTree("Giants/KRVTemp"), std::vector<std::string>{"Leftover.tga/"});

    // Newest first, CR LF; a companion right before its .bin. Listing order of KRVTemp decides
    // the rest, so compare as a set of lines with the pairs checked for order. The replaced game
    // file is not listed; its new companion is.
    const std::string list = *m_dir.ReadFile("Korvane/RemoveList.txt");
    for (const char* name : {"Texture.tga\r\n", "Level.gzp\r\n", "Level.bin\r\n", "Pack.krv\r\n",
                             "Pack.abx\r\nPack.BIN\r\n", "GTEXTENGLISH.abx\r\n"})
        EXPECT_NE(list.find(name), std::string::npos) << name << list;
    EXPECT_EQ(list.find("Level.abx"), std::string::npos);
    EXPECT_EQ(list.find("GTEXTENGLISH.BIN"), std::string::npos);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 7);

    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), m_original);
    EXPECT_FALSE(m_dir.ReadFile("Korvane/RemoveList.txt"));
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(InstallationTest, EarlierBackupSurvivesAndMissingBackupStopsTheInstallation) {
    m_dir.WriteFile("Giants/KRVBackup/Sky.tga", "older original sky");
    AddModpack("Pack.gck", {{"Sky.tga", "new sky"}});
    ASSERT_TRUE(Install("Pack.gck"));
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
        EXPECT_FALSE(Install("Two.gck"));
    }
    ASSERT_EQ(m_messages.Count(), 1u);
    EXPECT_EQ(m_messages.Last().text.rfind("Could not back up ", 0), 0u) << m_messages.Last().text;
    EXPECT_EQ(m_messages.Last().caption, "KRV Error");
    EXPECT_EQ(GameSnapshot(), original);
}

TEST_F(InstallationTest, AMissingMasterAbxIsNamedAsTheCause) {
    // A Linux-only setup has no Master.abx; the message must say so, not only name the target.
    ::unlink((m_dir / "Korvane/Master.abx").c_str());
    AddModpack("Reef.gck", {{"w_Reef.bin", "reef"}});
    EXPECT_FALSE(Install("Reef.gck"));
    ASSERT_EQ(m_messages.Count(), 1u);
    const std::string text = m_messages.Last().text;
    EXPECT_EQ(text.rfind("Could not create ", 0), 0u) << text;
    EXPECT_NE(text.find("w_Reef.abx\nMaster.abx is missing from Korvane's own folder: " +
                        (m_dir / "Korvane/Master.abx")),
              std::string::npos)
        << text;
}

TEST_F(InstallationTest, FilesAnUnfinishedRestorationLeftListedAreNeverTakenForTheGame) {
    m_dir.WriteFile("Giants/bin/Override/Old.tga", "left by an earlier modpack");
    m_dir.WriteFile("Korvane/RemoveList.txt", "Old.tga\r\n");
    AddModpack("Pack.gck", {{"Old.tga", "new old"}, {"New.tga", "new"}});
    ASSERT_TRUE(Install("Pack.gck"));
    EXPECT_EQ(*m_dir.ReadFile("Korvane/RemoveList.txt"), "New.tga\r\nOld.tga\r\n");
    EXPECT_EQ(*m_dir.ReadFile("Giants/bin/Override/Old.tga"), "new old");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), m_original);
}

TEST_F(InstallationTest, RestorationEdgeCases) {
    // Nothing installed: only the world list is rewritten, and what a kill in the middle of a
    // backup or of an overwrite leaves on disk is swept away.
    m_dir.WriteFile("Giants/bin/worldlist.bin", "modpack list");
    m_dir.WriteFile("Giants/KRVBackup/.Sky.tga.krvtmp-a1B2c3", "half a backup");
    m_dir.WriteFile("Giants/bin/Override/.Sky.tga.krvtmp-x9Y8z7", "half a modpack file");
    m_dir.WriteFile("Giants/bin/.Level.abx.krvtmp-q1W2e3", "half a companion");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), m_original);

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
    auto expected = m_original;
    expected["bin/abc"] = "short name";
    expected["bin/Map.gzp"] = "original gzp";
    expected["bin/Override/Sky.tga"] = "original sky";
    EXPECT_EQ(GameSnapshot(), expected);
    EXPECT_TRUE(m_dir.ReadFile("outside.tga"));

    // A missing own copy of the world list is reported and restoration goes on.
    ASSERT_EQ(unlink(Own("worldlist.bin").c_str()), 0);
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(m_messages.Last().text,
              "Error restoring worldlist.bin, you will have to do this manually");
}

TEST_F(InstallationTest, CaseVariantsOfFoldersAndFilesComeBackByteIdentical) {
    // bin/Override and bin/override side by side, two game files differing only in case, and a
    // modpack that brings a third case of that name and a file restoration treats as Korvane's.
    m_dir.WriteFile("Giants/bin/override/Other.tga", "other folder");
    m_dir.WriteFile("Giants/bin/Override/sky.tga", "twin sky");
    // The game's own files keep being found in the case the game has them.
    ASSERT_EQ(rename(Game("bin/worldlist.bin").c_str(), Game("bin/WorldList.bin").c_str()), 0);
    const auto original = GameSnapshot();
    AddModpack("Pack.gck", {{"SKY.TGA", "new sky"},
                            {"Added.tga", "added"},
                            {"gtextenglish_ORIG.bin", "hostile text"}});
    ASSERT_TRUE(Install("Pack.gck"));
    EXPECT_TRUE(m_messages.Empty()) << m_messages.Texts().front();
    // The file replaced is the one backed up, under its own name; its twin is left alone.
    EXPECT_EQ(m_dir.ReadFile("Giants/bin/Override/Sky.tga").value_or("missing"), "new sky");
    EXPECT_EQ(m_dir.ReadFile("Giants/bin/Override/sky.tga").value_or("missing"), "twin sky");
    EXPECT_EQ(m_dir.ReadFile("Giants/KRVBackup/Sky.tga").value_or("missing"), "game sky");
    EXPECT_EQ(m_dir.ReadFile("Giants/bin/Override/Added.tga").value_or("missing"), "added");
    EXPECT_FALSE(m_dir.ReadFile("Giants/bin/gtextenglish_ORIG.bin"));
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), original);

    // A kill right after the backup moved away, before the modpack's file took its place: the
    // twin must not take the backup's content.
    ASSERT_EQ(rename(Game("bin/Override/Sky.tga").c_str(), Game("KRVBackup/Sky.tga").c_str()), 0);
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), original);

    // A text file an older Korvane let a modpack add is removed, never copied over the game's.
    m_dir.WriteFile("Giants/bin/GTextEnglish_orig.bin", "hostile text");
    m_dir.WriteFile("Korvane/RemoveList.txt", "GTextEnglish_orig.bin\r\n");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), original);
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(InstallationTest, AFailedRestoreLeavesTheGameFileInPlace) {
    AddModpack("Pack.gck", {{"Replace.gzp", "new gzp"}});
    ASSERT_TRUE(Install("Pack.gck"));
    {
        // Nothing can leave KRVBackup: neither a rename nor a copy of the backup works.
        struct StuckBackups : testing_support::FaultyFileSystem {
            using FaultyFileSystem::FaultyFileSystem;
            bool CopyFile(const std::string& from, const std::string& to,
                          platform::Overwrite o) override {
                return from.find("KRVBackup") == std::string::npos &&
                       FaultyFileSystem::CopyFile(from, to, o);
            }
            bool MoveFile(const std::string& from, const std::string& to) override {
                return from.find("KRVBackup") == std::string::npos &&
                       FaultyFileSystem::MoveFile(from, to);
            }
        } files(platform::Files());
        testing_support::ScopedFileSystem use(files);
        EXPECT_FALSE(m_engine.RestoreGiants());
    }
    EXPECT_EQ(m_messages.Last().text, "Unable to restore file Replace.gzp");
    EXPECT_EQ(m_dir.ReadFile("Giants/bin/Replace.gzp").value_or("missing"), "new gzp");
    EXPECT_EQ(m_dir.ReadFile("Giants/KRVBackup/Replace.gzp").value_or("missing"), "game gzp");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), m_original);
}

TEST_F(InstallationTest, WhatCouldNotBeExtractedStopsTheInstallation) {
    // An encrypted member among good ones: the game must not start with half the modpack.
    AddModpack("Locked.gck", {{"First.tga", "first"},
                              {"Secret.gzp", "secret", modpack_test::Member::File, false, true},
                              {"Last.tga", "last"}});
    EXPECT_FALSE(Install("Locked.gck"));
    ASSERT_EQ(m_messages.Count(), 1u);
    EXPECT_THAT(m_messages.Last().text, testing::HasSubstr("Zip error 2:\nSecret.gzp: "));
    EXPECT_EQ(GameSnapshot(), m_original);
    EXPECT_EQ(m_dir.ListTree("Giants/KRVTemp"), std::vector<std::string>{});

    // What a killed extraction left unpacked goes with the next start's restoration.
    m_dir.WriteFile("Giants/KRVTemp/Unpacked.tga", "left by a kill");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(m_dir.ListTree("Giants/KRVTemp"), std::vector<std::string>{});
}

// Mounts a file system of `bytes` over `folder`, seen by this process alone (a private mount
// namespace; a user namespace too when not root). False where the system allows neither.
bool MountSmallDisk(const std::string& folder, size_t bytes) {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNS) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    const std::string size = "size=" + std::to_string(bytes);
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", folder.c_str(), "tmpfs", 0, size.c_str()) == 0;
}

// Hides /proc from this process, as where it is not mounted: members are then written under
// hidden temporary names instead of without a name, as on file systems that cannot make a file
// without one (FUSE, NTFS). The unzip library is named first, being found through /proc.
bool HideProc() {
    for (const std::string& candidate : InfoZip::LibraryCandidates())
        if (::access(candidate.c_str(), R_OK) == 0) {
            ::setenv("KORVANE_UNZDLL", candidate.c_str(), 1);
            break;
        }
    return ::mount("tmpfs", "/proc", "tmpfs", 0, "size=4k") == 0 &&
           !platform::sys::OpenUnnamed("/tmp", 0600).IsOpen();
}

// Unmounts what MountWindowsDisk mounted; the file system's process ends with its mount.
void UnmountWindowsDisk(const std::string& folder, const std::string& image) {
    ::umount2(folder.c_str(), MNT_DETACH);
    std::system(("losetup -j '" + image + "' | cut -d: -f1 | xargs -r losetup -d").c_str());
}

// Mounts a small disk of Windows' through FUSE over `folder`, seen by this process alone, as a
// Steam library on a Windows partition or a game on an external drive: NTFS (ntfs-3g: no file
// without a name, no rename that refuses to replace) or exFAT (exfat-fuse on a loop device: no
// hard links either, and names without regard to letter case). Needs root, /dev/fuse and the
// tools; false where any is missing.
bool MountWindowsDisk(const std::string& folder, const std::string& image, bool exfat) {
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0 ||
        ::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    const std::string i = "'" + image + "'";
    const std::string f = "'" + folder + "'";
    const std::string commands = exfat ? "truncate -s 4M " + i + " && mkfs.exfat " + i +
                                             " >/dev/null 2>&1 && " +
                                             "mount.exfat-fuse -o nonempty \"$(losetup -f --show " +
                                             i + ")\" " + f + " >/dev/null 2>&1"
                                       : "truncate -s 2M " + i + " && mkfs.ntfs -q -F -f " + i +
                                             " >/dev/null 2>&1 && " + "ntfs-3g " + i + " " + f;
    if (std::system(commands.c_str()) == 0)
        return true;
    UnmountWindowsDisk(folder, image);
    return false;
}

TEST_F(InstallationTest, ADiskFullInTheMiddleOfAMemberStopsTheInstallation) {
    std::string noise;
    for (uint32_t i = 0; i < 3 * 1024 * 1024; ++i)
        noise += static_cast<char>((i * 2654435761u) >> 13);
    // Small members that fit, one replacing a game file and one with a companion, then one that
    // cannot: the game's disk holds 64 KiB (a page per file), or 1.3 MB (NTFS), 2 MB (exFAT).
    AddModpack("Big.gck", {{"First.tga", "first"},
                           {"Sky.tga", "new sky"},
                           {"Level.bin", "new bin"},
                           {"Huge.gzp", noise},
                           {"Last.tga", "last"}});
    AddModpack("Small.gck", {{"First.tga", "first"}, {"SKY.TGA", "new sky"}});
    constexpr int kNoNamespace = 77;
    constexpr int kNoFuse = 78;
    enum class Disk { Nameless, HiddenNames, Ntfs, ExFat };
    for (const Disk disk : {Disk::Nameless, Disk::HiddenNames, Disk::Ntfs, Disk::ExFat}) {
        const bool windows = disk == Disk::Ntfs || disk == Disk::ExFat;
        const char* names[] = {"files without a name", "hidden temporary names", "NTFS", "exFAT"};
        SCOPED_TRACE(names[static_cast<int>(disk)]);
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            if (windows && !MountWindowsDisk(Game(""), m_dir / "disk.img", disk == Disk::ExFat))
                _exit(kNoFuse);
            if (!windows && (!MountSmallDisk(Game(""), 64 * 1024) ||
                             (disk == Disk::HiddenNames && !HideProc())))
                _exit(kNoNamespace);
            for (const auto& [path, data] : m_original)
                path.ends_with('/') ? m_dir.MakeDirectory("Giants/" + path)
                                    : m_dir.WriteFile("Giants/" + path, data);
            // A modpack that fits goes in under the names on disk, and out again.
            EXPECT_TRUE(Install("Small.gck"));
            auto expected = m_original;
            expected["bin/Override/First.tga"] = "first";
            expected["bin/Override/Sky.tga"] = "new sky";
            expected["KRVBackup/Sky.tga"] = "game sky";
            auto installed = GameSnapshot();
            expected["bin/worldlist.bin"] = installed["bin/worldlist.bin"]; // the default list
            EXPECT_EQ(installed, expected);
            EXPECT_TRUE(m_engine.RestoreGiants());
            EXPECT_EQ(GameSnapshot(), m_original);

            EXPECT_FALSE(Install("Big.gck"));
            EXPECT_EQ(m_messages.Texts(),
                      std::vector<std::string>{"Zip error 5:\nHuge.gzp: No space left on device"});
            // Restored by the failed installation itself, and nothing of the member is left.
            EXPECT_EQ(GameSnapshot(), m_original);
            EXPECT_EQ(m_dir.ListTree("Giants/KRVTemp"), std::vector<std::string>{});
            EXPECT_FALSE(m_dir.ReadFile("Korvane/RemoveList.txt"));
            std::fflush(nullptr);
            if (windows)
                UnmountWindowsDisk(Game(""), m_dir / "disk.img");
            _exit(HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == kNoFuse) {
            std::printf("%s not tried: it needs root, /dev/fuse and its tools\n",
                        names[static_cast<int>(disk)]);
            continue;
        }
        if (WEXITSTATUS(status) == kNoNamespace)
            GTEST_SKIP() << "no private mount namespace here for a small disk, or /proc is in use";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "see the failures of the child above";
    }
}

TEST_F(InstallationTest, AGameFolderThatCannotBeWrittenIsLeftAloneWithOneMessage) {
    // Installed by another user, or on a disk mounted read-only: every start restores without a
    // false alarm, and an installation says why it cannot go on.
    AddModpack("Small.gck", {{"First.tga", "first"}, {"Sky.tga", "new sky"}});
    m_dir.WriteFile("Korvane/worldlist.bin", m_original["bin/worldlist.bin"]);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (!MountSmallDisk(Game(""), 64 * 1024))
            _exit(77);
        for (const auto& [path, data] : m_original)
            path.ends_with('/') ? m_dir.MakeDirectory("Giants/" + path)
                                : m_dir.WriteFile("Giants/" + path, data);
        if (::mount(nullptr, Game("").c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                    nullptr) != 0)
            _exit(77);
        EXPECT_TRUE(m_engine.RestoreGiants());
        EXPECT_TRUE(m_messages.Empty()) << m_messages.Texts().front();
        EXPECT_FALSE(Install("Small.gck"));
        EXPECT_EQ(m_messages.Texts(),
                  std::vector<std::string>{"Zip error 5:\nFirst.tga: Read-only file system"});
        EXPECT_EQ(GameSnapshot(), m_original);
        std::fflush(nullptr);
        _exit(HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace here for a read-only disk";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "see the failures of the child above";
}

TEST_F(InstallationTest, AnUnlistableOverrideDoesNotStopTheInstallation) {
    struct UnlistableOverride : testing_support::FaultyFileSystem {
        using FaultyFileSystem::FaultyFileSystem;
        std::optional<std::vector<platform::DirEntry>>
        ListDirectory(const std::string& path) override {
            if (path.find("Override") != std::string::npos)
                return std::nullopt;
            return FaultyFileSystem::ListDirectory(path);
        }
    } files(platform::Files());
    AddModpack("Pack.gck", {{"Sky.tga", "new sky"}, {"New.tga", "new"}});
    {
        testing_support::ScopedFileSystem use(files);
        ASSERT_TRUE(Install("Pack.gck"));
    }
    EXPECT_TRUE(m_messages.Empty()) << m_messages.Texts().front();
    EXPECT_EQ(m_dir.ReadFile("Giants/bin/Override/Sky.tga").value_or("missing"), "new sky");
    EXPECT_EQ(m_dir.ReadFile("Giants/KRVBackup/Sky.tga").value_or("missing"), "game sky");
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), m_original);
}

TEST_F(InstallationTest, ASecondKorvaneLeavesAnInstalledModpackAlone) {
    AddModpack("Pack.gck", {{"Sky.tga", "new sky"}, {"New.gzp", "new"}});
    AddModpack("Other.gck", {{"Other.tga", "other"}});
    ASSERT_TRUE(Install("Pack.gck"));
    const auto installed = GameSnapshot();
    const std::string list = *m_dir.ReadFile("Korvane/RemoveList.txt");

    // The second one's start-up restoration passes over the game, and its Host and Join refuse.
    CKorvane second;
    EXPECT_TRUE(second.RestoreGiants());
    EXPECT_TRUE(m_messages.Empty());
    EXPECT_FALSE(second.CheckGameFolderFree());
    CLevelInfo other;
    other.fileName = "Other.gck";
    EXPECT_FALSE(second.InstallLevel(other));
    ASSERT_EQ(m_messages.Count(), 2u);
    EXPECT_THAT(m_messages.Last().text,
                testing::StartsWith("Another Korvane has a modpack installed in the game folder"));
    EXPECT_EQ(GameSnapshot(), installed);
    EXPECT_EQ(*m_dir.ReadFile("Korvane/RemoveList.txt"), list);

    // Once the first has restored, the game folder is free again.
    ASSERT_TRUE(m_engine.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), m_original);
    EXPECT_TRUE(second.CheckGameFolderFree());

    // A Korvane killed with its modpack installed leaves no lock: the next start restores.
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0)
        _exit(CKorvane().InstallLevel([] {
            CLevelInfo pack;
            pack.fileName = "Pack.gck";
            return pack;
        }())
                  ? 0
                  : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(GameSnapshot(), installed);
    EXPECT_TRUE(second.CheckGameFolderFree());
    ASSERT_TRUE(second.RestoreGiants());
    EXPECT_EQ(GameSnapshot(), m_original);
    EXPECT_EQ(m_messages.Count(), 2u);
}

} // namespace
