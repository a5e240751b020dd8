#include "platform/WindowsText.h"

#include <gtest/gtest.h>

using platform::FromWindowsText;
using platform::IsValidUtf8;
using platform::ToWindows1252;
using platform::ToWindowsText;

TEST(WindowsText, TellsWellFormedUtf8FromEverythingElse) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ascii"));
    EXPECT_TRUE(IsValidUtf8("\xC3\x9C"
                            "berfall \xE2\x82\xAC \xF0\x9F\x8E\xAE"));
    EXPECT_FALSE(IsValidUtf8("\xDC"
                             "berfall"));          // Windows-1252 "Ü"
    EXPECT_FALSE(IsValidUtf8("\xC3"));             // cut short
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));         // three-byte form missing a byte
}

TEST(WindowsText, ReadsPeerTextAsUtf8OrWindows1252) {
    EXPECT_EQ(FromWindowsText("\xDC"
                              "berfall.gck"),
              "\xC3\x9C"
              "berfall.gck");
    EXPECT_EQ(FromWindowsText("F\xFCr Spieler: Gr\xF6\xDF"
                              "e 3"),
              "F\xC3\xBCr Spieler: Gr\xC3\xB6\xC3\x9F"
              "e 3");
    EXPECT_EQ(FromWindowsText("\x80 \x85 \x99"), "\xE2\x82\xAC \xE2\x80\xA6 \xE2\x84\xA2");
    // Text that already is UTF-8 is never decoded twice.
    EXPECT_EQ(FromWindowsText("\xC3\x9C"
                              "berfall.gck"),
              "\xC3\x9C"
              "berfall.gck");
    // The bytes Windows-1252 leaves open still come through as characters of their own.
    EXPECT_EQ(FromWindowsText("a\x81"
                              "b"),
              "a\xC2\x81"
              "b");
}

TEST(WindowsText, WritesWindows1252WhenEveryCharacterHasAForm) {
    EXPECT_EQ(ToWindows1252("\xC3\x9C"
                            "berfall.gck"),
              "\xDC"
              "berfall.gck");
    EXPECT_EQ(ToWindows1252("\xE2\x82\xAC\xC5\xB8"), "\x80\x9F");
    EXPECT_EQ(ToWindows1252("C:\\Spiele\\Gr\xC3\xB6\xC3\x9F"
                            "e"),
              "C:\\Spiele\\Gr\xF6\xDF"
              "e");
    EXPECT_EQ(ToWindows1252("\xD0\x9C\xD0\xB8\xD1\x80"), std::nullopt); // Cyrillic
    EXPECT_EQ(ToWindows1252("\xDC"), std::nullopt);                     // not UTF-8 at all
    EXPECT_EQ(ToWindowsText("\xD0\x9C\xD0\xB8\xD1\x80.gck"), "\xD0\x9C\xD0\xB8\xD1\x80.gck");
    EXPECT_EQ(ToWindowsText("\xC3\x9C.gck"), "\xDC.gck");
}

TEST(WindowsText, EveryWindows1252ByteComesBackUnchanged) {
    for (int byte = 1; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        const std::string text =
            FromWindowsText(one + "\xFF"); // the 0xFF keeps it from being UTF-8
        EXPECT_EQ(ToWindows1252(text), one + "\xFF") << "byte " << byte;
    }
}
