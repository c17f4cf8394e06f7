// SPDX-License-Identifier: GPL-3.0-or-later
// Drive A: as an unmounted floppy image, made with mformat/mcopy and read back
// independently with mdir -b and mtype (-i, not the program's configuration).
#include "platform/io_error.h"
#include "platform/linux_platform.h"
#include "platform/mtools.h"

#include "support/floppy_platform.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

ProgramResult mtool(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return runProgram(argv, {"LC_ALL=C.UTF-8", "MTOOLSRC=/dev/null"});
}

const std::string kCafe = "Caf\xC3\xA9.txt";  // é, an ISO-8859-1 letter, as the long name keeps it

class UnmountedFloppy : public FloppyPlatformTest {
protected:
    void SetUp() override
    {
        if (!programExists("mformat"))
            GTEST_SKIP() << "mtools is not installed";
        image = (dir.path() / "a.img").string();
        ASSERT_EQ(mtool("mformat", {"-C", "-f", "1440", "-v", "CATALOGO", "-i", image, "::"}).exitCode, 0);
        const fs::path src = dir.makeDir("src");
        dir.writeFile("src/file with spaces.txt", "spaces\n");
        dir.writeFile("src/" + kCafe, std::string(3000, 'c'));
        dir.writeFile("src/A very long file name.readme", "Short: long\n");
        dir.writeFile("src/SHORT.TXT", "short");
        dir.writeFile("src/a[1].txt", "bracketed");
        dir.writeFile("src/a1.txt", "plain");
        dir.writeFile("src/Sub Dir/inner.txt", "inner\n");
        dir.writeFile("src/Sub Dir/Deeper/x.bin", std::string("\0\x01\xFF", 3));
        std::vector<std::string> arguments{"-s", "-i", image};
        for (const auto& entry : fs::directory_iterator(src))
            arguments.push_back(entry.path().string());
        arguments.push_back("::/");
        ASSERT_EQ(mtool("mcopy", arguments).exitCode, 0);
        host = dir.makeDir("host");
        makePlatform(image);
    }
};

TEST_F(UnmountedFloppy, ListingsShowTheNamesMdirShowsWithTheHostFilesSizes)
{
    const struct {
        std::string dosPath;
        std::string mtoolsPath;
        std::string hostPath;
    } cases[] = {
        {"A:\\", "::/", "src"},
        {"A:\\Sub Dir", "::/Sub Dir", "src/Sub Dir"},
        {"a:/sub dir/DEEPER", "::/Sub Dir/Deeper", "src/Sub Dir/Deeper"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dosPath);
        // mdir -b prints "::/DIR/NAME", a "/" after directories.
        std::map<std::string, bool> expected;
        std::istringstream bare(mtool("mdir", {"-b", "-a", "-i", image, c.mtoolsPath}).output);
        for (std::string line; std::getline(bare, line);) {
            const bool directory = line.ends_with('/');
            if (directory)
                line.pop_back();
            expected[line.substr(line.rfind('/') + 1)] = directory;
        }
        if (c.dosPath != "A:\\")
            expected.insert({{".", true}, {"..", true}});
        const std::map<std::string, FileEntry> listed = listing(c.dosPath);
        ASSERT_EQ(listed.size(), expected.size());
        for (const auto& [name, directory] : expected) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(listed.count(name));
            EXPECT_EQ(listed.at(name).isDirectory(), directory);
            if (!directory) {
                EXPECT_EQ(
                    listed.at(name).size, static_cast<std::int64_t>(fs::file_size(dir.path() / c.hostPath / name)));
            }
        }
    }
    EXPECT_TRUE(listing("A:\\").count(kCafe));
}

TEST_F(UnmountedFloppy, TheLabelIsTheDisksOwn)
{
    EXPECT_NE(mtool("mlabel", {"-s", "-i", image, "::"}).output.find("CATALOGO"), std::string::npos);
    EXPECT_EQ(platform->volumeLabel('A'), "CATALOGO");
    ASSERT_EQ(mtool("mlabel", {"-i", image, "::Nuovo Nome"}).exitCode, 0);
    EXPECT_EQ(platform->volumeLabel('A'), "Nuovo Nome");
}

TEST_F(UnmountedFloppy, NamesAreFoundWhateverTheirCaseOrByTheirShortName)
{
    const struct {
        std::string query;
        std::optional<std::string> name;
        std::int64_t size;
    } cases[] = {
        {"A:\\FILE WITH SPACES.TXT", "file with spaces.txt", 7},
        {"A:\\short.txt", "SHORT.TXT", 5},
        {"A:\\sub dir\\INNER.TXT", "inner.txt", 6},
        {"A:\\AVERYL~1.REA", "A very long file name.readme", 12},
        {"A:\\caf\xE9.TXT", kCafe, 3000},  // the name in ISO-8859-1 bytes
        {"A:\\a[1].txt", "a[1].txt", 9},
        {"A:\\A1.TXT", "a1.txt", 5},
        {"A:\\Sub Dir\\Deeper", "Deeper", 0},
        {"A:\\nothere.txt", std::nullopt, 0},
        {"A:\\nothere\\inner.txt", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        const std::optional<FileEntry> entry = platform->findEntry(c.query);
        ASSERT_EQ(entry.has_value(), c.name.has_value());
        if (entry) {
            EXPECT_EQ(entry->name, *c.name);
            EXPECT_EQ(entry->size, c.size);
        }
    }
}

TEST_F(UnmountedFloppy, FilesOpenWithTheBytesMtypeReads)
{
    // mtype takes "[1]" as a pattern that finds a1.txt; a[1].txt is read by its 8.3 name.
    const std::pair<std::string, std::string> cases[] = {
        {"A:\\a[1].txt", "::/A_1_~1.TXT"},
        {"A:\\A1.TXT", "::/a1.txt"},
        {"A:\\" + kCafe, "::/" + kCafe},
        {"A:\\Sub Dir\\Deeper\\x.bin", "::/Sub Dir/Deeper/x.bin"},
    };
    for (const auto& [dosPath, mtoolsPath] : cases) {
        SCOPED_TRACE(dosPath);
        EXPECT_EQ(bytesOf(dosPath), mtool("mtype", {"-i", image, mtoolsPath}).output);
    }
    EXPECT_EQ(bytesOf("A:\\a[1].txt"), "bracketed");
    EXPECT_EQ(bytesOf("A:\\Sub Dir"), "<none>");
    EXPECT_EQ(bytesOf("A:\\missing.txt"), "<none>");
}

TEST_F(UnmountedFloppy, FoldersAreEnteredAndBareNamesResolveInThem)
{
    platform->setCurrentDirectory("A:\\SUB DIR");
    EXPECT_EQ(platform->currentDirectory(), "A:\\Sub Dir");
    EXPECT_EQ(bytesOf("INNER.TXT"), "inner\n");
    EXPECT_TRUE(platform->fileExists("inner.txt"));
    platform->setCurrentDirectory("deeper");
    EXPECT_EQ(platform->currentDirectory(), "A:\\Sub Dir\\Deeper");
    platform->setCurrentDirectory("..\\..");
    EXPECT_EQ(platform->currentDirectory(), "A:\\");

    const struct {
        std::string path;
        int code;
    } failures[] = {
        {"A:\\SHORT.TXT", ErrorDirectory},
        {"A:\\nothere", ErrorFileNotFound},
        {"A:\\nothere\\below", ErrorPathNotFound},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory(c.path); }), c.code);
        EXPECT_EQ(platform->currentDirectory(), "A:\\");
    }
}

TEST_F(UnmountedFloppy, FilesAreCopiedOutButNothingIsCopiedOn)
{
    ASSERT_TRUE(platform->copyFile("A:\\Sub Dir\\inner.txt", "C:\\out.txt"));
    EXPECT_EQ(readFile(host / "out.txt"), mtool("mtype", {"-i", image, "::/Sub Dir/inner.txt"}).output);
    EXPECT_FALSE(platform->copyFile("C:\\out.txt", "A:\\out.txt"));
    EXPECT_FALSE(platform->copyFile("A:\\missing.txt", "C:\\missing.txt"));
    EXPECT_FALSE(fs::exists(host / "missing.txt"));
}

// Openers cannot read an unmounted floppy: they get a private copy.
TEST_F(UnmountedFloppy, StartedFilesAreOpenedFromACopy)
{
    platform->setCurrentDirectory("A:\\Sub Dir");
    ASSERT_TRUE(platform->runCommandLine("Start INNER.TXT"));
    ASSERT_EQ(launcher->calls.size(), 1u);
    const fs::path copies = launcher->calls[0].workingDirectory;
    EXPECT_NE(copies.string().find("iradudo-"), std::string::npos);
    EXPECT_EQ(readFile(copies / "inner.txt"), "inner\n");
    EXPECT_FALSE(platform->runCommandLine("Start missing.txt"));
    EXPECT_FALSE(platform->runCommandLine("Start Deeper"));
    EXPECT_EQ(launcher->calls.size(), 1u);
    platform.reset();
    EXPECT_FALSE(fs::exists(copies));
}

TEST_F(UnmountedFloppy, UnreadableMediaAreNotReady)
{
    const std::string truncated = dir.writeFile("truncated.img", readFile(image).substr(0, 300)).string();
    const std::string noFat = dir.writeFile("nofat.img", std::string(1474560, '\xF6')).string();
    for (const std::string& floppy : {(dir.path() / "missing.img").string(), truncated, noFat}) {
        SCOPED_TRACE(floppy);
        makePlatform(floppy);
        EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("A:\\"); }), ErrorNotReady);
        EXPECT_EQ(errorCodeOf([&] { listing("A:\\"); }), ErrorNotReady);
        EXPECT_EQ(errorCodeOf([&] { listing("A:\\Sub Dir"); }), ErrorNotReady);
        EXPECT_FALSE(platform->findEntry("A:\\SHORT.TXT"));
        EXPECT_EQ(platform->volumeLabel('A'), "");
        EXPECT_EQ(platform->driveType('A'), DriveRemovable);
    }
}

// A listing that looks up and opens a companion for every entry reads the
// floppy in process: no mtools program runs.
TEST_F(UnmountedFloppy, ABatchRunsNoMtools)
{
    const fs::path bin = dir.makeDir("bin");
    const std::string log = (dir.path() / "runs.log").string();
    for (const char* program : {"mdir", "mcopy"}) {
        const fs::path shim = bin / program;
        std::ofstream(shim) << "#!/bin/sh\necho " << program << " >> '" << log << "'\nexec /usr/bin/" << program
                            << " \"$@\"\n";
        fs::permissions(shim, fs::perms::owner_all);
    }
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    platform->setCurrentDirectory("A:\\");
    std::map<std::string, std::string> opened;
    std::size_t found = 0;
    {
        const NameLookupBatch batch(*platform);
        for (const auto& [name, entry] : listing({})) {
            found += platform->findEntry(name).has_value() + platform->fileExists(name + ".readme");
            found += platform->findEntry("A:\\" + name).has_value();
            if (!entry.isDirectory())
                opened[name] = bytesOf(name);
        }
    }
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(found, 14u);
    EXPECT_FALSE(fs::exists(log));
    EXPECT_EQ(opened.size(), 6u);
    for (const auto& [name, bytes] : opened)
        EXPECT_EQ(bytes, readFile(dir.path() / "src" / name)) << name;
}

// Names that differ only in case are two files: each opens its own bytes. mcopy
// renames the second to "readme.txt-1", whose long name is cut back here.
TEST_F(UnmountedFloppy, NamesDifferingInCaseOpenTheirOwnFiles)
{
    const fs::path upper = dir.writeFile("pair/upper/README.TXT", "upper\n");
    const fs::path lower = dir.writeFile("pair/lower/readme.txt", "lower, longer\n");
    ASSERT_EQ(mtool("mcopy", {"-i", image, upper.string(), "::/"}).exitCode, 0);
    ASSERT_EQ(mtool("mcopy", {"-D", "a", "-i", image, lower.string(), "::/"}).exitCode, 0);
    std::string bytes = readFile(image);
    const std::string renamed("t\0x\0t\0-\0", 8);
    ASSERT_NE(bytes.find(renamed), std::string::npos);
    bytes.replace(bytes.find(renamed), renamed.size(), std::string("t\0x\0t\0\0\0", 8));
    std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;
    const struct {
        std::string query;
        std::string bytes;
    } cases[] = {
        {"A:\\README.TXT", "upper\n"}, {"A:\\readme.txt", "lower, longer\n"}, {"A:\\README~1.TXT", "lower, longer\n"},
        {"A:\\Readme.txt", "<none>"},  // both equal it but for case: it finds neither
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(bytesOf(c.query), c.bytes);
    }
    const std::map<std::string, FileEntry> listed = listing("A:\\");
    EXPECT_TRUE(listed.count("README.TXT") && listed.count("readme.txt"));
}

// A copy onto the image by another program shows in the next listing.
TEST_F(UnmountedFloppy, ListingsFollowChangesToTheImage)
{
    EXPECT_FALSE(listing("A:\\Sub Dir").count("added.txt"));
    ASSERT_EQ(mtool("mcopy", {"-i", image, dir.writeFile("added.txt", "added").string(), "::/Sub Dir/"}).exitCode, 0);
    EXPECT_TRUE(listing("A:\\Sub Dir").count("added.txt"));
    EXPECT_EQ(bytesOf("A:\\Sub Dir\\added.txt"), "added");
}

// A folder whose entry leads back to its parent lists nothing and cannot be
// entered; the others still list.
TEST_F(UnmountedFloppy, AFolderLeadingBackToItsParentCannotBeEntered)
{
    std::string bytes = readFile(image);
    const std::size_t subDir = bytes.find("SUBDIR~1   ");
    const std::size_t deeper = bytes.find("DEEPER     ");
    ASSERT_NE(subDir, std::string::npos);
    ASSERT_NE(deeper, std::string::npos);
    bytes.replace(deeper + 26, 2, bytes.substr(subDir + 26, 2));
    std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_TRUE(listing("A:\\Sub Dir").count("Deeper"));
    EXPECT_NE(errorCodeOf([&] { listing("A:\\Sub Dir\\Deeper"); }), 0);
    EXPECT_NE(errorCodeOf([&] { platform->setCurrentDirectory("A:\\Sub Dir\\Deeper"); }), 0);
    EXPECT_EQ(bytesOf("A:\\Sub Dir\\inner.txt"), "inner\n");
    EXPECT_TRUE(listing("A:\\").count("SHORT.TXT"));
}

}  // namespace
