// The .reg reader and writer: files as Windows and Wine regedit write them, and round trips.
#include <gtest/gtest.h>

#include "platform/RegFile.h"

using platform::ApplyRegFile;
using platform::FormatRegFile;
using platform::RegistryData;
using namespace std::string_literals;

namespace {

constexpr const char* kKrv = "HKEY_CURRENT_USER\\Software\\KRV";

RegistryData Parse(std::string_view text) {
    RegistryData data;
    const auto error = ApplyRegFile(text, data);
    EXPECT_FALSE(error) << error->line << ": " << error->message;
    return data;
}

// The values of the KRV key in `back` are those of `data`, with their types and bytes.
void ExpectSameValues(const RegistryData& back, const RegistryData& data) {
    const auto* key = back.FindKey(kKrv);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->values.size(), data.FindKey(kKrv)->values.size());
    for (const platform::RegistryValue& value : data.FindKey(kKrv)->values) {
        const auto* read = back.FindValue(kKrv, value.name);
        ASSERT_TRUE(read) << value.name;
        EXPECT_EQ(read->type, value.type) << value.name;
        EXPECT_EQ(read->bytes, value.bytes) << value.name;
    }
}

} // namespace

TEST(RegFile, ReadsWhatRegeditWrites) {
    const RegistryData data = Parse("REGEDIT4\r\n\r\n"
                                    "; exported by hand\r\n"
                                    "[HKEY_CURRENT_USER\\Software\\KRV]\r\n"
                                    "\"DestDir\"=\"C:\\\\Games\\\\Korvane\\\\\"\r\n"
                                    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
                                    "\"SecondsToJoin\"=dword:0000000f\r\n"
                                    "@=\"default\"\r\n"
                                    "\"Bin\"=hex:01,02,\\\r\n"
                                    "  ff,\\\r\n"
                                    "  80\r\n"
                                    "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                                    "\"Empty\"=hex:\r\n");
    auto bytes = [&](const char* name) { return data.FindValue(kKrv, name)->bytes; };
    EXPECT_EQ(bytes("DestDir"), std::string("C:\\Games\\Korvane\\\0", 18));
    EXPECT_EQ(bytes("Quote"), std::string("say \"hi\"\0", 9));
    EXPECT_EQ(bytes("SecondsToJoin"), "\x0f\0\0\0"s);
    EXPECT_EQ(data.FindValue(kKrv, "SecondsToJoin")->type, platform::kRegDword);
    EXPECT_EQ(bytes(""), std::string("default\0", 8));
    EXPECT_EQ(bytes("Bin"), "\x01\x02\xff\x80"s);
    EXPECT_EQ(data.FindValue(kKrv, "Multi")->type, platform::kRegMultiSz);
    EXPECT_EQ(bytes("Multi"), "a\0b\0\0"s);
    EXPECT_EQ(bytes("Empty"), "");
}

TEST(RegFile, KeysAndNamesIgnoreLetterCase) {
    const RegistryData data =
        Parse("REGEDIT4\n[hkey_current_user\\SOFTWARE\\krv]\n\"destdir\"=\"a\"\n"
              "[HKEY_CURRENT_USER\\Software\\KRV]\n\"DESTDIR\"=\"b\"\n");
    ASSERT_EQ(data.Keys().size(), 1u);
    EXPECT_EQ(data.Keys()[0]->path, "HKEY_CURRENT_USER\\SOFTWARE\\krv"); // first spelling kept
    EXPECT_EQ(data.FindValue("HKEY_CURRENT_USER\\software\\Krv", "DestDir")->bytes,
              std::string("b\0", 2));
    EXPECT_TRUE(data.KeyExists("HKEY_CURRENT_USER\\software"));
}

TEST(RegFile, ImportDeletesKeysAndValues) {
    RegistryData data = Parse("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KRV\\Sub]\n\"a\"=\"1\"\n"
                              "[HKEY_CURRENT_USER\\Software\\KRV]\n\"x\"=\"1\"\n\"y\"=\"2\"\n");
    EXPECT_FALSE(
        ApplyRegFile("REGEDIT4\n[-HKEY_CURRENT_USER\\Software\\KRV\\SUB]\n\"ignored\"=\"1\"\n"
                     "[HKEY_CURRENT_USER\\Software\\KRV]\n\"x\"=-\n\"z\"=dword:1\n",
                     data));
    EXPECT_FALSE(data.KeyExists("HKEY_CURRENT_USER\\Software\\KRV\\Sub"));
    EXPECT_EQ(data.FindValue(kKrv, "x"), nullptr);
    EXPECT_NE(data.FindValue(kKrv, "y"), nullptr);
    EXPECT_EQ(data.FindValue(kKrv, "z")->bytes, "\x01\0\0\0"s);
}

TEST(RegFile, ReportsTheLineThatDoesNotParse) {
    const std::pair<const char*, int> cases[] = {
        {"\n\nREGEDIT5\n", 3},
        {"REGEDIT4\n\"a\"=\"b\"\n", 2},                                   // value before a key
        {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=\"b\n", 3},             // open quote
        {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=dword:123456789\n", 3}, // nine digits
        {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=hex:01,\\\n  zz\n", 4}, // bad continued byte
        {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\n\"a\"=hex:01,\\\n", 3},       // continues past the end
        {"REGEDIT4\n[HKEY_NOWHERE\\x]\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\x\n", 2},
        {"REGEDIT4\n[HKEY_CURRENT_USER\\x]\nDestDir=1\n", 3},
    };
    for (const auto& [text, line] : cases) {
        RegistryData data;
        const auto error = ApplyRegFile(text, data);
        ASSERT_TRUE(error) << text;
        EXPECT_EQ(error->line, line) << text;
        EXPECT_FALSE(error->message.empty());
    }
    RegistryData data;
    EXPECT_FALSE(ApplyRegFile(" \n\n", data)) << "a blank file is an empty registry";
}

TEST(RegFile, RoundTripKeepsTypesAndBytes) {
    RegistryData data;
    const std::string longBinary(300, '\xab');
    data.SetValue(kKrv, {"Plain", platform::kRegSz, std::string("C:\\dir \"q\" \xc3\xa9\0", 14)});
    data.SetValue(kKrv, {"NoZero", platform::kRegSz, "ab"});
    data.SetValue(kKrv, {"Lines", platform::kRegSz, std::string("a\r\nb\0", 5)});
    data.SetValue(kKrv, {"", platform::kRegDword, "\xff\xff\xff\xff"s});
    data.SetValue(kKrv, {"Short", platform::kRegDword, "\x05\0"s});
    data.SetValue(kKrv, {"Q", platform::kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s});
    data.SetValue(kKrv, {"Big", platform::kRegBinary, longBinary});
    data.SetValue(kKrv, {"Name \"with\" \\", 0x1234, "x"});
    data.CreateKey("HKEY_CURRENT_USER\\Software\\Empty");

    const std::string text = FormatRegFile(data);
    EXPECT_EQ(text.rfind("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Empty]\n", 0), 0u) << text;
    EXPECT_NE(text.find("\"Plain\"=\"C:\\\\dir \\\"q\\\" \xc3\xa9\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("@=dword:ffffffff\n"), std::string::npos) << text;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        EXPECT_LE(end - start, 80u) << "hex data is wrapped as regedit wraps it";

    const RegistryData back = Parse(text);
    ASSERT_TRUE(back.FindKey("HKEY_CURRENT_USER\\Software\\Empty"));
    ExpectSameValues(back, data);
}

TEST(RegFile, TextIsUtf8WhenValidElseWindows1252) {
    const std::string utf8Path("C:\\Spiele\\Gr\xc3\xb6\xc3\x9f"
                               "e\0",
                               18);
    // A REGEDIT4 file from a Western Windows: ANSI bytes in names, keys, strings and in the
    // string-typed hex data that regedit writes for REG_EXPAND_SZ.
    const RegistryData ansi = Parse("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Gr\xf6\xdf"
                                    "e]\r\n"
                                    "\"DestDir\"=\"C:\\\\Spiele\\\\Gr\xf6\xdf"
                                    "e\"\r\n"
                                    "\"Expand\"=hex(2):47,72,f6,df,65,00\r\n\"Bin\"=hex:f6,df\r\n");
    const std::string ansiKey = "HKEY_CURRENT_USER\\Software\\Gr\xc3\xb6\xc3\x9f"
                                "e";
    ASSERT_TRUE(ansi.FindKey(ansiKey));
    EXPECT_EQ(ansi.FindValue(ansiKey, "DestDir")->bytes, utf8Path);
    EXPECT_EQ(ansi.FindValue(ansiKey, "Expand")->bytes, std::string("Gr\xc3\xb6\xc3\x9f"
                                                                    "e\0",
                                                                    8));
    EXPECT_EQ(ansi.FindValue(ansiKey, "Bin")->bytes, "\xf6\xdf") << "binary data is never text";

    // UTF-8 is taken as it is, also in an otherwise ASCII file whose hex data is ANSI.
    const RegistryData utf8 = Parse("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KRV]\n"
                                    "\"DestDir\"=\"C:\\\\Spiele\\\\Gr\xc3\xb6\xc3\x9f"
                                    "e\"\n"
                                    "\"Expand\"=hex(2):47,72,f6,df,65,00\n");
    EXPECT_EQ(utf8.FindValue(kKrv, "DestDir")->bytes, utf8Path);
    EXPECT_EQ(utf8.FindValue(kKrv, "Expand")->bytes, std::string("Gr\xc3\xb6\xc3\x9f"
                                                                 "e\0",
                                                                 8));

    // What the store writes reads back exactly, and is UTF-8 even for bytes that came in raw.
    RegistryData raw;
    raw.SetValue(kKrv, {"Raw", platform::kRegSz,
                        std::string("Gr\xf6\xdf"
                                    "e\0",
                                    6)});
    raw.SetValue(kKrv, {"Path", platform::kRegSz, utf8Path});
    const RegistryData back = Parse(FormatRegFile(raw));
    EXPECT_EQ(back.FindValue(kKrv, "Raw")->bytes, std::string("Gr\xc3\xb6\xc3\x9f"
                                                              "e\0",
                                                              8));
    EXPECT_EQ(back.FindValue(kKrv, "Path")->bytes, utf8Path);
}

TEST(RegFile, WindowsFormIsUtf16WithCrLfAndReadsBack) {
    RegistryData data;
    data.SetValue(kKrv, {"DestDir", platform::kRegSz,
                         std::string("C:\\Spiele\\Gr\xc3\xb6\xc3\x9f"
                                     "e\0",
                                     18)});
    data.SetValue(kKrv,
                  {"Expand", platform::kRegExpandSz, std::string("%TEMP%\\\xe2\x82\xac\0", 11)});
    data.SetValue(kKrv, {"Multi", platform::kRegMultiSz, "a\0\xc3\xa9\0\0"s});
    data.SetValue(kKrv, {"SecondsToJoin", platform::kRegDword, "\x0a\0\0\0"s});
    data.SetValue(kKrv, {"Bin", platform::kRegBinary, "\x01\xff"s});
    const std::string file = platform::FormatRegFile(data.Keys(), platform::RegFileForm::Windows);

    ASSERT_EQ(file.rfind("\xFF\xFE", 0), 0u);
    std::string narrow; // the UTF-16 units of this text are all below 0x100 but for the euro sign
    for (size_t i = 2; i + 1 < file.size(); i += 2)
        narrow += file[i + 1] == 0 ? file[i] : '?';
    EXPECT_EQ(narrow, "Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\KRV]\r\n"
                      "\"DestDir\"=\"C:\\\\Spiele\\\\Gr\xf6\xdf"
                      "e\"\r\n"
                      "\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,ac,20,00,00\r\n"
                      "\"Multi\"=hex(7):61,00,00,00,e9,00,00,00,00,00\r\n"
                      "\"SecondsToJoin\"=dword:0000000a\r\n"
                      "\"Bin\"=hex:01,ff\r\n\r\n");

    ExpectSameValues(Parse(file), data);
}

TEST(RegFile, ImportNeverDeletesARootOrItsSoftwareKey) {
    const std::pair<const char*, bool> cases[] = {
        {"[-HKEY_CURRENT_USER]", false},
        {"[-HKCU\\]", false},
        {"[-hkey_current_user\\SOFTWARE]", false},
        {"[-HKEY_LOCAL_MACHINE]", false},
        {"[-HKEY_CURRENT_USER\\Software\\KRV]", true},
        {"[-HKEY_CURRENT_USER\\Environment]", true},
    };
    for (const auto& [line, allowed] : cases) {
        RegistryData data = Parse("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\KRV]\n\"a\"=\"1\"\n");
        const auto error =
            ApplyRegFile("REGEDIT4\n\n"s + line + "\n", data, platform::RegFileUse::Import);
        EXPECT_EQ(!error, allowed) << line;
        if (error) {
            EXPECT_EQ(error->line, 3) << line;
            EXPECT_NE(error->message.find("refusing to delete"), std::string::npos)
                << error->message;
        }
        // The store's own file may hold anything regedit writes.
        EXPECT_FALSE(ApplyRegFile("REGEDIT4\n"s + line + "\n", data)) << line;
    }
}

TEST(RegistryData, SortedKeysAndIndexedValuesAnswerAsAListWould) {
    RegistryData data;
    const char* const paths[] = {"HKEY_CURRENT_USER\\A B",        "HKEY_CURRENT_USER\\a\\C",
                                 "HKEY_CURRENT_USER\\A",          "HKEY_CURRENT_USER\\AB",
                                 "HKEY_CURRENT_USER\\A\\b\\deep", "HKEY_CURRENT_USER\\A\\B"};
    for (const char* path : paths)
        data.CreateKey(path);
    std::vector<std::string> order;
    for (const platform::RegistryKey* key : data.Keys())
        order.push_back(key->path);
    EXPECT_EQ(order,
              (std::vector<std::string>{"HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\A\\B",
                                        "HKEY_CURRENT_USER\\A\\b\\deep", "HKEY_CURRENT_USER\\a\\C",
                                        "HKEY_CURRENT_USER\\A B", "HKEY_CURRENT_USER\\AB"}));
    EXPECT_EQ(data.SubKeyNames("HKEY_CURRENT_USER\\a"), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(data.SubKeyNames("HKEY_CURRENT_USER").size(), 3u);
    EXPECT_TRUE(data.KeyExists("hkey_current_user\\a\\B"));
    EXPECT_FALSE(data.KeyExists("HKEY_CURRENT_USER\\A\\b\\dee"));
    EXPECT_EQ(data.KeysAtOrBelow("HKEY_CURRENT_USER\\A\\B").size(), 2u);
    EXPECT_TRUE(data.DeleteKey("HKEY_CURRENT_USER\\a"));
    EXPECT_EQ(data.KeyCount(), 2u) << "\"A B\" and \"AB\" are not below \"A\"";
    EXPECT_FALSE(data.DeleteKey("HKEY_CURRENT_USER\\A"));

    // Enough values for the name index; names keep their first spelling, any case finds them.
    constexpr int kValues = 40;
    for (int i = 0; i < kValues; ++i)
        data.SetValue(kKrv, {"Name" + std::to_string(i), platform::kRegDword, std::to_string(i)});
    data.SetValue(kKrv, {"NAME7", platform::kRegSz, "seven"});
    EXPECT_TRUE(data.DeleteValue(kKrv, "name3"));
    EXPECT_FALSE(data.DeleteValue(kKrv, "Name3"));
    ASSERT_EQ(data.FindKey(kKrv)->values.size(), kValues - 1u);
    EXPECT_EQ(data.FindValue(kKrv, "name7")->name, "Name7");
    EXPECT_EQ(data.FindValue(kKrv, "name7")->bytes, "seven");
    EXPECT_EQ(data.FindValue(kKrv, "NAME39")->bytes, "39");
    EXPECT_EQ(data.FindValue(kKrv, "Name3"), nullptr);
    const RegistryData copy = data;
    EXPECT_EQ(copy.FindValue(kKrv, "name4")->bytes, "4");
    EXPECT_TRUE(data.ClearValues(kKrv));
    EXPECT_EQ(data.FindValue(kKrv, "name4"), nullptr);
}
