// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/directory_source.h"
#include "platform/io_error.h"
#include "platform/linux_platform.h"

#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

class DirectorySourceTest : public ::testing::Test {
protected:
    DirectorySourceTest()
    {
        disc.writeFile("Docs/Guide.txt", "guide");
        disc.writeFile("Docs/Old/x.txt", "x");
        disc.writeFile("Empty/.keep-me-out", "");
        fs::remove(disc.path() / "Empty/.keep-me-out");
        disc.writeFile("Game.lha", "game");
        second.writeFile("Other.txt", "o");
        platform = std::make_unique<LinuxPlatform>(
            DriveTable({makeDrive('A', DriveRemovable, ""), makeDrive('C', DriveFixed, second.path(), "System"),
                makeDrive('D', DriveCdRom, disc.path(), "Amiga Disc"), makeDrive('E', DriveCdRom, ""),
                makeDrive('F', DriveUnknown, second.path()),
                makeDrive('N', DriveRemote, second.path(), "", "//srv/Share"),
                makeDrive('R', DriveRamDisk, second.path(), "ram")}),
            std::make_shared<RecordingLauncher>());
        platform->setCurrentDirectory("D:\\");
        source = std::make_unique<DirectorySource>(*platform);
        source->directoryList().setOnChange([this] {
            events.push_back("change " + source->directoryList().directory() + " files "
                + std::to_string(source->fileList().count()) + " in " + source->fileList().directory());
        });
    }

    DirectoryList& dirs() { return source->directoryList(); }
    FileList& files() { return source->fileList(); }

    WorkingDirectoryGuard cwdGuard;
    TempDir disc;
    TempDir second;
    std::unique_ptr<LinuxPlatform> platform;
    std::unique_ptr<DirectorySource> source;
    std::vector<std::string> events;
};

}  // namespace

TEST_F(DirectorySourceTest, DriveEntriesFollowTheDriveType)
{
    const DriveList& drives = source->driveList();
    EXPECT_EQ(drives.entries(),
        (std::vector<std::string>{"A:", "C: [SYSTEM]", "D: [AMIGA DISC]", "E: []", "N: //SRV/SHARE", "R: [RAM]"}));
    EXPECT_EQ(drives.letterAt(4), 'N');
    EXPECT_EQ(drives.indexOfDrive('n'), 4);
    EXPECT_EQ(drives.indexOfDrive('F'), -1);  // unknown type: no entry
    EXPECT_EQ(drives.driveTypeAt(3), DriveCdRom);
    EXPECT_EQ(drives.itemIndex(), 2);
    EXPECT_EQ(drives.drive(), 'D');

    const DriveList lower(*platform, DriveList::TextCase::Lower);
    EXPECT_EQ(lower.entry(0), "a:");
    EXPECT_EQ(lower.entry(2), "d: [amiga disc]");
    EXPECT_EQ(lower.entry(4), "n: //srv/share");
}

TEST_F(DirectorySourceTest, NetworkDriveWithoutRemoteNameShowsItsLabel)
{
    LinuxPlatform p(DriveTable({makeDrive('N', DriveRemote, second.path(), "NasLabel")}));
    EXPECT_EQ(DriveList(p).entries(), (std::vector<std::string>{"N: [NASLABEL]"}));
}

TEST_F(DirectorySourceTest, RootHoldsNoDotEntriesOneLevelDownHoldsBoth)
{
    EXPECT_EQ(files().entries(), (std::vector<std::string>{"[Docs]", "[Empty]", "Game.lha"}));
    dirs().setDirectory("[Docs]");
    EXPECT_EQ(dirs().directory(), "D:\\Docs");
    EXPECT_EQ(files().entries(), (std::vector<std::string>{"[..]", "[.]", "[Old]", "Guide.txt"}));
    EXPECT_EQ(files().indexOf("[..]"), 0);
    EXPECT_EQ(files().indexOf("guide.txt"), -1);
}

TEST_F(DirectorySourceTest, ParentOfFirstLevelIsTheRootWithBackslash)
{
    dirs().setDirectory("[Docs]");
    dirs().setDirectory("[..]");
    EXPECT_EQ(dirs().directory(), "D:\\");
    EXPECT_EQ(workingDirectory(), fs::canonical(disc.path()).string());
    dirs().setDirectory("[Docs]");
    dirs().setDirectory("[Old]");
    dirs().setDirectory("..");
    EXPECT_EQ(dirs().directory(), "D:\\Docs");
    dirs().setDirectory("\\");
    EXPECT_EQ(dirs().directory(), "D:\\");
}

TEST_F(DirectorySourceTest, NotificationComesAfterTheFileListIsRead)
{
    dirs().setDirectory("[Docs]");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "change D:\\Docs files 4 in D:\\Docs");
}

TEST_F(DirectorySourceTest, SettingTheCurrentDirectoryDoesNothing)
{
    dirs().setDirectory("[Docs]");
    events.clear();
    dirs().setDirectory("D:\\Docs");
    dirs().setDirectory("d:\\DOCS");
    dirs().setDirectory("");
    EXPECT_TRUE(events.empty());
}

TEST_F(DirectorySourceTest, DotEntryNotifiesButDoesNotReread)
{
    dirs().setDirectory("[Docs]");
    disc.writeFile("Docs/New.txt", "n");
    events.clear();
    dirs().setDirectory("[.]");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(files().indexOf("New.txt"), -1);  // the entries stay as read
    dirs().setDirectory("[..]");
    dirs().setDirectory("[Docs]");
    EXPECT_GE(files().indexOf("New.txt"), 0);
}

TEST_F(DirectorySourceTest, RelativeNamesResolveAgainstTheListNotTheProcess)
{
    dirs().setDirectory("[Docs]");
    platform->setCurrentDirectory("C:\\");  // a folder window moved the process elsewhere
    dirs().setDirectory("[Old]");
    EXPECT_EQ(dirs().directory(), "D:\\Docs\\Old");
}

TEST_F(DirectorySourceTest, ChangingDriveThroughAPathMovesTheDriveList)
{
    dirs().setDirectory("C:\\");
    EXPECT_EQ(source->driveList().drive(), 'C');
    EXPECT_EQ(source->driveList().itemIndex(), 1);
    EXPECT_EQ(files().entries(), (std::vector<std::string>{"Other.txt"}));
    ASSERT_EQ(events.size(), 1u);  // one notification, not one for the drive and one for the path
}

TEST_F(DirectorySourceTest, SetDriveMovesTheDirectoryToThatDrivesCurrentDirectory)
{
    dirs().setDirectory("[Docs]");
    source->driveList().setDrive('c');
    EXPECT_EQ(dirs().directory(), "C:\\");
    EXPECT_EQ(events.back(), "change C:\\ files 1 in C:\\");
    source->driveList().setDrive('D');
    EXPECT_EQ(dirs().directory(), "D:\\Docs");
    const std::size_t count = events.size();
    source->driveList().setDrive('d');
    EXPECT_EQ(events.size(), count);
}

TEST_F(DirectorySourceTest, EmptyDriveFailsWithNotReadyAndKeepsTheDirectory)
{
    dirs().setDirectory("[Docs]");
    events.clear();
    const int code = errorCodeOf([&] { dirs().setDirectory("E:\\"); });
    EXPECT_EQ(code, 21);
    try {
        dirs().setDirectory("E:\\");
    } catch (const Exception& error) {
        EXPECT_STREQ(error.what(), "I/O error 21");
    }
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(dirs().directory(), "D:\\Docs");
    EXPECT_EQ(source->driveList().drive(), 'E');  // the drive list already names it
    dirs().setDirectory("D:\\");
    EXPECT_EQ(source->driveList().drive(), 'D');
}

TEST_F(DirectorySourceTest, VanishedDirectoryFailsAndTheListStays)
{
    dirs().setDirectory("[Docs]");
    fs::remove_all(disc.path() / "Docs/Old");
    events.clear();
    EXPECT_EQ(errorCodeOf([&] { dirs().setDirectory("[Old]"); }), 2);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(dirs().directory(), "D:\\Docs");
    EXPECT_EQ(files().indexOf("[Old]"), 2);
}

TEST_F(DirectorySourceTest, UnreadableDirectoryFailsWithAccessDenied)
{
    fs::permissions(disc.path(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(disc.path() / "Docs", fs::perms::owner_exec | fs::perms::others_exec);
    UnprivilegedScope unprivileged;
    if (!unprivileged.effective())
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(errorCodeOf([&] { dirs().setDirectory("[Docs]"); }), 5);
    EXPECT_TRUE(events.empty());
    // Everything stays as before the failed step, the working directory included.
    EXPECT_EQ(dirs().directory(), "D:\\");
    EXPECT_EQ(files().directory(), "D:\\");
    EXPECT_EQ(files().count(), 3);
    EXPECT_EQ(platform->currentDirectory(), "D:\\");
}

TEST_F(DirectorySourceTest, HiddenFilesAreListedSystemEntriesAreNot)
{
    disc.writeFile(".hidden", "h");
    ASSERT_EQ(::mkfifo((disc.path() / "fifo").c_str(), 0644), 0);
    dirs().setDirectory("[Docs]");
    dirs().setDirectory("[..]");
    EXPECT_GE(files().indexOf(".hidden"), 0);
    EXPECT_EQ(files().indexOf("fifo"), -1);
}

TEST_F(DirectorySourceTest, FilesThatAreNamedAsPathsMoveToTheirFolder)
{
    dirs().setDirectory("D:\\Docs\\Guide.txt");
    EXPECT_EQ(dirs().directory(), "D:\\Docs");
    dirs().setDirectory("D:\\Docs\\Old\\*.*");
    EXPECT_EQ(dirs().directory(), "D:\\Docs\\Old");
}

TEST(FileListOrder, PunctuationBeforeDigitsBeforeLettersIgnoringCase)
{
    std::vector<std::string> names = {"zeta", "Alpha", "[dir]", "10.txt", "_under", "beta", "BETA", "2.txt", "[..]",
        "alpha2", "\xE8lite", "-dash", "a"};
    std::mt19937 random(7);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(names.begin(), names.end(), random);
        std::stable_sort(
            names.begin(), names.end(), [](const std::string& a, const std::string& b) { return fileListLess(a, b); });
        EXPECT_EQ(names,
            (std::vector<std::string>{"-dash", "[..]", "[dir]", "_under", "10.txt", "2.txt", "a", "Alpha", "alpha2",
                "beta", "BETA", "zeta", "\xE8lite"}));
    }
}

TEST(FileListBusyHook, ShowsTheBusyCursorFromTheHundredthEntry)
{
    WorkingDirectoryGuard guard;
    TempDir disc;
    for (int i = 0; i < 99; ++i)
        disc.writeFile(std::to_string(i) + ".f", "");
    LinuxPlatform platform(DriveTable({makeDrive('D', DriveCdRom, disc.path())}));
    platform.setCurrentDirectory("D:\\");
    std::vector<bool> calls;
    FileList files(platform);
    files.setBusyHook([&](bool busy) { calls.push_back(busy); });
    EXPECT_EQ(files.count(), 99);
    EXPECT_TRUE(calls.empty());

    disc.writeFile("sub/x", "");
    for (int i = 0; i < 98; ++i)
        disc.writeFile("sub/" + std::to_string(i) + ".g", "");
    files.setDirectory("D:\\sub");  // 99 files plus "." and ".."
    EXPECT_EQ(files.count(), 101);
    EXPECT_EQ(calls, (std::vector<bool>{true, false}));
}
