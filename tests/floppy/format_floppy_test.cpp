// SPDX-License-Identifier: GPL-3.0-or-later
// The format program's work on image files, checked with dosfstools' fsck.fat and
// mtools' minfo, which read the result independently of the program.
#include "floppy/format_floppy.h"
#include "platform/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>

using namespace iradudo;
using iradudo::test::TempDir;

namespace {

struct Check {
    bool clean = false;
    std::string geometry;  // minfo's "mformat command line" options
};

Check checkImage(const std::string& image)
{
    Check check;
    check.clean = runProgram({"fsck.fat", "-n", image}).exitCode == 0;
    const std::string info = runProgram({"minfo", "-i", image, "::"}, {"MTOOLSRC=/dev/null"}).output;
    const std::size_t at = info.find("mformat -t");
    if (at != std::string::npos)
        check.geometry = info.substr(at, info.find(" -i", at) - at);
    return check;
}

class FormatImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!programExists("mformat") || !programExists("fsck.fat"))
            GTEST_SKIP() << "mtools or dosfstools is not installed";
    }

    int format(std::vector<std::string> arguments, const std::string& answers = "", std::string* said = nullptr)
    {
        arguments.insert(arguments.begin(), {"--floppy", image});
        const FormatOptions options = parseFormatArguments(arguments);
        EXPECT_EQ(options.error, "");
        std::istringstream in(answers);
        std::ostringstream out;
        const int status = runFormat(options, in, out);
        if (said)
            *said = out.str();
        return status;
    }

    TempDir dir;
    std::string image = (dir.path() / "a.img").string();
};

TEST_F(FormatImage, NormalAndQuickAtBothDensities)
{
    const struct {
        std::vector<std::string> switches;
        std::int64_t size;
        const char* geometry;
    } cases[] = {
        {{"A:", "/F:720", "--yes"}, 737280, "mformat -t 80 -h 2 -s 9"},
        {{"A:", "--yes"}, 1474560, "mformat -t 80 -h 2 -s 18"},
        {{"/Q", "A:", "--yes"}, 1474560, "mformat -t 80 -h 2 -s 18"},
        {{"A:", "/F:720", "--yes"}, 737280, "mformat -t 80 -h 2 -s 9"},
        {{"a:", "/q", "/f:720", "--yes"}, 737280, "mformat -t 80 -h 2 -s 9"},
    };
    for (const auto& c : cases) {
        std::string said;
        EXPECT_EQ(format(c.switches, "", &said), 0) << said;
        EXPECT_EQ(static_cast<std::int64_t>(std::filesystem::file_size(image)), c.size);
        const Check check = checkImage(image);
        EXPECT_TRUE(check.clean) << c.switches[0];
        EXPECT_EQ(check.geometry, c.geometry);
        EXPECT_NE(said.find("byte disponibili su disco"), std::string::npos) << said;
    }
}

TEST_F(FormatImage, QuickKeepsNoFilesAndNeedsTheSameCapacity)
{
    ASSERT_EQ(format({"A:", "--yes"}), 0);
    dir.writeFile("x.txt", "x");
    ASSERT_EQ(
        runProgram({"mcopy", "-i", image, (dir.path() / "x.txt").string(), "::X.TXT"}, {"MTOOLSRC=/dev/null"}).exitCode,
        0);
    std::string said;
    EXPECT_EQ(format({"/Q", "A:", "/F:720", "--yes"}, "", &said), 1);
    EXPECT_NE(said.find("non corrisponde"), std::string::npos) << said;
    EXPECT_EQ(std::filesystem::file_size(image), 1474560u);
    EXPECT_EQ(runProgram({"mdir", "-b", "-i", image, "::"}, {"MTOOLSRC=/dev/null"}).output, "::/X.TXT\n");

    EXPECT_EQ(format({"/Q", "A:", "--yes"}), 0);
    EXPECT_EQ(runProgram({"mdir", "-b", "-i", image, "::"}, {"MTOOLSRC=/dev/null"}).output, "");
}

TEST_F(FormatImage, RefusesWhatIsNoFloppy)
{
    const struct {
        const char* what;
        std::string content;
        bool quick;
        const char* reason;
    } cases[] = {
        {"a 2 MB file", std::string(2000000, 'd'), false, "non \xC3\xA8 un dischetto da 720 KB o 1,44 MB"},
        {"a 1.2 MB file", std::string(1228800, 'd'), false, "non \xC3\xA8 un dischetto da 720 KB o 1,44 MB"},
        {"a missing image, quickly", "", true, "non esiste"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(image);
        if (!c.content.empty())
            dir.writeFile("a.img", c.content);
        std::string said;
        EXPECT_EQ(
            format(c.quick ? std::vector<std::string>{"/Q", "A:", "--yes"} : std::vector<std::string>{"A:", "--yes"},
                "", &said),
            1)
            << c.what;
        EXPECT_NE(said.find(c.reason), std::string::npos) << c.what << ": " << said;
        if (!c.content.empty()) {
            EXPECT_EQ(test::readFile(image), c.content) << c.what;
        }
    }
    std::string said;
    image = (dir.path() / "sdb").string();
    EXPECT_EQ(format({"A:", "--yes"}, "", &said), 1);
    EXPECT_NE(said.find("non esiste"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(image));
    image = dir.path().string();
    EXPECT_EQ(format({"A:", "--yes"}, "", &said), 1);
    EXPECT_NE(said.find("non \xC3\xA8 un dischetto"), std::string::npos) << said;
}

TEST_F(FormatImage, AsksBeforeAndAfter)
{
    std::string said;
    // Enter, format, "s" for another, Enter, format, "n".
    EXPECT_EQ(format({"A:", "/F:720"}, "\ns\n\nn\n", &said), 0);
    EXPECT_EQ(checkImage(image).geometry, "mformat -t 80 -h 2 -s 9");
    std::size_t completed = 0;
    for (std::size_t at = said.find("completata"); at != std::string::npos; at = said.find("completata", at + 1))
        ++completed;
    EXPECT_EQ(completed, 2u) << said;
    EXPECT_NE(said.find("premere INVIO"), std::string::npos);
    EXPECT_NE(said.find("Formattare un altro dischetto (S/N)?"), std::string::npos);

    // No answer at all (input closed): nothing is formatted.
    std::filesystem::remove(image);
    EXPECT_EQ(format({"A:"}, "", &said), 1);
    EXPECT_FALSE(std::filesystem::exists(image));
}

TEST_F(FormatImage, RefusesAMountedImage)
{
    ASSERT_EQ(format({"A:", "--yes"}), 0);
    const std::string before = test::readFile(image);
    SystemPaths paths;
    paths.sysBlock = (dir.path() / "sys/block").string();
    paths.mountInfo
        = dir.writeFile("mountinfo", "36 25 7:3 / /media/u/FLOPPY rw,nosuid - vfat /dev/loop3 rw\n").string();
    dir.writeFile("sys/block/loop3/loop/backing_file", std::filesystem::canonical(image).string() + "\n");
    dir.writeFile("sys/block/loop4/loop/backing_file", "/elsewhere/b.img\n");

    std::istringstream in;
    std::ostringstream out;
    EXPECT_EQ(runFormat(parseFormatArguments({"--floppy", image, "--yes", "A:", "/Q"}), in, out, paths), 1);
    EXPECT_NE(out.str().find("montata in /media/u/FLOPPY"), std::string::npos) << out.str();
    EXPECT_EQ(test::readFile(image), before);

    // The same image, no longer mounted: formatted.
    dir.writeFile("mountinfo", "");
    EXPECT_EQ(runFormat(parseFormatArguments({"--floppy", image, "--yes", "A:", "/Q"}), in, out, paths), 0)
        << out.str();
}

ProgramResult mtool(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv, {"LC_ALL=C.UTF-8", "MTOOLSRC=/dev/null"});
}

// A formatted image at path holding two files and a directory.
void makeImageWithFiles(const TempDir& dir, const std::string& path)
{
    std::filesystem::remove(path);
    ASSERT_EQ(mtool("mformat", {"-C", "-f", "1440", "-i", path, "::"}).exitCode, 0);
    const std::string file = dir.writeFile("content.txt", "content").string();
    ASSERT_EQ(mtool("mcopy", {"-i", path, file, "::UNO.TXT"}).exitCode, 0);
    ASSERT_EQ(mtool("mcopy", {"-i", path, file, "::DUE.TXT"}).exitCode, 0);
    ASSERT_EQ(mtool("mmd", {"-i", path, "::CARTELLA"}).exitCode, 0);
}

std::string listing(const std::string& image)
{
    return mtool("mdir", {"-b", "-i", image, "::"}).output;
}

TEST_F(FormatImage, ALinkIsFollowedAndStaysALink)
{
    const std::string real = (dir.path() / "real.img").string();
    const std::string link = (dir.path() / "link.img").string();
    std::filesystem::create_symlink("real.img", link);
    image = link;
    for (const std::vector<std::string>& switches :
        {std::vector<std::string>{"/Q", "A:", "--yes"}, std::vector<std::string>{"A:", "/F:720", "--yes"}}) {
        makeImageWithFiles(dir, real);
        std::string said;
        EXPECT_EQ(format(switches, "", &said), 0) << said;
        EXPECT_TRUE(std::filesystem::is_symlink(link)) << switches[0];
        EXPECT_EQ(std::filesystem::read_symlink(link), "real.img");
        EXPECT_EQ(listing(real), "") << switches[0];
        EXPECT_TRUE(checkImage(real).clean) << switches[0];
    }
    EXPECT_EQ(std::filesystem::file_size(real), 737280u);

    // A link to nothing is refused: no image appears where it points, and it stays.
    const std::string dangling = (dir.path() / "dangling.img").string();
    std::filesystem::create_symlink("none.img", dangling);
    image = dangling;
    std::string said;
    EXPECT_EQ(format({"A:", "--yes"}, "", &said), 1);
    EXPECT_NE(said.find("collegamento simbolico"), std::string::npos) << said;
    EXPECT_EQ(said.find("completata"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "none.img"));
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
}

TEST_F(FormatImage, AReadOnlyImageIsWriteProtectedForEveryone)
{
    makeImageWithFiles(dir, image);
    ::chmod(image.c_str(), 0444);
    const std::string before = test::readFile(image);
    for (const std::vector<std::string>& switches :
        {std::vector<std::string>{"/Q", "A:", "--yes"}, std::vector<std::string>{"A:", "--yes"}}) {
        std::string said;
        EXPECT_EQ(format(switches, "", &said), 1) << switches[0];
        EXPECT_NE(said.find("protetto da scrittura"), std::string::npos) << said;
        EXPECT_EQ(test::readFile(image), before) << switches[0];
    }
    ::chmod(image.c_str(), 0644);
}

TEST_F(FormatImage, SaysWhatTheDiskHoldsAndAsksFirst)
{
    const struct {
        const char* what;
        std::vector<std::string> switches;
        std::string answers;
        bool asked;
        bool formatted;
    } cases[] = {
        {"answered no", {"/Q", "A:"}, "\nn\nn\n", true, false},
        {"answered yes", {"/Q", "A:"}, "\ns\nn\n", true, true},
        {"input closed at the question", {"A:"}, "\n", true, false},
        {"--yes", {"/Q", "A:", "--yes"}, "", false, true},
    };
    for (const auto& c : cases) {
        makeImageWithFiles(dir, image);
        const std::string before = listing(image);
        ASSERT_EQ(before, "::/UNO.TXT\n::/DUE.TXT\n::/CARTELLA/\n");
        std::string said;
        EXPECT_EQ(format(c.switches, c.answers, &said), c.formatted ? 0 : 1) << c.what << ": " << said;
        EXPECT_EQ(said.find("Il dischetto contiene 2 file e 1 cartella") != std::string::npos, c.asked)
            << c.what << ": " << said;
        EXPECT_EQ(listing(image), c.formatted ? "" : before) << c.what;
    }
}

TEST(FormatProgram, WithNoDriveItHoldsItsOwnTerminalOnly)
{
    TempDir dir;
    SystemPaths nothing;
    nothing.sysBlock = dir.makeDir("sys/block").string();
    nothing.mountInfo = dir.writeFile("mountinfo", "").string();
    const struct {
        std::vector<std::string> arguments;
        std::string input;
        bool held;
        std::string unread;  // what the program left of its input
    } cases[] = {
        {{"--hold", "A:"}, "\nlater\n", true, "later"},
        {{"--hold", "A:"}, "", true, ""},
        {{"--hold", "--yes", "A:"}, "\nlater\n", false, ""},
        {{"A:"}, "\nlater\n", false, ""},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        std::ostringstream out;
        EXPECT_EQ(runFormat(parseFormatArguments(c.arguments), in, out, nothing), 1);
        EXPECT_NE(out.str().find("Nessuna unit\xC3\xA0 A:"), std::string::npos) << out.str();
        EXPECT_EQ(out.str().find("Premere INVIO per chiudere") != std::string::npos, c.held) << out.str();
        if (c.held) {
            std::string rest;
            std::getline(in, rest);
            EXPECT_EQ(rest, c.unread);
        }
    }
}

TEST(FormatArguments, DosSwitches)
{
    const struct {
        std::vector<std::string> arguments;
        bool quick;
        int kilobytes;
        bool error;
    } cases[] = {
        {{"A:", "/F:720"}, false, 720, false},
        {{"/Q", "A:"}, true, 1440, false},
        {{"/Q", "A:", "/F:720"}, true, 720, false},
        {{"B:"}, false, 1440, true},
        {{"C:", "/Q"}, true, 1440, true},
        {{"/F:720"}, false, 720, true},
        {{"A:", "/X"}, false, 1440, true},
    };
    for (const auto& c : cases) {
        const FormatOptions options = parseFormatArguments(c.arguments);
        EXPECT_EQ(!options.error.empty(), c.error) << c.arguments[0];
        if (!c.error) {
            EXPECT_EQ(options.quick, c.quick);
            EXPECT_EQ(options.kilobytes, c.kilobytes);
        }
    }
}

TEST(FormatArguments, LowLevelFormatOfRealDrives)
{
    using Argv = std::vector<std::string>;
    EXPECT_EQ(lowLevelFormatArguments("/dev/fd0", 720), (Argv{"superformat", "/dev/fd0", "dd"}));
    EXPECT_EQ(lowLevelFormatArguments("/dev/fd1", 1440), (Argv{"superformat", "/dev/fd1", "hd"}));
    EXPECT_EQ(lowLevelFormatArguments("/dev/sdb", 720), (Argv{"ufiformat", "-f", "720", "/dev/sdb"}));
    EXPECT_EQ(lowLevelFormatArguments("/dev/sdc", 1440), (Argv{"ufiformat", "-f", "1440", "/dev/sdc"}));
}

TEST(FormatProgram, RunsFromItsCommandLine)
{
    if (!programExists("mformat") || !programExists("fsck.fat"))
        GTEST_SKIP() << "mtools or dosfstools is not installed";
    TempDir dir;
    const std::string image = (dir.path() / "b.ima").string();
    const ProgramResult ran
        = runProgram({IRADUDO_BINARY_DIR "/iradudo-format", "--floppy", image, "--yes", "A:", "/F:720"});
    EXPECT_EQ(ran.exitCode, 0) << ran.output;
    EXPECT_TRUE(checkImage(image).clean);
    EXPECT_EQ(runProgram({IRADUDO_BINARY_DIR "/iradudo-format", "B:"}).exitCode, 2);
    // Held, but its input is closed (runProgram gives it /dev/null): it ends.
    EXPECT_EQ(runProgram({IRADUDO_BINARY_DIR "/iradudo-format", "--hold", "B:"}).exitCode, 2);
}

}  // namespace
