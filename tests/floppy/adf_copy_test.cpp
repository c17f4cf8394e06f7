// SPDX-License-Identifier: GPL-3.0-or-later
// Copy to floppy and the format program on Amiga disk files, read back by
// Debian's unadf, an independent reader.
#include "floppy/floppy_copy.h"
#include "floppy/format_floppy.h"
#include "platform/linux_platform.h"
#include "support/amiga_disks.h"
#include "support/host_listed_file.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

class AmigaDiskFloppy : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!unadfAvailable())
            GTEST_SKIP() << "unadf is not installed";
    }

    // Runs the format program on the image; its status, and what it said in said.
    int format(const std::string& image, std::vector<std::string> arguments, std::string* said = nullptr)
    {
        arguments.insert(arguments.begin(), {"--floppy", image, "--yes", "A:"});
        const FormatOptions options = parseFormatArguments(arguments);
        EXPECT_EQ(options.error, "");
        std::istringstream in;
        std::ostringstream out;
        const int status = runFormat(options, in, out);
        if (said)
            *said = out.str();
        return status;
    }

    std::string blankDisk(const std::string& name = "a.adf", bool high = false)
    {
        const std::string image = (dir.path() / name).string();
        EXPECT_EQ(format(image, high ? std::vector<std::string>{} : std::vector<std::string>{"/F:720"}), 0);
        return image;
    }

    std::string copyFailure(const std::string& image, const std::string& content, const std::string& name)
    {
        ListedFile source = openHostListedFile(dir.writeFile("source/" + name, content).string());
        try {
            copyToFloppy(FloppyTarget{image, {}}, source, name);
        } catch (const EFloppyError& error) {
            return error.what();
        }
        return {};
    }

    TempDir dir;
};

TEST_F(AmigaDiskFloppy, FormatsEachDensityWithItsFileSystem)
{
    struct Case {
        std::vector<std::string> switches;
        const char* fileSystem;
        std::int64_t bytes;
        std::string range;
    } cases[] = {
        {{"/F:720"}, "OFS", 901120, "[0-1759]"}, {{}, "FFS", 1802240, "[0-3519]"},
        {{"/Q", "/F:720"}, "OFS", 901120, "[0-1759]"},  // over the disk the case before left
    };
    const std::string image = (dir.path() / "Disco.ADF").string();
    dir.writeFile("Disco.ADF", std::string(1802240, '\xAA'));
    for (const Case& test : cases) {
        SCOPED_TRACE(test.fileSystem + std::to_string(test.bytes));
        std::string said;
        if (test.switches.size() == 2) {
            ASSERT_EQ(format(image, {"/F:720"}), 0);
        }
        ASSERT_EQ(format(image, test.switches, &said), 0) << said;
        EXPECT_NE(said.find("Formattazione completata"), std::string::npos) << said;
        EXPECT_EQ(fs::file_size(image), static_cast<std::uintmax_t>(test.bytes));
        const UnadfListing listing = unadfList(image);
        ASSERT_TRUE(listing.ok);
        EXPECT_NE(listing.volumeLine.find("\"Vuoto\""), std::string::npos) << listing.volumeLine;
        EXPECT_NE(listing.volumeLine.find(test.fileSystem), std::string::npos) << listing.volumeLine;
        EXPECT_NE(listing.volumeLine.find(test.range), std::string::npos) << listing.volumeLine;
        EXPECT_TRUE(listing.entries.empty());
    }
    const fs::path missing = dir.path() / "nuovo.adf";
    EXPECT_EQ(format(missing.string(), {"/F:720"}), 0);
    EXPECT_EQ(fs::file_size(missing), 901120u);
}

TEST_F(AmigaDiskFloppy, FormatRefusesWhatIsNoAmigaDiskAndLeavesIt)
{
    struct Case {
        const char* name;
        std::string content;  // nothing written when empty and missing
        bool missing;
        std::vector<std::string> switches;
        const char* said;
    } cases[] = {
        {"pc.adf", std::string(737280, '\0'), false, {"/F:720"}, "non \xC3\xA8 un disco Amiga"},
        {"short.adf", "DOS", false, {}, "non \xC3\xA8 un disco Amiga"},
        {"dd.adf", std::string(901120, 'd'), false, {"/Q"}, "non corrisponde"},
        {"hd.adf", std::string(1802240, 'h'), false, {"/Q", "/F:720"}, "non corrisponde"},
        {"gone.adf", "", true, {"/Q", "/F:720"}, "non esiste"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const fs::path image = dir.path() / test.name;
        if (!test.missing)
            dir.writeFile(test.name, test.content);
        std::string said;
        EXPECT_EQ(format(image.string(), test.switches, &said), 1);
        EXPECT_NE(said.find(test.said), std::string::npos) << said;
        if (test.missing) {
            EXPECT_FALSE(fs::exists(image));
        } else {
            EXPECT_EQ(readFile(image), test.content);
        }
    }
}

// An Amiga disk gets the same question as a PC floppy before its files go, and
// a link is formatted where it points.
TEST_F(AmigaDiskFloppy, FormatAsksBeforeWipingFilesAndFollowsALink)
{
    const std::string image = blankDisk();
    EXPECT_EQ(copyFailure(image, "uno", "Uno.lha"), "");
    EXPECT_EQ(copyFailure(image, "due", "Due.lha"), "");
    const fs::path link = dir.path() / "link.adf";
    fs::create_symlink(image, link);
    struct Case {
        const char* answer;
        int status;
        std::size_t filesAfter;
    } cases[] = {{"\nn\n", 1, 2}, {"\n", 1, 2}, {"\ns\nn\n", 0, 0}};  // Enter for the disk, then the answer
    for (const Case& test : cases) {
        SCOPED_TRACE(test.answer);
        std::istringstream in(test.answer);
        std::ostringstream out;
        EXPECT_EQ(runFormat(parseFormatArguments({"--floppy", link.string(), "A:", "/F:720"}), in, out), test.status);
        EXPECT_NE(out.str().find("Il dischetto contiene 2 file"), std::string::npos) << out.str();
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(unadfList(image).entries.size(), test.filesAfter);
        if (test.filesAfter == 0)
            break;
    }
    fs::remove(image);
    std::istringstream in;
    std::ostringstream out;
    EXPECT_EQ(runFormat(parseFormatArguments({"--floppy", link.string(), "--yes", "A:"}), in, out), 1);
    EXPECT_FALSE(fs::exists(image)) << "a link to nothing made a file: " << out.str();
}

TEST_F(AmigaDiskFloppy, CopiesTakeTheCompanionsDescriptionAsComment)
{
    const std::string image = blankDisk();
    const TempDir disc;
    struct Case {
        const char* file;
        const char* companion;  // nullptr: none
        std::string readme;
        std::string comment;  // as unadf prints it: the Latin-1 bytes
    } cases[] = {
        {"Gioco.lha", "Gioco.readme", "Short:    Un gioco di prova\nAuthor: x\n", "Un gioco di prova"},
        {"Demo.lha", "demo.README", "Short: Demo\r\n", "Demo"},
        {"Caffe.lha", "Caffe.readme", "Short: Caff\xC3\xA8 \xE2\x82\xAC\n", "Caff\xE8 ?"},
        {"Lungo.lha", "Lungo.readme", "Short: " + std::string(100, 'L') + "\n", std::string(79, 'L')},
        {"Solo.lha", nullptr, "", ""},
    };
    for (const Case& test : cases) {
        disc.writeFile(test.file, std::string("data of ") + test.file);
        if (test.companion)
            disc.writeFile(test.companion, test.readme);
    }
    WorkingDirectoryGuard cwd;
    LinuxPlatform platform(DriveTable({makeDrive('D', DriveCdRom, disc.path().string())}));
    for (const Case& test : cases)
        copyToFloppy(FloppyTarget{image, {}}, platform, "D:\\", test.file);

    const UnadfListing listing = unadfList(image);
    ASSERT_EQ(listing.entries.size(), std::size(cases));
    for (const Case& test : cases) {
        SCOPED_TRACE(test.file);
        const auto found = std::find_if(listing.entries.begin(), listing.entries.end(),
            [&](const UnadfEntry& entry) { return entry.path == test.file; });
        ASSERT_NE(found, listing.entries.end());
        EXPECT_EQ(found->comment, test.comment);
        EXPECT_EQ(unadfExtract(image, test.file, dir.path()), std::string("data of ") + test.file);
    }
}

TEST_F(AmigaDiskFloppy, AReplacedFileIsTheNewOne)
{
    const std::string image = blankDisk();
    EXPECT_EQ(copyFailure(image, std::string(200000, 'o'), "GIOCO.LHA"), "");
    EXPECT_EQ(copyFailure(image, "nuovo", "Gioco.lha"), "");
    const UnadfListing listing = unadfList(image);
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].path, "Gioco.lha");
    EXPECT_EQ(unadfExtract(image, "Gioco.lha", dir.path()), "nuovo");
    // The Latin-1 letter of a UTF-8 host name arrives as one Amiga character.
    EXPECT_EQ(copyFailure(image, "caf\xC3\xA8", "Caff\xC3\xA8.txt"), "");
    EXPECT_EQ(unadfExtract(image, "Caff\xE8.txt", dir.path()), "caf\xC3\xA8");
}

TEST_F(AmigaDiskFloppy, RefusalsNameTheFileAndLeaveTheDisk)
{
    const std::string image = blankDisk();
    EXPECT_EQ(copyFailure(image, std::string(500000, 'g'), "Grande.lha"), "");
    std::string dircache = readFile(image);
    dircache[3] = 4;
    const std::string dircacheImage = dir.writeFile("cache.adf", dircache).string();
    const std::string zeros = dir.writeFile("zeros.adf", std::string(901120, '\0')).string();
    const std::string locked = (dir.path() / "locked.adf").string();
    fs::copy_file(image, locked);
    ::chmod(locked.c_str(), 0444);
    struct Case {
        std::string image;
        std::string name;
        std::size_t size;
        const char* said;
    } cases[] = {
        {image, std::string(31, 'n'), 10, "non pu\xC3\xB2 essere scritto su un dischetto Amiga"},
        {image, "a:b", 10, "non pu\xC3\xB2 essere scritto su un dischetto Amiga"},
        {image, "Prezzo \xE2\x82\xAC", 10, "non pu\xC3\xB2 essere scritto su un dischetto Amiga"},
        {image, "Altro.lha", 500000, "Spazio insufficiente"},
        {image, "grande.lha", 500000, "sostituire"},
        {image, "Enorme.lha", 2000000, "Spazio insufficiente"},
        {dircacheImage, "Nuovo", 10, "cache delle directory"},
        {zeros, "Nuovo", 10, "non \xC3\xA8 un disco Amiga"},
        {locked, "Nuovo", 10, "protetto da scrittura"},
        {(dir.path() / "manca.adf").string(), "Nuovo", 10, "Nessun dischetto"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string before = fs::exists(test.image) ? readFile(test.image) : std::string();
        const std::string said = copyFailure(test.image, std::string(test.size, 'x'), test.name);
        EXPECT_NE(said.find(test.said), std::string::npos) << said;
        EXPECT_NE(said.find("\xC2\xAB" + test.name + "\xC2\xBB"), std::string::npos) << said;
        if (!before.empty()) {
            EXPECT_EQ(readFile(test.image), before);
        }
    }
    EXPECT_EQ(unadfExtract(image, "Grande.lha", dir.path()), std::string(500000, 'g'));
}

}  // namespace
