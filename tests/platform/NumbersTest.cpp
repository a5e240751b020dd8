// Numbers and letter case as players' machines have them: the front end runs in the user's locale.
#include "platform/Numbers.h"
#include "platform/GamePath.h"
#include "platform/WindowsText.h"

#include "ScopedLocale.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace platform;
using testing_support::kGermanLocale;
using testing_support::kTurkishLocale;
using testing_support::ScopedLocale;

TEST(Numbers, ReadAndWriteWithADecimalPointInACommaLocale) {
    ScopedLocale german(kGermanLocale);
    char c[16];
    std::snprintf(c, sizeof c, "%0.1f", 0.4);
    ASSERT_STREQ(c, "0,4") << "the locale is not in force, so this test would prove nothing";

    EXPECT_EQ(FormatFixed(0.4f, 1), "0.4");
    EXPECT_EQ(FormatFixed(-12.25, 1), "-12.2");
    EXPECT_EQ(FormatInteger(-2147483648LL), "-2147483648");
    EXPECT_EQ(FormatInteger(4000000000LL), "4000000000");
    EXPECT_EQ(ScanFloat("0.4"), 0.4f);
    EXPECT_EQ(ScanFloat(" \t+0.4 beta"), 0.4f);
    EXPECT_EQ(ScanFloat("-1.5e1x"), -15.0f);
    EXPECT_EQ(ScanFloat("0,4"), 0.0f); // a comma ends the number, as in Windows' C library
    EXPECT_EQ(ScanFloat(".5"), 0.5f);
    EXPECT_EQ(ScanFloat("1e39"), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ScanFloat("abc"), std::nullopt);
    EXPECT_EQ(ScanFloat("+-1"), std::nullopt);
    EXPECT_EQ(ScanFloat(""), std::nullopt);
}

TEST(Numbers, ScanIntegersAsScanfDoes) {
    ScopedLocale german(kGermanLocale);
    const std::pair<const char*, std::optional<int32_t>> signedCases[] = {
        {"12ab", 12},
        {"  -7", -7},
        {"+5", 5},
        {"abc", std::nullopt},
        {"-", std::nullopt},
        {"99999999999", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-99999999999", INT32_MIN},
        {"1.234", 1},
        {"\xC2\xA0"
         "5",
         std::nullopt}, // a no-break space is no white space to scanf in C
    };
    for (const auto& [text, value] : signedCases)
        EXPECT_EQ(ScanInt32(text), value) << text;
    const std::pair<const char*, std::optional<uint32_t>> unsignedCases[] = {
        {"4000000000", 4000000000u}, {"-1", 4294967295u},
        {"x", std::nullopt},         {"99999999999999999999999", 4294967295u},
        {"4294967296", 0u},
    };
    for (const auto& [text, value] : unsignedCases)
        EXPECT_EQ(ScanUInt32(text), value) << text;
}

TEST(Numbers, NamesMatchWithoutCaseAsOnWindowsInATurkishLocale) {
    ScopedLocale turkish(kTurkishLocale);
    testing_support::TempDir game;
    game.WriteFile("giants.exe", "game");
    game.WriteFile("bin/Override/Sky.tga", "sky");
    game.WriteFile("Modpacks/\xC3\x9C"
                   "berfall.gck",
                   "pack"); // Überfall.gck
    EXPECT_EQ(ResolvePath(game.Path() + "\\GIANTS.EXE"), game.Path() + "/giants.exe");
    EXPECT_EQ(ResolvePath(game.Path() + "\\BIN\\OVERRIDE\\SKY.TGA"),
              game.Path() + "/bin/Override/Sky.tga");
    EXPECT_EQ(ResolvePath(game.Path() + "\\MODPACKS\\\xC3\xBC"
                                        "BERFALL.GCK"),
              game.Path() + "/Modpacks/\xC3\x9C"
                            "berfall.gck");
    EXPECT_TRUE(EqualsIgnoringCase("INSTALL.GCK", "install.gck"));
    EXPECT_TRUE(MatchesPattern("ARENA.KRV", "*.krv"));
}

TEST(Numbers, FoldsTheLettersOfWindows1252AndNothingElse) {
    // À-Þ with ß kept, then Š Œ Ž Ÿ: each to its small letter, byte length unchanged.
    EXPECT_EQ(FoldCase("\xC3\x80\xC3\x9E\xC3\x9F\xC5\xA0\xC5\x92\xC5\xBD\xC5\xB8 ABC"),
              "\xC3\xA0\xC3\xBE\xC3\x9F\xC5\xA1\xC5\x93\xC5\xBE\xC3\xBF abc");
    EXPECT_EQ(FoldCase("\xC3\x97"), "\xC3\x97");         // the multiplication sign stays
    EXPECT_EQ(FoldCase("\xC4\xB0I"), "\xC4\xB0i");       // İ is no Windows-1252 letter
    EXPECT_EQ(FoldCase("\xD0\x9C"), "\xD0\x9C");         // nor is Cyrillic
    EXPECT_EQ(FoldCase("\xDC\xC3\x80"), "\xDC\xC3\x80"); // bytes that are not UTF-8 stay
    EXPECT_TRUE(EqualsIgnoringCase("\xC3\x9C"
                                   "BERFALL",
                                   "\xC3\xBC"
                                   "berfall"));
    EXPECT_FALSE(EqualsIgnoringCase("\xC3\x9C"
                                    "berfall",
                                    "Uberfall!"));
    EXPECT_FALSE(EqualsIgnoringCase("\xC3\x97", "\xC3\xB7")); // × and ÷ are no pair
}
