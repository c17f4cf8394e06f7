// SPDX-License-Identifier: GPL-3.0-or-later
// Copy to floppy on image files made and read back by mtools itself (-i, not the
// program's private configuration).
#include "floppy/floppy_copy.h"
#include "platform/linux_platform.h"
#include "platform/run_program.h"
#include "support/host_listed_file.h"
#include "support/non_regular_files.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace iradudo;
using iradudo::test::TempDir;

namespace {

ProgramResult mtool(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv, {"LC_ALL=C.UTF-8", "MTOOLSRC=/dev/null"});
}

// A host file opened as a drive hands it over.
void copyHostFile(const FloppyTarget& target, const std::string& path, const std::string& name)
{
    ListedFile source = iradudo::test::openHostListedFile(path);
    copyToFloppy(target, source, name);
}

class FloppyCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!programExists("mformat"))
            GTEST_SKIP() << "mtools is not installed";
        image = (dir.path() / "a.img").string();
        ASSERT_EQ(mtool("mformat", {"-C", "-f", "1440", "-i", image, "::"}).exitCode, 0);
    }

    // The bytes of a file on the image, read by mtype; nullopt when it is not there.
    std::optional<std::string> onImage(const std::string& name) const
    {
        const ProgramResult typed = mtool("mtype", {"-i", image, "::" + name});
        return typed.exitCode == 0 ? std::optional(typed.output) : std::nullopt;
    }

    std::string bareListing() const { return mtool("mdir", {"-b", "-i", image, "::"}).output; }

    std::string copyFailure(const std::string& source, const std::string& name) const
    {
        try {
            copyHostFile({image, {}}, source, name);
        } catch (const EFloppyError& error) {
            return error.what();
        }
        return {};
    }

    TempDir dir;
    std::string image;
};

TEST_F(FloppyCopy, CopiesIntoAnEmptyImage)
{
    const auto source = dir.writeFile("README.TXT", "hello amiga\n");
    copyHostFile({image, {}}, source.string(), "README.TXT");
    EXPECT_EQ(onImage("README.TXT"), "hello amiga\n");
    EXPECT_EQ(bareListing(), "::/README.TXT\n");
}

TEST_F(FloppyCopy, ReplacesAFileAndLeavesNoTemporaryName)
{
    copyHostFile({image, {}}, dir.writeFile("old/GAME.LHA", "old content").string(), "GAME.LHA");
    copyHostFile({image, {}}, dir.writeFile("new/game.lha", "new, longer content").string(), "game.lha");
    EXPECT_EQ(onImage("GAME.LHA"), "new, longer content");
    // The new copy's name, case and all, takes the place of the old one.
    EXPECT_EQ(bareListing(), "::/game.lha\n");
}

TEST_F(FloppyCopy, FullImageKeepsTheOldFileAndSaysWhy)
{
    copyHostFile({image, {}}, dir.writeFile("a/BIG", std::string(1000000, 'o')).string(), "BIG");
    // Fits in place of the old copy, but not beside it.
    const std::string message = copyFailure(dir.writeFile("b/BIG", std::string(900000, 'n')).string(), "BIG");
    EXPECT_NE(message.find("\xC2\xAB"
                           "BIG\xC2\xBB"),
        std::string::npos)
        << message;
    EXPECT_NE(message.find("Spazio insufficiente"), std::string::npos) << message;
    EXPECT_EQ(onImage("BIG"), std::string(1000000, 'o'));
    EXPECT_EQ(bareListing(), "::/BIG\n");

    const std::string tooBig = copyFailure(dir.writeFile("HUGE", std::string(1500000, 'h')).string(), "HUGE");
    EXPECT_NE(tooBig.find("Spazio insufficiente"), std::string::npos) << tooBig;
    EXPECT_EQ(bareListing(), "::/BIG\n");
}

TEST_F(FloppyCopy, FailuresNameTheFileAndTheCause)
{
    const std::string source = dir.writeFile("DOC.TXT", "text").string();
    const std::string readOnly = (dir.path() / "ro.img").string();
    std::filesystem::copy_file(image, readOnly);
    ::chmod(readOnly.c_str(), 0444);
    const std::string unformatted = dir.writeFile("blank.img", std::string(1474560, '\0')).string();

    const struct {
        const char* what;
        FloppyTarget target;
        std::string source;
        std::string name;
        const char* cause;
    } cases[] = {
        {"missing image", {(dir.path() / "none.img").string(), {}}, source, "DOC.TXT", "Nessun dischetto"},
        {"read-only image", {readOnly, {}}, source, "DOC.TXT", "protetto da scrittura"},
        {"no floppy drive", {}, source, "DOC.TXT", "Nessuna unit"},
        {"unformatted image", {unformatted, {}}, source, "DOC.TXT", "non \xC3\xA8 leggibile"},
        {"unreadable source", {image, {}}, (dir.path() / "gone.txt").string(), "gone.txt", "Impossibile leggere"},
        {"name FAT cannot hold", {image, {}}, source, "WHY?.TXT", "non pu\xC3\xB2 essere scritto"},
        {"name of dots", {image, {}}, source, "...", "non pu\xC3\xB2 essere scritto"},
    };
    for (const auto& c : cases) {
        std::string message;
        try {
            copyHostFile(c.target, c.source, c.name);
        } catch (const EFloppyError& error) {
            message = error.what();
        }
        EXPECT_NE(message.find(c.cause), std::string::npos) << c.what << ": " << message;
        EXPECT_NE(message.find(c.name), std::string::npos) << c.what << ": " << message;
    }
    EXPECT_EQ(bareListing(), "");
    EXPECT_EQ(mtool("mdir", {"-b", "-i", readOnly, "::"}).output, "");
}

TEST_F(FloppyCopy, Latin1NameArrivesAsItsCharacter)
{
    const std::string latin1 = "CAF\xC9.TXT";  // É in ISO-8859-1
    copyHostFile({image, {}}, dir.writeFile(latin1, "menu").string(), latin1);
    EXPECT_EQ(onImage("CAF\xC3\x89.TXT"), "menu");
    EXPECT_EQ(bareListing(), "::/CAF\xC3\x89.TXT\n");
}

TEST_F(FloppyCopy, LongNameKeepsItsLongEntry)
{
    const std::string name = "Una descrizione lunga.readme";
    copyHostFile({image, {}}, dir.writeFile(name, "x").string(), name);
    EXPECT_NE(bareListing().find("::/" + name), std::string::npos) << bareListing();
}

TEST_F(FloppyCopy, NamesArriveWithTheirCase)
{
    const struct {
        std::string name;
        const char* listed;  // as mdir lists it: long entry, else the short one with its case flags
    } cases[] = {
        {"game.lha", "::/game.lha"},
        {"MUSICA.MOD", "::/MUSICA.MOD"},
        {"Gioco.Lha", "::/Gioco.Lha"},
        {"leggimi.TXT", "::/leggimi.TXT"},
        {"Una Lunga.readme", "::/Una Lunga.readme"},
    };
    std::string expected;
    for (const auto& c : cases) {
        copyHostFile({image, {}}, dir.writeFile("src/" + c.name, "bytes of " + c.name).string(), c.name);
        EXPECT_EQ(onImage(c.name), "bytes of " + c.name) << c.name;
        expected += std::string(c.listed) + "\n";
    }
    EXPECT_EQ(bareListing(), expected);
    EXPECT_EQ(runProgram({"fsck.fat", "-n", image}).exitCode, 0);

    // mdir's bare listing applies the case flags to ASCII letters only; its
    // columns show the name as stored.
    copyHostFile({image, {}}, dir.writeFile("src/accent", "accent").string(), "\xC3\xA8.txt");
    EXPECT_NE(mtool("mdir", {"-i", image, "::"}).output.find("\n\xC3\xA8        txt "), std::string::npos)
        << mtool("mdir", {"-i", image, "::"}).output;
}

TEST_F(FloppyCopy, ADirectoryOfTheNameIsNeitherEnteredNorReplaced)
{
    ASSERT_EQ(mtool("mmd", {"-i", image, "::GIOCHI"}).exitCode, 0);
    const std::string inside = dir.writeFile("DENTRO.TXT", "inside").string();
    ASSERT_EQ(mtool("mcopy", {"-i", image, inside, "::GIOCHI/DENTRO.TXT"}).exitCode, 0);
    const std::string before = mtool("mdir", {"-b", "-/", "-i", image, "::"}).output;
    const std::string source = dir.writeFile("giochi", "a file").string();
    for (const std::string name : {"GIOCHI", "giochi", "Giochi"}) {
        const std::string message = copyFailure(source, name);
        EXPECT_NE(message.find("una cartella \xC2\xABGIOCHI\xC2\xBB"), std::string::npos) << name << ": " << message;
        EXPECT_EQ(mtool("mdir", {"-b", "-/", "-i", image, "::"}).output, before) << name;
    }
    EXPECT_EQ(onImage("GIOCHI/DENTRO.TXT"), "inside");
}

TEST_F(FloppyCopy, TheOldCopyStepsAsideUnderANameNoEntryHas)
{
    const std::string filler = dir.writeFile("FILLER", "occupant").string();
    const struct {
        const char* what;
        std::vector<std::vector<std::string>> setUp;  // mtools commands on the image
        const char* occupant;                         // a file that must keep its bytes
    } cases[] = {
        {"a directory of the usual temporary name",
            {{"mmd", "::~IRADUDO.TMP"}, {"mcopy", filler, "::~IRADUDO.TMP/IN.TXT"}}, "~IRADUDO.TMP/IN.TXT"},
        {"a file of that name", {{"mcopy", filler, "::~IRADUDO.TMP"}}, "~IRADUDO.TMP"},
        {"a long name of that name in lower case", {{"mcopy", filler, "::~iradudo.tmp"}}, "~IRADUDO.TMP"},
        {"the first two names taken",
            {{"mmd", "::~IRADUDO.TMP"}, {"mcopy", filler, "::~IRADU01.TMP"}, {"mcopy", filler, "::~IRADUDO.TMP/X"}},
            "~IRADU01.TMP"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(image);
        ASSERT_EQ(mtool("mformat", {"-C", "-f", "1440", "-i", image, "::"}).exitCode, 0);
        for (std::vector<std::string> command : c.setUp) {
            command.insert(command.begin() + 1, {"-i", image});
            const std::string program = command.front();
            command.erase(command.begin());
            ASSERT_EQ(mtool(program, command).exitCode, 0) << c.what;
        }
        copyHostFile({image, {}}, dir.writeFile("old/GAME.LHA", "old").string(), "GAME.LHA");
        const std::string before = mtool("mdir", {"-b", "-/", "-i", image, "::"}).output;
        copyHostFile({image, {}}, dir.writeFile("new/GAME.LHA", "new").string(), "GAME.LHA");
        EXPECT_EQ(onImage("GAME.LHA"), "new") << c.what;
        EXPECT_EQ(onImage(c.occupant), "occupant") << c.what;
        EXPECT_EQ(mtool("mdir", {"-b", "-/", "-i", image, "::"}).output, before) << c.what;
    }
}

TEST_F(FloppyCopy, ASourceThatIsNoRegularFileFailsAtOnce)
{
    TempDir disc;
    const std::vector<std::string> sources = iradudo::test::makeNonRegularFiles(disc, ".lha");
    iradudo::test::WorkingDirectoryGuard cwd;
    LinuxPlatform platform(DriveTable({iradudo::test::makeDrive('D', DriveCdRom, disc.path().string())}));
    for (const std::string& source : sources) {
        const std::string name = std::filesystem::path(source).filename().string();
        const std::optional<std::string> direct
            = iradudo::test::resultWithin(iradudo::test::kBlockingLimit, [&] { return copyFailure(source, name); });
        ASSERT_TRUE(direct.has_value()) << name << " blocked the copy";
        EXPECT_NE(direct->find("Impossibile leggere"), std::string::npos) << name << ": " << *direct;

        const std::optional<std::string> listed
            = iradudo::test::resultWithin(iradudo::test::kBlockingLimit, [&]() -> std::string {
                  try {
                      copyToFloppy({image, {}}, platform, "D:\\", name);
                  } catch (const EFloppyError& error) {
                      return error.what();
                  }
                  return {};
              });
        ASSERT_TRUE(listed.has_value()) << name << " blocked the copy through its drive";
        EXPECT_NE(listed->find("Impossibile leggere"), std::string::npos) << name << ": " << *listed;
    }
    EXPECT_EQ(bareListing(), "");
}

TEST(FatNames, WhatALongNameCanHold)
{
    const struct {
        std::string name;
        bool holds;
    } cases[] = {
        {"README.TXT", true},
        {"caf\xC3\xA8 menu.txt", true},
        {"a<b", false},
        {"a|b", false},
        {"a\"b", false},
        {"back\\slash", false},
        {"x/y", false},
        {std::string("ctl\x01"), false},
        {"..", false},
        {" . ", false},
        {"", false},
        {std::string(255, 'n'), true},
        {std::string(256, 'n'), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fatCanHoldName(c.name), c.holds) << c.name;
}

}  // namespace
