// SPDX-License-Identifier: GPL-3.0-or-later
// The copy and the format program write where they are told and as they mean to,
// whatever the floppy's path holds and whatever mtools settings the user's
// environment carries. Results are read back by fsck.fat and by mtools run
// with a clean environment (-i, not the program's private configuration).
#include "floppy/floppy_copy.h"
#include "floppy/format_floppy.h"
#include "platform/run_program.h"
#include "support/host_listed_file.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>

using namespace iradudo;
using iradudo::test::ScopedEnvironment;
using iradudo::test::TempDir;

namespace {

ProgramResult cleanMtool(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv, {"LC_ALL=C.UTF-8", "MTOOLSRC=/dev/null"});
}

void copyHostFile(const std::string& image, const std::string& path, const std::string& name)
{
    ListedFile source = iradudo::test::openHostListedFile(path);
    copyToFloppy(FloppyTarget{image, {}}, source, name);
}

int formatQuietly(std::vector<std::string> arguments)
{
    std::istringstream in;
    std::ostringstream out;
    return runFormat(parseFormatArguments(arguments), in, out);
}

std::set<std::string> namesIn(const std::filesystem::path& directory)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

class MtoolsDriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!programExists("mformat") || !programExists("fsck.fat") || !programExists("mkfs.fat"))
            GTEST_SKIP() << "mtools or dosfstools is not installed";
    }
    TempDir dir;
};

TEST_F(MtoolsDriveTest, HostileSettingsInTheEnvironmentChangeNothing)
{
    const std::string image = (dir.path() / "a.img").string();
    const std::string victim = (dir.path() / "victim.img").string();
    ASSERT_EQ(runProgram({"mkfs.fat", "-C", victim, "1440"}).exitCode, 0);
    const std::string victimBefore = iradudo::test::readFile(victim);
    const std::string redirect = "drive a: file=\"" + victim + "\"\nmtools_lower_case=1\nmtools_no_vfat=1\n";
    const std::string rc = dir.writeFile("evil.rc", redirect).string();
    dir.writeFile("home/.mtoolsrc", redirect);
    {
        const ScopedEnvironment hostile({
            {"MTOOLSRC", rc},
            {"HOME", (dir.path() / "home").string()},
            {"MCWD", (dir.path() / "home/mcwd").string()},
            {"MTOOLS_NFATS", "1"},
            {"MTOOLS_DIR_LEN", "16"},
            {"MTOOLS_LOWER_CASE", "1"},
            {"MTOOLS_NO_VFAT", "1"},
            {"MTOOLS_NAME_NUMERIC_TAIL", "0"},
            {"MTOOLS_SKIP_CHECK", "1"},
            {"MTOOLS_FAT_COMPATIBILITY", "1"},
            {"MTOOLS_DOTTED_DIR", "1"},
            {"MTOOLS_TWENTY_FOUR_HOUR_CLOCK", "0"},
            {"MTOOLS_DATE_STRING", "mm/dd/yy"},
            {"MTOOLS_LOCK_TIMEOUT", "not a number"},
            {"MTOOLS_USE_XDF", "1"},
        });
        ASSERT_EQ(formatQuietly({"--floppy", image, "--yes", "A:"}), 0);
        const std::vector<std::string> names = {"Gioco.Lha", "game.lha", "UNO.TXT", "Una Lunga.readme"};
        for (const std::string& name : names)
            copyHostFile(image, dir.writeFile("src/" + name, name).string(), name);
        // Replaced once more: the old copy steps aside and goes under these settings too.
        copyHostFile(image, dir.writeFile("again/game.lha", "again").string(), "game.lha");
    }
    const ProgramResult checked = runProgram({"fsck.fat", "-n", "-v", "-l", image});
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("2 FATs, 12 bit entries"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("224 root directory entries"), std::string::npos) << checked.output;
    EXPECT_NE(checked.output.find("Checking file /Gioco.Lha (GIOCO.LHA)"), std::string::npos) << checked.output;
    EXPECT_EQ(cleanMtool("mdir", {"-b", "-i", image, "::"}).output,
        "::/Gioco.Lha\n::/UNO.TXT\n::/Una Lunga.readme\n::/game.lha\n");
    EXPECT_EQ(cleanMtool("mtype", {"-i", image, "::game.lha"}).output, "again");
    EXPECT_EQ(iradudo::test::readFile(victim), victimBefore);
}

TEST_F(MtoolsDriveTest, AnyPathReachesTheImageItNames)
{
    const struct {
        std::string name;
        bool relative;  // given relative to the working directory
    } cases[] = {
        {"back\\slash.img", false},
        {"$HOME.img", false},
        {"${PATH}x.img", false},
        {"quote\".img", false},
        {"new\nline.img", false},
        {"sp ace;#.img", false},
        {"rel'ative.img", true},
    };
    iradudo::test::WorkingDirectoryGuard cwd;
    for (const auto& c : cases) {
        TempDir place;
        const std::string path = (place.path() / c.name).string();
        ASSERT_EQ(runProgram({"mkfs.fat", "-C", path, "1440"}).exitCode, 0) << c.name;
        ASSERT_EQ(::chdir(place.path().c_str()), 0);
        const std::string given = c.relative ? c.name : path;
        const std::set<std::string> before = namesIn(place.path());

        EXPECT_EQ(formatQuietly({"--floppy", given, "--yes", "A:", "/Q"}), 0) << c.name;
        try {
            copyHostFile(given, dir.writeFile("GAME.LHA", "game").string(), "GAME.LHA");
        } catch (const EFloppyError& error) {
            ADD_FAILURE() << c.name << ": " << error.what();
        }
        // mtools expands \ and $ in -i too: it reads a copy under a plain name.
        const std::string plain = (dir.path() / "check.img").string();
        std::filesystem::copy_file(path, plain, std::filesystem::copy_options::overwrite_existing);
        EXPECT_EQ(cleanMtool("mdir", {"-b", "-i", plain, "::"}).output, "::/GAME.LHA\n") << c.name;
        EXPECT_EQ(runProgram({"fsck.fat", "-n", path}).exitCode, 0) << c.name;
        EXPECT_EQ(namesIn(place.path()), before) << c.name;
    }
}

// The private folder's own path goes into mtools' configuration too.
TEST_F(MtoolsDriveTest, ATemporaryDirectoryMtoolsWouldReadOtherwiseIsPassedOver)
{
    TempDir place;
    const std::filesystem::path temporary = place.path() / "t$HOME\\x\"y";
    std::filesystem::create_directory(temporary);
    const ScopedEnvironment environment({{"TMPDIR", temporary.string()}});
    const std::string image = (place.path() / "floppy.img").string();
    ASSERT_EQ(runProgram({"mkfs.fat", "-C", image, "1440"}).exitCode, 0);

    EXPECT_NO_THROW(copyHostFile(image, dir.writeFile("GAME.LHA", "game").string(), "GAME.LHA"));
    EXPECT_EQ(cleanMtool("mdir", {"-b", "-i", image, "::"}).output, "::/GAME.LHA\n");
    EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

}  // namespace
