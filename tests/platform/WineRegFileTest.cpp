// Wine's registry text format as Wine writes it: escapes, non-ASCII units, value kinds, and the
// lines a reader must pass over.
#include <gtest/gtest.h>

#include "platform/WineRegFile.h"

namespace {

// A user.reg as Wine 8 writes it, with keys the reader must skip around the wanted ones.
const char* const kUserReg = R"(WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

#arch=win32

[Control Panel\\Desktop] 1700000000
#time=1d9f0e4c2b5a6e0
"DestDir"="C:\\wrong"
"UserPreferencesMask"=hex:9e,1e,07,80,12,00,00,00

[Software\\PlanetMoon\\Giants] 1700000001
#time=1d9f0e4c2b5a6e1
@="default"
"DestDir"="C:\\Program Files\\Giants Caf\x00e9 \x4e2d\xd83d\xde00"
"Quoted"="say \"hi\"\tnow\0"
"Expand"=str(2):"%ProgramFiles%\\Giants"
"Count"=dword:0000000a
"Blob"=hex(7):41,00,00,00,\
  00,00

[Software\\KRV] 1700000002
"DestDir"="c:\\Korvane\\"
"SecondsToJoin"=dword:0000003c
)";

} // namespace

TEST(WineRegFile, ReadsWantedKeysWithWinesEscapes) {
    // Key names match whatever their letter case; keys not asked for are not returned.
    const auto keys = platform::ReadWineRegistry(
        kUserReg, {"SOFTWARE\\planetmoon\\GIANTS", "Software\\KRV", "Software\\Missing"});
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(platform::WineString(keys, "Software\\PlanetMoon\\Giants", "DestDir"),
              "C:\\Program Files\\Giants Caf\xC3\xA9 \xE4\xB8\xAD\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::WineString(keys, "software\\planetmoon\\giants", "QUOTED"),
              std::string("say \"hi\"\tnow\0", 13));
    EXPECT_EQ(platform::WineString(keys, "Software\\PlanetMoon\\Giants", "Expand"),
              "%ProgramFiles%\\Giants");
    EXPECT_EQ(platform::WineString(keys, "Software\\PlanetMoon\\Giants", ""), "default");
    EXPECT_EQ(platform::WineDword(keys, "Software\\PlanetMoon\\Giants", "Count"), 10u);
    // Values of another kind are there but are neither text nor number.
    EXPECT_FALSE(platform::WineString(keys, "Software\\PlanetMoon\\Giants", "Count"));
    EXPECT_FALSE(platform::WineString(keys, "Software\\PlanetMoon\\Giants", "Blob"));
    EXPECT_EQ(platform::WineString(keys, "Software\\KRV", "DestDir"), "c:\\Korvane\\");
    EXPECT_EQ(platform::WineDword(keys, "Software\\KRV", "SecondsToJoin"), 60u);
}

TEST(WineRegFile, DecodesEveryEscapeForm) {
    const std::pair<const char*, std::string> cases[] = {
        {R"(a\\b)", "a\\b"},
        {R"(\xe9t\xe9)", "\xC3\xA9t\xC3\xA9"}, // short form: no hex digit follows
        {R"(\x00e9a)", "\xC3\xA9"
                       "a"}, // four digits when a hex digit follows
        {R"(\x20ac)", "\xE2\x82\xAC"},
        {R"(\xd83d)", "\xEF\xBF\xBD"}, // a lone surrogate is no character
        {R"(\n\r\t\a\b\e\f\v)", "\n\r\t\a\b\x1B\f\v"},
        {R"(\1\0337)", "\x01\x1B"
                       "7"}, // octal, at most three digits
        {R"(\x)", "x"},
        {"trailing\\", "trailing\\"},
        {"Caf\xC3\xA9", "Caf\xC3\xA9"}, // raw UTF-8 from a hand edit stays
        {"Caf\xE9", "Caf\xC3\xA9"},     // raw Windows-1252 becomes UTF-8
    };
    for (const auto& [escaped, text] : cases)
        EXPECT_EQ(platform::DecodeWineString(escaped), text) << escaped;
}

TEST(WineRegFile, SkipsBrokenLinesAndKeepsReading) {
    const char* const file = "[Software\\\\KRV] 1\n"
                             "\"Open=\"never closed\n"
                             "\"DestDir\"=dword:zz\n"
                             "\"DestDir\"=\"/good\"\r\n"
                             "[Software\\\\KRV\n"
                             "\"After\"=\"belongs to no key\"\n";
    const auto keys = platform::ReadWineRegistry(file, {"Software\\KRV"});
    EXPECT_EQ(platform::WineString(keys, "Software\\KRV", "DestDir"), "/good");
    EXPECT_FALSE(platform::WineString(keys, "Software\\KRV", "After"));
}
