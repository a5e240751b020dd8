// Whatever happens during an installation, a restoration gives the game back exactly as it was:
// every file-system operation of InstallLevel is made to fail, and the installing process is
// killed at every operation and after every extracted member.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "FaultyFileSystem.h"
#include "ModpackTestKit.h"
#include "ScopedMemberObserver.h"
#include "modpack/InfoZip.h"
#include "modpack/Korvane.h"

namespace {

constexpr int kKilled = 86;

class FaultInjectionTest : public modpack_test::EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        m_info.fileName = "Pack.gck";
        m_info.infoText = "modinfo_binname=w_Arena.bin\r\nmodinfo_bintype=3\r\n";
        // Map.bin's companion replaces a game file, Fresh.bin's is added.
        AddModpack("Pack.gck", {{"Pack.krv", m_info.infoText},
                                {"New.tga", "new tga"},
                                {"New.gzp", "new gzp"},
                                {"Map.bin", "map bin"},
                                {"Fresh.bin", "fresh bin"},
                                {"sky.TGA", "new sky"},
                                {"REPLACE.GZP", "new gzp"},
                                {"Level.abx", "never installed"}});
    }

    // Restores in fresh state, as the next start of Korvane would, and checks the whole game.
    void ExpectRestored(const std::string& what) {
        EXPECT_TRUE(CKorvane().RestoreGiants()) << what;
        EXPECT_EQ(GameSnapshot(), m_original) << what;
        EXPECT_FALSE(m_dir.ReadFile("Korvane/RemoveList.txt")) << what;
    }

    // Installs (or restores) in a child process that dies at file-system operation `operation`
    // or after extracting member `member` (0: neither); returns its exit status.
    int RunInChild(bool restore, int operation, int member = 0) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            testing_support::FaultyFileSystem files(platform::Files());
            testing_support::ScopedFileSystem use(files);
            files.CallAt(operation, [] { _exit(kKilled); });
            int seen = 0;
            testing_support::ScopedMemberObserver observe([member, &seen](const std::string&) {
                if (++seen == member)
                    _exit(kKilled);
            });
            CKorvane engine;
            _exit((restore ? engine.RestoreGiants() : engine.InstallLevel(m_info)) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    CLevelInfo m_info;
};

TEST_F(FaultInjectionTest, EveryFailureAndEveryKillIsUndoneByRestoration) {
    // A clean run gives the number of operations and members, and the installed game.
    int operations = 0, members = 0;
    std::map<std::string, std::string> installed;
    {
        testing_support::FaultyFileSystem files(platform::Files());
        testing_support::ScopedFileSystem use(files);
        testing_support::ScopedMemberObserver observe([&](const std::string&) { ++members; });
        ASSERT_TRUE(CKorvane().InstallLevel(m_info));
        operations = files.Count();
        installed = GameSnapshot();
    }
    ASSERT_TRUE(m_messages.Empty());
    ExpectRestored("clean run");
    ASSERT_GT(operations, 30);
    ASSERT_EQ(members, 7); // Level.abx is read, never written

    for (int k = 1; k <= operations; ++k) {
        std::string what = "operation " + std::to_string(k);
        // Operation k fails alone; then, as on a full disk, k and everything after it fails, even
        // the restoration that the failed installation runs.
        for (const bool onwards : {false, true}) {
            testing_support::FaultyFileSystem files(platform::Files());
            onwards ? files.FailFrom(k) : files.FailAt(k);
            bool succeeded = false;
            {
                testing_support::ScopedFileSystem use(files);
                succeeded = CKorvane().InstallLevel(m_info);
            }
            what = "operation " + std::to_string(k) + " (" + files.Operations()[k - 1] + ")";
            // A failure nobody noticed must not leave a half-installed game behind. A game folder
            // that cannot be listed is no failure: its files are then found by their exact names,
            // so REPLACE.GZP is added beside Replace.gzp instead of replacing it.
            if (succeeded && files.Operations()[k - 1].rfind("ListDirectory", 0) != 0) {
                EXPECT_EQ(GameSnapshot(), installed) << what;
            }
            ExpectRestored(what + (onwards ? " and all after it failed" : " failed"));
        }
        EXPECT_EQ(RunInChild(false, k), kKilled) << what;
        ExpectRestored(what + " killed");
        if (HasFailure())
            return;
    }
    for (int m = 1; m <= members; ++m) {
        EXPECT_EQ(RunInChild(false, 0, m), kKilled);
        ExpectRestored("killed after member " + std::to_string(m));
        if (HasFailure())
            return;
    }

    // Restoration itself may die at any step: the next one finishes the job.
    int restoreOperations = 0;
    {
        CKorvane engine;
        ASSERT_TRUE(engine.InstallLevel(m_info));
        testing_support::FaultyFileSystem files(platform::Files());
        testing_support::ScopedFileSystem use(files);
        ASSERT_TRUE(engine.RestoreGiants());
        restoreOperations = files.Count();
    }
    for (int k = 1; k <= restoreOperations; ++k) {
        ASSERT_TRUE(CKorvane().InstallLevel(m_info));
        EXPECT_EQ(RunInChild(true, k), kKilled);
        ExpectRestored("restoration killed at operation " + std::to_string(k));
        if (HasFailure())
            return;
    }
    std::printf("Fault injection: %d operations of InstallLevel failed alone, failed onwards and "
                "killed; %d members and %d operations of RestoreGiants killed\n",
                operations, members, restoreOperations);
}

} // namespace
