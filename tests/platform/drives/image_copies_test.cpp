// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/image_copies.h"
#include "platform/drives/iso_image.h"
#include "platform/linux_platform.h"

#include "support/disc_images.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

class ImageCopiesTest : public ::testing::Test {
protected:
    ImageCopiesTest()
    {
        dir.writeFile("tree/Games/Big Game.lha", pattern(300000, 5));
        dir.writeFile("tree/Games/caf\xe9.txt", "latin-1");
        dir.writeFile("tree/Games/-rf", "dash");
        image = makeImage(dir.path() / "tree", dir.path() / "disc.iso", Writer::RockRidgeAndJoliet, "V");
        fs::create_directory(dir.path() / "tmp");
    }

    std::unique_ptr<LinuxPlatform> makePlatform()
    {
        return std::make_unique<LinuxPlatform>(
            DriveTable({Drive{'C', DriveFixed, "/", "", "", false}, Drive{'D', DriveCdRom, image, "V", "", true}}),
            launcher);
    }

    TempDir dir;
    std::string image;
    std::shared_ptr<RecordingLauncher> launcher = std::make_shared<RecordingLauncher>();
};

}  // namespace

TEST_F(ImageCopiesTest, StartOpensACopyInAPrivateDirectoryThatGoesWithThePlatform)
{
    const TmpDirScope tmp(dir.path() / "tmp");
    auto platform = makePlatform();
    platform->setCurrentDirectory("D:\\GAMES");
    const std::pair<std::string, std::string> cases[] = {
        {"Start big game.lha", "Big Game.lha"},
        {"Start caf\xe9.TXT", "caf\xe9.txt"},
        {"Start -rf", "-rf"},
        {"Start D:\\Games\\Big Game.lha", "Big Game.lha"},
    };
    for (const auto& [line, name] : cases) {
        ASSERT_TRUE(platform->runCommandLine(line)) << line;
        const RecordingLauncher::Call& call = launcher->calls.back();
        EXPECT_EQ(call.argv, (std::vector<std::string>{"xdg-open", call.workingDirectory + "/" + name})) << line;
        EXPECT_EQ(fs::path(call.workingDirectory).parent_path(), dir.path() / "tmp") << line;
        struct stat status { };
        ASSERT_EQ(::lstat(call.workingDirectory.c_str(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        EXPECT_EQ(readFile(fs::path(call.workingDirectory) / name), readFile(dir.path() / "tree/Games" / name)) << line;
    }
    ASSERT_EQ(launcher->calls.size(), 4u);
    EXPECT_EQ(launcher->calls[0].workingDirectory, launcher->calls[3].workingDirectory);  // one directory per run

    const fs::path copies = launcher->calls[0].workingDirectory;
    platform.reset();
    EXPECT_FALSE(fs::exists(copies));
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));
}

TEST_F(ImageCopiesTest, WhatIsNoFileStartsNothing)
{
    const TmpDirScope tmp(dir.path() / "tmp");
    auto platform = makePlatform();
    platform->setCurrentDirectory("D:\\");
    for (const char* line : {"Start missing.txt", "Start Games", "Start Games\\nothing", "Start D:\\Nothing\\x"})
        EXPECT_FALSE(platform->runCommandLine(line)) << line;
    EXPECT_TRUE(launcher->calls.empty());
    EXPECT_TRUE(fs::is_empty(dir.path() / "tmp"));  // nor is the directory made
}

TEST_F(ImageCopiesTest, NamesThatAreNoSingleHostNameAreRefusedAndOnlyCopiesAreRemoved)
{
    const TmpDirScope tmp(dir.path() / "tmp");
    const IsoImage disc(image);
    const IsoEntry file = *disc.findEntry({"Games", "Big Game.lha"});
    auto copies = std::make_unique<ImageCopies>();
    for (const char* name : {"", ".", "..", "a/b", "/etc/passwd"}) {
        IsoEntry renamed = file;
        renamed.name = name;
        EXPECT_FALSE(copies->copy(disc, renamed)) << name;
    }
    EXPECT_FALSE(memoryCopy(disc, file, file.size - 1).valid());
    FileHandle inMemory = memoryCopy(disc, file, file.size);
    std::string bytes;
    ASSERT_EQ(readWholeFile(inMemory, 1 << 20, bytes), WholeFileRead::Complete);
    EXPECT_TRUE(bytes == pattern(300000, 5));

    const std::optional<std::string> copy = copies->copy(disc, file);
    ASSERT_TRUE(copy);
    EXPECT_EQ(readFile(*copy), pattern(300000, 5));
    EXPECT_TRUE(copies->copy(disc, file));  // again, over the first

    // What someone else put there stays, and a link is removed, not followed.
    const fs::path directory = copies->directory();
    const fs::path outside = dir.writeFile("outside.txt", "keep");
    fs::remove(directory / file.name);
    fs::create_symlink(outside, directory / file.name);
    std::ofstream(directory / "theirs.txt") << "theirs";
    copies.reset();
    EXPECT_EQ(readFile(outside), "keep");
    EXPECT_FALSE(fs::is_symlink(directory / file.name));
    EXPECT_EQ(readFile(directory / "theirs.txt"), "theirs");
}
