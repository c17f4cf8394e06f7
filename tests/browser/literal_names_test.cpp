// SPDX-License-Identifier: GPL-3.0-or-later
// Names holding "*", "?", "\", ":" or brackets, on a directory drive and on a disc
// image: each is listed with its size, comment and total, each drawer can be
// entered, and no lookup lands on drive C, which holds decoys under the names a
// DOS path would spell.
#include "browser/directory_source.h"
#include "browser/listing.h"
#include "platform/io_error.h"
#include "platform/linux_platform.h"
#include "platform/run_program.h"

#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

struct OddFile {
    const char* name;
    std::size_t size;
    const char* comment;  // from its companion; empty when it has none
};

const OddFile kFiles[] = {
    {"star*.lha", 5, "star"}, {"what?.lha", 6, "question"}, {"back\\slash.lha", 7, "backslash"},
    {"C:evil.lha", 8, "colon"}, {"[x].lha", 9, "brackets"},
    {"C:nocomp.lha", 10, ""},  // drive C's nocomp.README must not lend its line
    {"[y]", 11, ""},           // a file, though its name looks like a drawer's entry
};

const char* const kDrawers[] = {"*", "?", "a\\b", "C:dir", "[br]", "x]"};

enum class DiscKind { Directory, Image };

class LiteralNamesTest : public ::testing::TestWithParam<DiscKind> {
protected:
    void SetUp() override
    {
        std::int64_t total = 0;
        for (const OddFile& file : kFiles) {
            tree.writeFile(file.name, std::string(file.size, 'f'));
            total += static_cast<std::int64_t>(file.size);
            if (*file.comment != '\0') {
                const std::string line = std::string("Short: ") + file.comment + "\n";
                tree.writeFile(companionName(file.name), line);
                total += static_cast<std::int64_t>(line.size());
            }
        }
        rootTotal = total;
        for (const char* drawer : kDrawers)
            tree.writeFile(std::string(drawer) + "/inside.txt", drawer);
        // What "C:evil.lha", "C:nocomp.lha" and "[C:dir]" would reach as DOS paths.
        decoys.writeFile("evil.lha", std::string(999, 'w'));
        decoys.writeFile("evil.README", "Short: WRONG\n");
        decoys.writeFile("nocomp.README", "Short: WRONG\n");
        decoys.writeFile("dir/decoy.txt", "w");

        std::string root = tree.path().string();
        if (GetParam() == DiscKind::Image) {
            root = (work.path() / "odd.iso").string();
            const ProgramResult made
                = runProgram({"xorriso", "-as", "mkisofs", "-R", "-V", "ODD", "-o", root, tree.path().string()});
            ASSERT_EQ(made.exitCode, 0) << made.output;
        }
        Drive disc = makeDrive('D', DriveCdRom, root, "ODD");
        disc.image = GetParam() == DiscKind::Image;
        platform = std::make_unique<LinuxPlatform>(
            DriveTable({makeDrive('C', DriveFixed, decoys.path(), "SYS"), disc}), launcher);
        platform->setCurrentDirectory("C:\\");
        platform->setCurrentDirectory("D:\\");
        source = std::make_unique<DirectorySource>(*platform);
    }

    const ListingItem* item(const Listing& listing, const std::string& caption) const
    {
        for (const ListingItem& i : listing.items) {
            if (i.caption == caption)
                return &i;
        }
        return nullptr;
    }

    WorkingDirectoryGuard cwdGuard;
    TempDir tree;
    TempDir decoys;
    TempDir work;
    std::int64_t rootTotal = 0;
    std::shared_ptr<RecordingLauncher> launcher = std::make_shared<RecordingLauncher>();
    std::unique_ptr<LinuxPlatform> platform;
    std::unique_ptr<DirectorySource> source;
};

}  // namespace

TEST_P(LiteralNamesTest, EveryFileHasItsSizeCommentAndTotal)
{
    const Listing listing = buildListing(source->fileList(), *platform, false);
    for (const OddFile& file : kFiles) {
        SCOPED_TRACE(file.name);
        const ListingItem* listed = item(listing, file.name);
        ASSERT_NE(listed, nullptr);
        EXPECT_NE(listed->imageIndex, IconDirectory);
        EXPECT_EQ(listed->size, static_cast<std::int64_t>(file.size));
        EXPECT_EQ(listed->comment, file.comment);
    }
    EXPECT_EQ(listing.totalBytes, rootTotal);
    for (const char* drawer : kDrawers) {
        const ListingItem* listed = item(listing, std::string("[") + drawer + "]");
        ASSERT_NE(listed, nullptr) << drawer;
        EXPECT_EQ(listed->imageIndex, IconDirectory) << drawer;
        EXPECT_FALSE(listed->size) << drawer;
    }
}

TEST_P(LiteralNamesTest, EveryDrawerCanBeEnteredAndLeft)
{
    for (const char* drawer : kDrawers) {
        SCOPED_TRACE(drawer);
        DirectoryList& dirs = source->directoryList();
        ASSERT_EQ(errorCodeOf([&] { dirs.setDirectory(std::string("[") + drawer + "]"); }), 0);
        EXPECT_EQ(dirs.directory(), std::string("D:\\") + drawer);
        EXPECT_EQ(platform->currentDirectory(), dirs.directory());
        const Listing inside = buildListing(source->fileList(), *platform, false);
        ASSERT_NE(item(inside, "inside.txt"), nullptr);
        EXPECT_EQ(item(inside, "inside.txt")->size, static_cast<std::int64_t>(std::strlen(drawer)));
        ASSERT_EQ(errorCodeOf([&] { dirs.setDirectory("[..]"); }), 0);
        EXPECT_EQ(dirs.directory(), "D:\\");
    }
}

TEST_P(LiteralNamesTest, FilesAndGoneDrawersAreNotEnteredAndNothingMoves)
{
    DirectoryList& dirs = source->directoryList();
    // "[y]" is a file; "[C:gone]" was never there, though drive C has a "gone"
    // drawer; "[*.lha]" names no drawer, though it matches files as a pattern.
    decoys.makeDir("gone");
    for (const char* text : {"[y]", "[C:gone]", "[*.lha]", "[C:dir\\decoy.txt]"}) {
        SCOPED_TRACE(text);
        EXPECT_NE(errorCodeOf([&] { dirs.setDirectory(text); }), 0);
        EXPECT_EQ(dirs.directory(), "D:\\");
        EXPECT_EQ(source->fileList().directory(), "D:\\");
    }
}

TEST_P(LiteralNamesTest, ViewersAndStartOpenTheListedFileItself)
{
    for (const OddFile& file : kFiles) {
        SCOPED_TRACE(file.name);
        FileHandle opened = platform->openFile(file.name);
        ASSERT_TRUE(opened.valid());
        std::string bytes;
        ASSERT_EQ(readWholeFile(opened, 1024, bytes), WholeFileRead::Complete);
        EXPECT_EQ(bytes, std::string(file.size, 'f'));

        // The opener gets the file itself, or its copy when it lives in an image.
        ASSERT_TRUE(platform->runCommandLine(std::string("Start ") + file.name));
        ASSERT_FALSE(launcher->calls.empty());
        const fs::path directory = launcher->calls.back().workingDirectory;
        EXPECT_EQ(directory == tree.path(), GetParam() == DiscKind::Directory);
        EXPECT_EQ(readFile(directory / file.name), std::string(file.size, 'f'));
    }
}

INSTANTIATE_TEST_SUITE_P(Discs, LiteralNamesTest, ::testing::Values(DiscKind::Directory, DiscKind::Image),
    [](const ::testing::TestParamInfo<DiscKind>& info) {
        return info.param == DiscKind::Directory ? "Directory" : "Image";
    });
