// Numbers and letter case as players' machines have them: the front end runs in the user's locale.
#include "platform/Numbers.h"
#include "platform/GamePath.h"
#include "platform/WindowsText.h"

#include "ScopedLocale.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace platform;
using testing_support::ScopedLocale;

TEST(Numbers, ReadAndWrittenAsScanfAndPrintfDoInTheCLocaleWhateverTheUsersLocale) {
    ScopedLocale german(testing_support::kGermanLocale);
    char c[16];
    std::snprintf(c, sizeof c, "%0.1f", 0.4);
    ASSERT_STREQ(c, "0,4") << "the locale is not in force, so this test would prove nothing";

    EXPECT_EQ(FormatFixed(0.4f, 1), "0.4");
    EXPECT_EQ(ScanFloat(" \t+0.4 beta"), 0.4f);
    EXPECT_EQ(ScanFloat("0,4"), 0.0f); // a comma ends the number, as in Windows' C library
    EXPECT_EQ(ScanFloat("1e39"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ScanFloat("+-1"), std::nullopt);
    const std::pair<const char*, std::optional<int32_t>> signedCases[] = {
        {"12ab", 12},
        {"  -7", -7},
        {"-", std::nullopt},
        {"1.234", 1},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
        {"\xC2\xA0"
         "5",
         std::nullopt}, // a no-break space is no white space to scanf in C
    };
    for (const auto& [text, value] : signedCases)
        EXPECT_EQ(ScanInt32(text), value) << text;
    EXPECT_EQ(ScanUInt32("-1"), 4294967295u);
    EXPECT_EQ(ScanUInt32("99999999999999999999999"), 4294967295u);
}

// In Turkish locales the C library's capital of "i" is "İ": strcasecmp("GIANTS.EXE", "giants.exe")
// is not 0 there. Windows and Wine match ASCII and the other Windows-1252 letters the same in
// every language.
TEST(Numbers, NamesMatchWithoutCaseAsOnWindowsInATurkishLocale) {
    ScopedLocale turkish(testing_support::kTurkishLocale);
    testing_support::TempDir game;
    game.WriteFile("giants.exe", "game");
    game.WriteFile("bin/Override/Sky.tga", "sky");
    game.WriteFile("Modpacks/\xC3\x9C"
                   "berfall.gck",
                   "pack");
    EXPECT_EQ(ResolvePath(game.Path() + "\\GIANTS.EXE"), game.Path() + "/giants.exe");
    EXPECT_EQ(ResolvePath(game.Path() + "\\BIN\\OVERRIDE\\SKY.TGA"),
              game.Path() + "/bin/Override/Sky.tga");
    EXPECT_EQ(ResolvePath(game.Path() + "\\MODPACKS\\\xC3\xBC"
                                        "BERFALL.GCK"),
              game.Path() + "/Modpacks/\xC3\x9C"
                            "berfall.gck");

    // À-Þ (ß and × stay), Š Œ Ž Ÿ: each to its small letter, byte length unchanged.
    EXPECT_EQ(FoldCase("\xC3\x80\xC3\x9E\xC3\x9F\xC3\x97\xC5\xA0\xC5\x92\xC5\xBD\xC5\xB8 ABC"),
              "\xC3\xA0\xC3\xBE\xC3\x9F\xC3\x97\xC5\xA1\xC5\x93\xC5\xBE\xC3\xBF abc");
    EXPECT_EQ(FoldCase("\xC4\xB0I\xD0\x9C"), "\xC4\xB0i\xD0\x9C"); // no İ, no Cyrillic
    EXPECT_EQ(FoldCase("\xDC\xC3\x80"), "\xDC\xC3\x80");           // not UTF-8: left alone
    EXPECT_FALSE(EqualsIgnoringCase("\xC3\x97", "\xC3\xB7"));      // × and ÷ are no pair
}
