// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dos_path.h"

#include <gtest/gtest.h>

using namespace iradudo;

TEST(AsciiCase, OnlyAsciiLettersFold)
{
    // Latin-1 capitals (0xC0-0xDE) and UTF-8 bytes keep their case, so a name with
    // them never matches a different name.
    EXPECT_EQ(asciiUpper(std::string_view("caff\xe8 Az@[`{~")), "CAFF\xe8 AZ@[`{~");
    EXPECT_EQ(asciiLower(std::string_view("CAFF\xc8 aZ@[`{~")), "caff\xc8 az@[`{~");
    EXPECT_EQ(asciiUpper(std::string_view("\xc3\xa9t\xc3\xa9")), "\xc3\xa9T\xc3\xa9");
    for (int c = 0; c < 256; ++c) {
        const char byte = static_cast<char>(c);
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        EXPECT_EQ(isAsciiLetter(byte), letter) << c;
        if (!letter) {
            EXPECT_EQ(asciiUpper(byte), byte) << c;
            EXPECT_EQ(asciiLower(byte), byte) << c;
        }
    }
}

TEST(AsciiCase, ComparisonsIgnoreAsciiCaseOnly)
{
    struct Case {
        std::string_view a, b;
        bool equal;
    };
    const Case cases[] = {
        {"README.TXT", "readme.txt", true},
        {"Foo.Lha", "fOO.lHA", true},
        {"", "", true},
        {"a", "ab", false},
        {"Caff\xe8", "CAFF\xe8", true},
        {"Caff\xe8", "Caff\xc8", false},  // Latin-1 e grave and E grave differ
        {"@", "`", false},                // 0x40 and 0x60 sit 32 apart but are no letters
        {"[", "{", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(equalsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    EXPECT_TRUE(startsWithIgnoringAsciiCase("start foo", "Start "));
    EXPECT_TRUE(startsWithIgnoringAsciiCase("Start ", "START "));
    EXPECT_FALSE(startsWithIgnoringAsciiCase("Star", "Start "));
    EXPECT_FALSE(startsWithIgnoringAsciiCase("Stbrt x", "Start "));
}

TEST(DosPath, DriveLetters)
{
    struct Case {
        std::string_view path;
        char drive;
    };
    const Case cases[] = {
        {"D:\\GAMES", 'D'},
        {"d:", 'D'},
        {"z:foo", 'Z'},
        {"D", 0},
        {"1:\\", 0},
        {"\xc4:\\", 0},
        {"\\D:", 0},
        {"", 0},
        {"DD:", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(driveLetterOf(c.path), c.drive) << c.path;
        EXPECT_EQ(hasDriveLetter(c.path), c.drive != 0) << c.path;
    }
}

TEST(DosPath, SplitsOnEitherSeparatorAndJoinsWithBackslashes)
{
    using Names = std::vector<std::string>;
    EXPECT_EQ(splitDosPath("\\GAMES\\Foo\\"), (Names{"GAMES", "Foo"}));
    EXPECT_EQ(splitDosPath("a/b\\\\c//"), (Names{"a", "b", "c"}));
    EXPECT_EQ(splitDosPath("..\\X"), (Names{"..", "X"}));
    EXPECT_EQ(splitDosPath(""), Names{});
    EXPECT_EQ(splitDosPath("\\"), Names{});
    EXPECT_EQ(joinDosPath('D', {}), "D:\\");
    EXPECT_EQ(joinDosPath('D', {"GAMES", "Foo"}), "D:\\GAMES\\Foo");
    EXPECT_EQ(joinDosPath('E', splitDosPath("\\A/B\\")), "E:\\A\\B");
}
