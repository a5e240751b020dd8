#include "ModpackTestKit.h"

#include <sys/stat.h>
#include <zip.h>

#include <filesystem>

#include "app/Settings.h"

namespace modpack_test {

void WriteArchive(const std::string& path, const std::vector<Member>& members) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr) << "zip_open " << error;
    for (const Member& member : members) {
        zip_int64_t index = -1;
        if (member.kind == Member::Folder) {
            index = zip_dir_add(archive, member.name.c_str(), ZIP_FL_ENC_RAW);
        } else {
            auto* source = zip_source_buffer(archive, member.data.data(), member.data.size(), 0);
            index = zip_file_add(archive, member.name.c_str(), source, ZIP_FL_ENC_RAW);
        }
        ASSERT_GE(index, 0) << zip_strerror(archive);
        const auto at = static_cast<zip_uint64_t>(index);
        if (member.kind == Member::Link)
            zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX,
                                             (S_IFLNK | 0777u) << 16);
        zip_set_file_compression(archive, at, member.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        ASSERT_TRUE(!member.encrypted ||
                    zip_file_set_encryption(archive, at, ZIP_EM_TRAD_PKWARE, "secret") == 0);
    }
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

void EngineTest::SetUp() {
    m_savedCwd = std::filesystem::current_path();
    m_savedGame = g_strGiantsDir;
    m_savedOwn = g_strKorvaneDir;
    for (const char* folder :
         {"Giants/bin/Override", "Giants/KRVBackup", "Giants/KRVTemp", "Korvane/Modpacks"})
        m_dir.MakeDirectory(folder);
    m_dir.WriteFile("Giants/bin/worldlist.bin", kGameWorldList);
    m_dir.WriteFile("Giants/bin/GTextEnglish.bin", "game text");
    m_dir.WriteFile("Giants/bin/Level.abx", "game level abx");
    m_dir.WriteFile("Giants/bin/Map.abx", "game map abx");
    m_dir.WriteFile("Giants/bin/Replace.gzp", "game gzp");
    m_dir.WriteFile("Giants/bin/Override/Sky.tga", "game sky");
    m_dir.WriteFile("Korvane/worldlist.bin", kGameWorldList);
    m_dir.WriteFile("Korvane/Master.abx", kMasterAbx);
    m_dir.WriteFile("Korvane/KRVworldlist.bin", kDefaultWorldList);
    g_strGiantsDir = m_dir / "Giants";
    g_strKorvaneDir = m_dir / "Korvane";
    m_original = GameSnapshot();
}

void EngineTest::TearDown() {
    g_strGiantsDir = m_savedGame;
    g_strKorvaneDir = m_savedOwn;
    std::error_code error;
    std::filesystem::current_path(m_savedCwd, error);
}

std::map<std::string, std::string> EngineTest::GameSnapshot() const {
    auto snapshot = m_dir.Snapshot("Giants");
    std::erase_if(snapshot, [](const auto& entry) {
        return entry.first.starts_with("KRVTemp/") && entry.first != "KRVTemp/";
    });
    return snapshot;
}

} // namespace modpack_test
