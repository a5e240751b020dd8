// Loading and storing the settings: every rule of GetRegistryItems, CRegKey's failures, the
// writers' message, and the store shared by two processes.
#include <sys/wait.h>
#include <unistd.h>

#include "RegistryFixture.h"
#include "ScopedLocale.h"
#include "app/RegKey.h"
#include "app/Settings.h"
#include "platform/RegistryStore.h"

namespace {

constexpr const char* kGiants = "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\n"
                                "\"DestDir\"=\"/games/Giants\\\\\"\n";

std::string Krv(const std::string& values) {
    return std::string(
               "[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"/opt/korvane\\\\\\\\\"\n") +
           values;
}

using SettingsTest = RegistryTest;

} // namespace

TEST_F(SettingsTest, LoadsTheFiveSettingsWithTheirDefaultsAndLimits) {
    WriteRegistry(std::string(kGiants) + Krv(""));
    g_strCmdLine = "stale";
    g_nSecondsToJoin = 33;
    g_bAutoJoin = 1;
    ASSERT_TRUE(GetRegistryItems());
    EXPECT_EQ(g_strGiantsDir, "/games/Giants");   // one trailing backslash removed
    EXPECT_EQ(g_strKorvaneDir, "/opt/korvane\\"); // of two, one is kept
    EXPECT_EQ(g_strCmdLine, "");
    EXPECT_EQ(g_nSecondsToJoin, 5u);
    EXPECT_EQ(g_bAutoJoin, 0u);

    // Texts too long for the 1024-byte buffer read as empty.
    const std::string fits(1023, 'a');
    WriteRegistry(std::string(kGiants) + Krv("\"CMDLine\"=\"" + fits + "\"\n"));
    ASSERT_TRUE(GetRegistryItems());
    EXPECT_EQ(g_strCmdLine, fits);
    WriteRegistry(std::string(kGiants) + Krv("\"CMDLine\"=\"" + fits + "b\"\n"));
    ASSERT_TRUE(GetRegistryItems());
    EXPECT_EQ(g_strCmdLine, "");
    EXPECT_TRUE(m_messages.Empty());
}

TEST_F(SettingsTest, NumbersAreClampedAndReadWhateverTheirType) {
    const std::pair<std::string, uint32_t> cases[] = {
        {"dword:00000000", 0},     {"dword:0000003c", 60}, {"dword:0000003d", 60},
        {"dword:ffffffff", 60},    {"\"5\"", 0x35}, // a two-byte string is read as its bytes
        {"hex:01,02,03,04,05", 5},                  // five bytes do not fit: the default
    };
    for (const auto& [seconds, expected] : cases) {
        WriteRegistry(std::string(kGiants) +
                      Krv("\"SecondsToJoin\"=" + seconds + "\n\"AutoJoin\"=dword:7\n"));
        g_nSecondsToJoin = 0;
        ASSERT_TRUE(GetRegistryItems());
        EXPECT_EQ(g_nSecondsToJoin, expected) << seconds;
        EXPECT_EQ(g_bAutoJoin, 7u);
    }
}

TEST_F(SettingsTest, MissingOrRelativeDirectoriesShowTheirMessages) {
    EXPECT_FALSE(GetRegistryItems()); // no store file at all
    EXPECT_EQ(m_messages.Last().text,
              "Error - Giants : Citizen Kabuto was not found on your system.");
    EXPECT_EQ(m_messages.Last().caption, "KRV Error");
    EXPECT_EQ(m_messages.Last().owner, platform::Owner::None);

    WriteRegistry(std::string(kGiants) + "[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"\"\n");
    g_strKorvaneDir = "before";
    EXPECT_FALSE(GetRegistryItems());
    EXPECT_EQ(m_messages.Last().text,
              "Error - Korvane is not installed correctly. Please reinstall.");
    EXPECT_EQ(g_strGiantsDir, "/games/Giants");
    EXPECT_EQ(m_messages.Count(), 2u);

    // A directory that is not a full path names itself, and the variable keeps the folder it
    // held: the engine must never go on in a relative folder or at the file system root.
    const std::pair<const char*, const char*> relative[] = {
        {"Software\\PlanetMoon\\Giants", "C:\\\\Games\\\\Giants"},
        {"Software\\PlanetMoon\\Giants", "games/Giants"},
        {"Software\\KRV", "\\\\"},
        {"Software\\KRV", "//"},
    };
    for (const auto& [key, value] : relative) {
        const bool game = std::string(key) == "Software\\PlanetMoon\\Giants";
        WriteRegistry(std::string("[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"") +
                      (game ? "/own" : value) +
                      "\"\n[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\n\"DestDir\"=\"" +
                      (game ? value : "/games/Giants") + "\"\n");
        g_strGiantsDir = "/before";
        g_strKorvaneDir = "/before";
        EXPECT_FALSE(GetRegistryItems()) << value;
        EXPECT_EQ(m_messages.Last().text.rfind(
                      std::string("Error - DestDir of HKEY_CURRENT_USER\\") + key + " is \"", 0),
                  0u)
            << m_messages.Last().text;
        EXPECT_EQ(game ? g_strGiantsDir : g_strKorvaneDir, "/before");
    }
}

TEST_F(SettingsTest, WritersOpenButNeverCreateTheKey) {
    WriteRegistry(kGiants);
    const std::string before = ReadRegistry();
    EXPECT_FALSE(StoreKrvDword("AutoJoin", 1, platform::Owner::ActiveDialog));
    EXPECT_EQ(m_messages.Last().text, "Could not write to KRV registry\nError in CRegKey::Open");
    EXPECT_EQ(m_messages.Last().caption, platform::kAppTitle);
    EXPECT_EQ(m_messages.Last().owner, platform::Owner::ActiveDialog);
    EXPECT_EQ(ReadRegistry(), before);

    WriteRegistry(std::string(kGiants) + Krv("\"AutoJoin\"=dword:9\n"));
    m_messages.Clear();
    EXPECT_TRUE(
        WriteKrvSettings({KrvSetting::Dword("SecondsToJoin", 61), KrvSetting::Dword("AutoJoin", 1),
                          KrvSetting::Text("CMDLine", "-window")},
                         platform::Owner::ActiveDialog));
    EXPECT_TRUE(m_messages.Empty());
    for (const char* line : {"\"SecondsToJoin\"=dword:0000003d\n", "\"AutoJoin\"=dword:00000001\n",
                             "\"CMDLine\"=\"-window\"\n"})
        EXPECT_NE(ReadRegistry().find(line), std::string::npos) << ReadRegistry();
    ASSERT_TRUE(GetRegistryItems());
    EXPECT_EQ(g_strCmdLine, "-window");
    EXPECT_EQ(g_nSecondsToJoin, 60u);
}

TEST_F(SettingsTest, FileThatDoesNotParseIsReportedAndKept) {
    WriteRegistry(std::string(kGiants) + "oops\n" + Krv(""));
    const std::string before = ReadRegistry();
    EXPECT_FALSE(GetRegistryItems());
    EXPECT_NE(m_messages.Last().text.find(RegistryPath() + " line 5:"), std::string::npos)
        << m_messages.Last().text;
    EXPECT_FALSE(StoreKrvDword("AutoJoin", 1, platform::Owner::ActiveDialog));
    EXPECT_EQ(m_messages.Last().text.rfind(
                  "Could not write to KRV registry\nError in CRegKey::Open\n", 0),
              0u);
    EXPECT_NE(m_messages.Last().text.find("line 5"), std::string::npos);
    EXPECT_THROW(CRegKey().Create(HKEY_CURRENT_USER, "Software\\New"), const char*);
    EXPECT_EQ(ReadRegistry(), before);
}

TEST_F(SettingsTest, RegKeyThrowsItsPlainMessages) {
    WriteRegistry(Krv("\"Name\"=\"v\"\n"));
    auto thrown = [](auto&& call) -> std::string {
        try {
            call();
        } catch (const char* text) {
            return text;
        }
        return "<nothing thrown>";
    };
    CRegKey key;
    EXPECT_EQ(
        thrown([&] { key.Open(HKEY_CURRENT_USER, "Software\\Missing", regkey::kQueryValue); }),
        "Error in CRegKey::Open");
    key.Open(HKEY_CURRENT_USER, "software\\krv", regkey::kQueryValue);
    // A failed open keeps the key held before.
    EXPECT_EQ(
        thrown([&] { key.Open(HKEY_CURRENT_USER, "Software\\Missing", regkey::kQueryValue); }),
        "Error in CRegKey::Open");
    uint32_t number = 0;
    EXPECT_EQ(thrown([&] { key.QueryValue(number, "Missing"); }), "Error in CRegKey::QueryValue");
    EXPECT_EQ(thrown([&] { key.SetValue(1u, "AutoJoin"); }), "Error in CRegKey::SetValue");
    char buffer[2];
    uint32_t size = sizeof buffer;
    key.QueryValue(buffer, "NAME", &size);
    EXPECT_EQ(std::string(buffer, size), std::string("v\0", 2));

    key.Create(HKEY_CURRENT_USER, "Software\\KRV\\New");
    key.SetKeyValue("Deeper", "text", "Value");
    CRegKey deeper;
    deeper.Open(HKEY_CURRENT_USER, "Software\\KRV\\New\\Deeper", regkey::kQueryValue);
    size = sizeof buffer;
    EXPECT_EQ(thrown([&] { deeper.QueryValue(buffer, "Value", &size); }),
              "Error in CRegKey::QueryValue");
    EXPECT_EQ(size, 5u) << "the size needed is reported";
    CRegKey closed;
    EXPECT_EQ(thrown([&] { closed.SetKeyValue("x", "y"); }), "Error in CRegKey::SetKeyValue");
}

TEST_F(SettingsTest, TwoProcessesWritingAtOnceLoseNothing) {
    WriteRegistry(Krv(""));
    constexpr int kEach = 60;
    auto writeMany = [](const char* prefix) {
        CRegKey key;
        key.Open(HKEY_CURRENT_USER, "Software\\KRV", regkey::kWrite);
        for (int i = 0; i < kEach; ++i)
            key.SetValue(static_cast<uint32_t>(i), (prefix + std::to_string(i)).c_str());
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            writeMany("child");
        } catch (const char*) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    writeMany("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const platform::RegistryLoad load = platform::RegistryStore(RegistryPath()).Load();
    ASSERT_TRUE(load.data) << load.error;
    EXPECT_EQ(load.data->FindKey("HKEY_CURRENT_USER\\Software\\KRV")->values.size(),
              1u + 2 * kEach);
}

TEST_F(SettingsTest, NumbersIgnoreTheUsersLocale) {
    // Korvane's window adopts the user's locale for the C library; a German one writes 0,5 for
    // one half. The store's numbers must read and write the same under it.
    std::optional<testing_support::ScopedLocale> german(testing_support::kGermanLocale);

    WriteRegistry(std::string(kGiants) +
                  Krv("\"SecondsToJoin\"=dword:0000002a\n\"AutoJoin\"=dword:ffffffff\n"));
    const bool loaded = GetRegistryItems();
    const uint32_t seconds = g_nSecondsToJoin;
    const uint32_t autoJoin = g_bAutoJoin;
    const bool stored = WriteKrvSettings(
        {KrvSetting::Dword("SecondsToJoin", 1234567), KrvSetting::Text("CMDLine", "1,5")},
        platform::Owner::None);
    // The tool inherits the locale. The C library keeps the list it makes of LOCPATH for good,
    // which the leak checker reports.
    const ChildResult tool = Run("/usr/bin/env", {"ASAN_OPTIONS=detect_leaks=0", KORVANE_REG_EXE,
                                                  "add", "HKCU\\Software\\KRV", "/v", "Big", "/t",
                                                  "REG_DWORD", "/d", "4294967295", "/f"});
    const ChildResult query = Run("/usr/bin/env", {"ASAN_OPTIONS=detect_leaks=0", KORVANE_REG_EXE,
                                                   "query", "HKCU\\Software\\KRV"});
    german.reset();

    EXPECT_TRUE(loaded);
    EXPECT_EQ(seconds, 42u);
    EXPECT_EQ(autoJoin, 0xffffffffu);
    EXPECT_TRUE(stored);
    EXPECT_EQ(tool.status, 0) << tool.err;
    for (const char* line : {"\"SecondsToJoin\"=dword:0012d687\n", "\"CMDLine\"=\"1,5\"\n",
                             "\"Big\"=dword:ffffffff\n"})
        EXPECT_NE(ReadRegistry().find(line), std::string::npos) << ReadRegistry();
    EXPECT_NE(query.out.find("    SecondsToJoin    REG_DWORD    0x12d687\n"), std::string::npos)
        << query.out;
}

TEST_F(SettingsTest, ScopesReadOnceAndWriteOnce) {
    WriteRegistry(Krv("\"AutoJoin\"=dword:00000001\n"));
    uint32_t number = 0;
    {
        const RegistryReading reading;
        ASSERT_EQ(reading.Error(), "");
        CRegKey key;
        key.Open(HKEY_CURRENT_USER, "Software\\KRV", regkey::kQueryValue | regkey::kSetValue);
        WriteRegistry(Krv("\"AutoJoin\"=dword:00000002\n")); // another program, meanwhile
        key.QueryValue(number, "AutoJoin");
        EXPECT_EQ(number, 1u) << "the scope answers from its one read";
        key.SetValue(7u, "SecondsToJoin");
        key.QueryValue(number, "SecondsToJoin");
        EXPECT_EQ(number, 7u) << "a change in a reading scope is seen by it";
        EXPECT_NE(ReadRegistry().find("\"AutoJoin\"=dword:00000002\n"), std::string::npos)
            << "and goes to the file at once, keeping the other program's value";
    }

    const std::string before = ReadRegistry();
    {
        RegistryWriting writing;
        CRegKey key;
        key.Open(HKEY_CURRENT_USER, "Software\\KRV", regkey::kWrite | regkey::kQueryValue);
        key.SetValue(9u, "AutoJoin");
        key.QueryValue(number, "AutoJoin");
        EXPECT_EQ(number, 9u);
        EXPECT_EQ(ReadRegistry(), before) << "nothing is written before Commit";
    }
    EXPECT_EQ(ReadRegistry(), before) << "nor without it";
    {
        RegistryWriting writing;
        CRegKey key;
        key.Open(HKEY_CURRENT_USER, "Software\\KRV", regkey::kWrite);
        key.SetValue(9u, "AutoJoin");
        key.SetValue("-window", "CMDLine");
        writing.Commit();
    }
    EXPECT_NE(ReadRegistry().find("\"AutoJoin\"=dword:00000009\n\"SecondsToJoin\"=dword:00000007\n"
                                  "\"CMDLine\"=\"-window\"\n"),
              std::string::npos)
        << ReadRegistry();
}
