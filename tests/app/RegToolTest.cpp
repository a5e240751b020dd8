// korvane-reg through the real executable, as an installation script would run it.
#include "RegistryFixture.h"

namespace {

class RegToolTest : public RegistryTest {
  protected:
    ChildResult Reg(const std::vector<std::string>& args) { return Run(KORVANE_REG_EXE, args); }
};

constexpr const char* kOk = "The operation completed successfully.\n";

} // namespace

TEST_F(RegToolTest, AddQueryAndDeleteLikeReg) {
    auto ok = [&](const std::vector<std::string>& args) {
        const ChildResult result = Reg(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, kOk);
    };
    ok({"add", "HKCU\\Software\\KRV", "/v", "DestDir", "/t", "REG_SZ", "/d", "/home/me/korvane",
        "/f"});
    ok({"ADD", "HKEY_CURRENT_USER\\software\\krv", "/V", "SecondsToJoin", "/T", "reg_dword", "/D",
        "0x1f"});
    ok({"add", "HKCU\\Software\\KRV\\Empty"});

    ChildResult result = Reg({"query", "hkcu\\SOFTWARE\\KRV"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "\nHKEY_CURRENT_USER\\Software\\KRV\n"
                          "    DestDir    REG_SZ    /home/me/korvane\n"
                          "    SecondsToJoin    REG_DWORD    0x1f\n"
                          "\nHKEY_CURRENT_USER\\Software\\KRV\\Empty\n\n");
    result = Reg({"query", "HKCU\\Software\\KRV", "/v", "secondstojoin"});
    EXPECT_EQ(result.out,
              "\nHKEY_CURRENT_USER\\Software\\KRV\n    SecondsToJoin    REG_DWORD    0x1f\n\n");

    // Replacing or removing without /f would need an answer that no terminal can give.
    result = Reg({"add", "HKCU\\Software\\KRV", "/v", "DestDir", "/d", "/elsewhere"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("/f"), std::string::npos);
    EXPECT_EQ(Reg({"delete", "HKCU\\Software\\KRV", "/v", "DestDir"}).status, 1);

    ok({"delete", "HKCU\\Software\\KRV", "/v", "DestDir", "/f"});
    result = Reg({"query", "HKCU\\Software\\KRV", "/v", "DestDir"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "ERROR: The system was unable to find the specified registry key or value.\n");
    ok({"delete", "HKCU\\Software\\KRV", "/f"});
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\KRV\\Empty"}).status, 1);
    EXPECT_EQ(ReadRegistry(), "REGEDIT4\n\n");
}

TEST_F(RegToolTest, RejectsBadInputWithClearErrors) {
    // What cannot be read, or holds nothing, is an import error, never a quiet success; so is a
    // file that would wipe a root key (the message is RegFileTest's).
    m_dir.WriteFile("empty.reg", "\r\n");
    m_dir.WriteFile("wipe.reg", "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software]\r\n\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"a\"=\"b\"\r\n");
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"add", "HKXX\\Software\\KRV", "/v", "a", "/d", "b", "/f"},
        {"add", "HKCU\\Software\\KRV", "/v", "a", "/t", "REG_DWORD", "/d", "4294967296", "/f"},
        {"add", "HKCU\\Software\\KRV", "/v", "a", "/t", "REG_DWORD", "/d", "12abc", "/f"},
        {"add", "HKCU\\Software\\KRV", "/v", "a", "/t", "REG_TEXT", "/d", "x", "/f"},
        {"add", "HKCU\\Software\\KRV", "/v"},
        {"delete", "HKCU", "/f"},
        {"import", m_dir / "missing.reg"},
        {"import", m_dir.Path()},
        {"import", m_dir / "empty.reg"},
        {"import", m_dir / "wipe.reg"},
    };
    for (const auto& args : bad) {
        const ChildResult result = Reg(args);
        EXPECT_EQ(result.status, 1) << testing::PrintToString(args);
        EXPECT_EQ(result.err.rfind("ERROR: ", 0), 0u) << result.err;
    }
    EXPECT_EQ(ReadRegistry(), "<missing>");
}

TEST_F(RegToolTest, ImportMergesAndRefusesBrokenFiles) {
    WriteRegistry(
        "[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"/old\"\n\"CMDLine\"=\"-window\"\n");
    m_dir.WriteFile("giants.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants]\r\n"
                                  "\"DestDir\"=\"/games/giants\"\r\n\r\n"
                                  "[HKEY_CURRENT_USER\\Software\\KRV]\r\n\"DestDir\"=\"/new\"\r\n");
    ChildResult result = Reg({"import", m_dir / "giants.reg"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kOk);
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\PlanetMoon\\Giants", "/v", "DestDir"}).out,
              "\nHKEY_CURRENT_USER\\Software\\PlanetMoon\\Giants\n    DestDir    REG_SZ    "
              "/games/giants\n\n");
    EXPECT_NE(Reg({"query", "HKCU\\Software\\KRV"})
                  .out.find("    DestDir    REG_SZ    /new\n"
                            "    CMDLine    REG_SZ    -window\n"),
              std::string::npos);

    const std::string before = ReadRegistry();
    m_dir.WriteFile(
        "broken.reg",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KRV]\n\"AutoJoin\"=dword:1\n\"x\"=zz\n");
    result = Reg({"import", m_dir / "broken.reg"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("broken.reg line 4: "), std::string::npos) << result.err;
    EXPECT_EQ(ReadRegistry(), before) << "nothing of a broken file is merged";
}

TEST_F(RegToolTest, VersionAndHelpAnswerOnlyWhereASwitchMayStand) {
    EXPECT_EQ(Reg({"--version"}).out, "korvane-reg " KORVANE_VERSION "\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/?"},
          {"add", "HKCU\\Software\\KRV", "/v", "x", "/d", "y", "-h"},
          {"query", "--help", "HKCU\\Software\\KRV"}}) {
        const ChildResult result = Reg(args);
        EXPECT_EQ(result.status, 0) << testing::PrintToString(args);
        EXPECT_EQ(result.out.rfind("korvane-reg: ", 0), 0u) << result.out;
    }
    EXPECT_EQ(ReadRegistry(), "<missing>") << "asking for help stores nothing";

    // As data, the switches are text like any other.
    for (const char* data : {"--version", "-h", "--help", "-?", "/?"}) {
        const ChildResult result =
            Reg({"add", "HKCU\\Software\\KRV", "/v", "CMDLine", "/d", data, "/f"});
        EXPECT_EQ(result.out, kOk) << data << result.err;
        EXPECT_EQ(Reg({"query", "HKCU\\Software\\KRV", "/v", "CMDLine"}).out,
                  std::string("\nHKEY_CURRENT_USER\\Software\\KRV\n    CMDLine    REG_SZ    ") +
                      data + "\n\n");
    }
    const ChildResult named = Reg({"add", "HKCU\\Software\\KRV", "/v", "-h", "/d", "x", "/f"});
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\KRV", "/v", "-h"}).status, 0);
}

TEST_F(RegToolTest, ExportIsForWindowsTheStoreStaysReadable) {
    const std::string grosse = "C:\\Spiele\\Gr\xc3\xb6\xc3\x9f"
                               "e";
    ASSERT_EQ(Reg({"add", "HKCU\\Software\\KRV", "/v", "DestDir", "/d", grosse, "/f"}).status, 0);
    ASSERT_EQ(
        Reg({"add", "HKCU\\Software\\KRV", "/v", "AutoJoin", "/t", "REG_DWORD", "/d", "1", "/f"})
            .status,
        0);
    // The store is the file players read and edit: UTF-8 with LF line ends.
    EXPECT_EQ(ReadRegistry(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\KRV]\n\"DestDir\"=\"C:"
                              "\\\\Spiele\\\\Gr\xc3\xb6\xc3\x9f"
                              "e\"\n\"AutoJoin\"=dword:00000001\n\n");

    const ChildResult result = Reg({"export", "HKCU\\Software\\KRV", m_dir / "krv.reg"});
    EXPECT_EQ(result.status, 0) << result.err;
    const std::string file = m_dir.ReadFile("krv.reg").value_or("");
    std::string expected = "\xFF\xFE";
    for (const unsigned char c : std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Software\\KRV]\r\n"
                                             "\"DestDir\"=\"C:\\\\Spiele\\\\Gr\xf6\xdf"
                                             "e\"\r\n\"AutoJoin\"=dword:00000001\r\n\r\n"))
        expected += {static_cast<char>(c), '\0'};
    EXPECT_EQ(file, expected);

    // And back, as a Windows export comes in.
    ASSERT_EQ(Reg({"delete", "HKCU\\Software\\KRV", "/f"}).status, 0);
    EXPECT_EQ(Reg({"import", m_dir / "krv.reg"}).status, 0);
    EXPECT_EQ(Reg({"query", "HKCU\\Software\\KRV", "/v", "DestDir"}).out,
              "\nHKEY_CURRENT_USER\\Software\\KRV\n    DestDir    REG_SZ    " + grosse + "\n\n");
}
