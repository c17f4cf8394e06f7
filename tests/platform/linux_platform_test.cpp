// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/io_error.h"
#include "platform/linux_platform.h"

#include "support/non_regular_files.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

std::map<std::string, FileEntry> readAll(const Platform& platform, const std::string& path = {})
{
    std::map<std::string, FileEntry> entries;
    platform.readDirectory(path, [&](const FileEntry& entry) { entries[entry.name] = entry; });
    return entries;
}

std::string readAllBytes(FileHandle& file)
{
    std::string bytes;
    char buffer[256];
    for (ssize_t n; (n = file.read(buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

// Drive D: is a disc rooted at a temporary tree, E: an empty optical drive,
// F: a second disc, A: a floppy without medium.
class LinuxPlatformTest : public ::testing::Test {
protected:
    LinuxPlatformTest()
    {
        disc.writeFile("GAMES/Foo.lha", "archive");
        disc.writeFile("GAMES/foo.readme", "Short: Foo\n");
        disc.writeFile("GAMES/Sub/deep.txt", "deep");
        disc.writeFile("README.TXT", "top");
        other.writeFile("x.txt", "x");
        launcher = std::make_shared<RecordingLauncher>();
        platform = std::make_unique<LinuxPlatform>(
            DriveTable({makeDrive('a', DriveRemovable, ""), makeDrive('D', DriveCdRom, disc.path(), "DEMO"),
                makeDrive('E', DriveCdRom, ""), makeDrive('F', DriveCdRom, other.path(), "other")}),
            launcher);
        platform->setCurrentDirectory("D:\\");
    }

    std::string canonical(const fs::path& path) const { return fs::canonical(path).string(); }

    WorkingDirectoryGuard cwdGuard;
    TempDir disc;
    TempDir other;
    std::shared_ptr<RecordingLauncher> launcher;
    std::unique_ptr<LinuxPlatform> platform;
};

}  // namespace

TEST(IoError, MessagesFollowTheErrorCode)
{
    EXPECT_STREQ(EInOutError(2).what(), "File not found");
    EXPECT_STREQ(EInOutError(3).what(), "Invalid filename");
    EXPECT_STREQ(EInOutError(4).what(), "Too many open files");
    EXPECT_STREQ(EInOutError(5).what(), "File access denied");
    EXPECT_STREQ(EInOutError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(EInOutError(101).what(), "Disk full");
    EXPECT_STREQ(EInOutError(106).what(), "Invalid numeric input");
    EXPECT_STREQ(EInOutError(21).what(), "I/O error 21");
    EXPECT_STREQ(EInOutError(267).what(), "I/O error 267");
    EXPECT_EQ(EInOutError(21).errorCode(), 21);
    const Exception& base = EInOutError(5);
    EXPECT_STREQ(base.what(), "File access denied");
}

TEST(IoError, ErrnoMapsToNearestWindowsCode)
{
    EXPECT_EQ(windowsErrorFromErrno(ENOENT), 2);
    EXPECT_EQ(windowsErrorFromErrno(EACCES), 5);
    EXPECT_EQ(windowsErrorFromErrno(EPERM), 5);
    EXPECT_EQ(windowsErrorFromErrno(EMFILE), 4);
    EXPECT_EQ(windowsErrorFromErrno(ENOMEDIUM), 21);
    EXPECT_EQ(windowsErrorFromErrno(ENOTDIR), 267);
    EXPECT_EQ(windowsErrorFromErrno(ENOSPC), 112);
    EXPECT_EQ(windowsErrorFromErrno(EXDEV), 31);
}

TEST_F(LinuxPlatformTest, DrivesReportTypesLabelsAndRoots)
{
    EXPECT_EQ(platform->logicalDrives(), (1u << 0) | (1u << 3) | (1u << 4) | (1u << 5));
    EXPECT_EQ(platform->driveType('A'), DriveRemovable);
    EXPECT_EQ(platform->driveType('d'), DriveCdRom);
    EXPECT_EQ(platform->driveType('C'), DriveUnknown);
    EXPECT_EQ(platform->volumeLabel('D'), "DEMO");
    EXPECT_EQ(platform->volumeLabel('E'), "");
    EXPECT_EQ(platform->driveRoot('D'), canonical(disc.path()));
    EXPECT_EQ(platform->driveRoot('E'), "");
    EXPECT_FALSE(platform->networkName('D'));
}

TEST_F(LinuxPlatformTest, CurrentDirectoryIsDosPathAndProcessFollows)
{
    EXPECT_EQ(platform->currentDirectory(), "D:\\");
    EXPECT_EQ(workingDirectory(), canonical(disc.path()));

    platform->setCurrentDirectory("D:\\GAMES\\Sub");
    EXPECT_EQ(platform->currentDirectory(), "D:\\GAMES\\Sub");
    EXPECT_EQ(workingDirectory(), canonical(disc.path() / "GAMES/Sub"));
    EXPECT_EQ(platform->currentDrive(), 'D');

    platform->setCurrentDirectory("..");
    EXPECT_EQ(platform->currentDirectory(), "D:\\GAMES");
    platform->setCurrentDirectory("\\");
    EXPECT_EQ(platform->currentDirectory(), "D:\\");
    platform->setCurrentDirectory("..");  // the root has no parent
    EXPECT_EQ(platform->currentDirectory(), "D:\\");
}

TEST_F(LinuxPlatformTest, NamesResolveCaseInsensitivelyWithStoredCase)
{
    platform->setCurrentDirectory("d:\\games\\SUB");
    EXPECT_EQ(platform->currentDirectory(), "D:\\GAMES\\Sub");
    EXPECT_TRUE(platform->fileExists("DEEP.TXT"));
    EXPECT_TRUE(platform->fileExists("..\\FOO.README"));
    EXPECT_EQ(platform->findEntry("..\\FOO.README")->name, "foo.readme");
}

TEST_F(LinuxPlatformTest, AmbiguousCaseMatchFindsNothingButExactNameWins)
{
    disc.writeFile("GAMES/Dup.txt", "1");
    disc.writeFile("GAMES/DUP.txt", "22");
    platform->setCurrentDirectory("GAMES");
    EXPECT_FALSE(platform->findEntry("dup.TXT"));
    ASSERT_TRUE(platform->findEntry("DUP.txt"));
    EXPECT_EQ(platform->findEntry("DUP.txt")->size, 2);
    {
        NameLookupBatch batch(*platform);
        EXPECT_FALSE(platform->findEntry("dup.TXT"));
        EXPECT_EQ(platform->findEntry("Dup.txt")->size, 1);
        EXPECT_FALSE(platform->openFile("dup.txt").valid());
        EXPECT_TRUE(platform->openFile("FOO.README").valid());
    }
}

TEST_F(LinuxPlatformTest, BatchCacheIsDroppedWhenTheBatchEnds)
{
    platform->setCurrentDirectory("GAMES");
    {
        NameLookupBatch batch(*platform);
        EXPECT_FALSE(platform->openFile("NEW.README").valid());
        disc.writeFile("GAMES/new.readme", "later");
    }
    FileHandle file = platform->openFile("NEW.README");
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(readAllBytes(file), "later");
}

TEST_F(LinuxPlatformTest, FailedChangesReportTheirCodeAndKeepTheDirectory)
{
    platform->setCurrentDirectory("GAMES");
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("E:\\"); }), 21);
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("A:"); }), 21);
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("NOPE"); }), 2);
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("NOPE\\Deeper"); }), 3);
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("Foo.lha"); }), 267);
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("Q:\\"); }), 15);
    EXPECT_EQ(platform->currentDirectory(), "D:\\GAMES");
    EXPECT_EQ(workingDirectory(), canonical(disc.path() / "GAMES"));
}

TEST_F(LinuxPlatformTest, VanishedDirectoryIsFileNotFound)
{
    platform->setCurrentDirectory("GAMES\\Sub");
    fs::remove_all(disc.path() / "GAMES/Sub");
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("D:\\GAMES\\Sub"); }), 2);
    EXPECT_EQ(errorCodeOf([&] { readAll(*platform); }), 2);
}

TEST_F(LinuxPlatformTest, EachDriveKeepsItsOwnCurrentDirectory)
{
    platform->setCurrentDirectory("GAMES");
    platform->setCurrentDirectory("F:\\");
    EXPECT_EQ(platform->currentDirectory(), "F:\\");
    platform->setCurrentDirectory("D:");
    EXPECT_EQ(platform->currentDirectory(), "D:\\GAMES");
    EXPECT_EQ(workingDirectory(), canonical(disc.path() / "GAMES"));
}

TEST_F(LinuxPlatformTest, StartsInTheWorkingDirectoryWhenItLiesOnADrive)
{
    ASSERT_EQ(::chdir((disc.path() / "GAMES/Sub").c_str()), 0);
    LinuxPlatform fresh(
        DriveTable({makeDrive('D', DriveCdRom, disc.path()), makeDrive('G', DriveCdRom, disc.path() / "GAMES")}));
    EXPECT_EQ(fresh.currentDirectory(), "G:\\Sub");  // the longest root wins
    EXPECT_EQ(fresh.dosPathForHostPath((disc.path() / "GAMES/../README.TXT").string()), "D:\\README.TXT");
    EXPECT_FALSE(fresh.dosPathForHostPath("/"));
}

TEST_F(LinuxPlatformTest, ReadDirectoryListsDotEntriesOnlyBelowTheRoot)
{
    const auto root = readAll(*platform);
    EXPECT_EQ(root.count("."), 0u);
    EXPECT_EQ(root.count(".."), 0u);
    EXPECT_TRUE(root.at("GAMES").isDirectory());
    EXPECT_EQ(root.at("README.TXT").size, 3);

    const auto games = readAll(*platform, "GAMES");
    EXPECT_TRUE(games.at(".").isDirectory());
    EXPECT_TRUE(games.at("..").isDirectory());
    EXPECT_EQ(games.size(), 5u);
}

TEST_F(LinuxPlatformTest, AttributesMarkHiddenReadOnlySystemAndSizes)
{
    disc.writeFile(".hidden", "h");
    const fs::path locked = disc.writeFile("locked.txt", "lock");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
    ASSERT_EQ(::mkfifo((disc.path() / "pipe").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (disc.path() / "sock").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    // 3 GiB, sparse: sizes are 64-bit all the way.
    const fs::path big = disc.writeFile("big.iso", "");
    fs::resize_file(big, 3ull << 30);

    const auto entries = readAll(*platform);
    EXPECT_EQ(entries.at(".hidden").attributes & faHidden, faHidden);
    EXPECT_EQ(entries.at("README.TXT").attributes & (faHidden | faReadOnly | faSysFile), 0u);
    EXPECT_EQ(entries.at("README.TXT").attributes & faArchive, faArchive);
    EXPECT_EQ(entries.at("locked.txt").attributes & faReadOnly, faReadOnly);
    EXPECT_EQ(entries.at("pipe").attributes & faSysFile, faSysFile);
    EXPECT_EQ(entries.at("sock").attributes & faSysFile, faSysFile);
    EXPECT_EQ(entries.at("big.iso").size, std::int64_t(3) << 30);
    EXPECT_EQ(platform->findEntry("BIG.ISO")->size, std::int64_t(3) << 30);
}

TEST_F(LinuxPlatformTest, NonUtf8NamesAreListedOpenedAndCopied)
{
    const std::string latin1 = "Caff\xE8.txt";
    disc.writeFile(latin1, "espresso");
    const auto entries = readAll(*platform);
    ASSERT_EQ(entries.count(latin1), 1u);
    EXPECT_EQ(platform->findEntry(latin1)->size, 8);
    EXPECT_EQ(platform->findEntry("CAFF\xE8.TXT")->name, latin1);
    FileHandle file = platform->openFile(latin1);
    ASSERT_TRUE(file.valid());
    EXPECT_EQ(readAllBytes(file), "espresso");
    EXPECT_TRUE(platform->copyFile(latin1, "F:\\" + latin1));
    EXPECT_EQ(readFile(other.path() / latin1), "espresso");
    // Only ASCII letters fold: the upper-case Latin-1 E grave is another name.
    EXPECT_FALSE(platform->findEntry("Caff\xC8.txt"));
}

TEST_F(LinuxPlatformTest, OpenFileRefusesDirectoriesDevicesPipesAndMissingNames)
{
    for (const std::string& path : makeNonRegularFiles(disc, ".readme")) {
        const std::string name = fs::path(path).filename().string();
        for (const std::string& asked : {name, "D:\\" + name, "GAMES\\..\\" + name}) {
            EXPECT_FALSE(platform->openFile(asked).valid()) << asked;
            const NameLookupBatch batch(*platform);
            EXPECT_FALSE(platform->openFile(asked).valid()) << asked << " in a batch";
        }
    }
    EXPECT_FALSE(platform->openFile("GAMES").valid());
    EXPECT_FALSE(platform->openFile("missing").valid());
    EXPECT_FALSE(platform->fileExists("GAMES"));
    EXPECT_TRUE(platform->findEntry("GAMES")->isDirectory());
}

TEST_F(LinuxPlatformTest, UnreadableDirectoriesReportAccessDenied)
{
    fs::permissions(disc.path(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(disc.path() / "GAMES", fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    const fs::path closed = disc.makeDir("CLOSED");
    fs::permissions(closed, fs::perms::none);
    UnprivilegedScope unprivileged;
    if (!unprivileged.effective())
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_EQ(errorCodeOf([&] { platform->setCurrentDirectory("CLOSED"); }), 5);
    platform->setCurrentDirectory("GAMES");  // enterable, not readable
    EXPECT_EQ(errorCodeOf([&] { readAll(*platform); }), 5);
}

TEST_F(LinuxPlatformTest, CopyReplacesAndNeverLeavesPartialFiles)
{
    other.writeFile("Foo.lha", "old contents");
    platform->setCurrentDirectory("GAMES");
    EXPECT_TRUE(platform->copyFile("foo.lha", "F:\\FOO.LHA"));  // replaces Foo.lha, not a second file
    EXPECT_EQ(readFile(other.path() / "Foo.lha"), "archive");
    EXPECT_FALSE(fs::exists(other.path() / "FOO.LHA"));

    EXPECT_FALSE(platform->copyFile("missing.lha", "F:\\Foo.lha"));
    EXPECT_FALSE(platform->copyFile("Sub", "F:\\Foo.lha"));  // a directory
    EXPECT_FALSE(platform->copyFile("[Sub]", "F:\\Foo.lha"));
    EXPECT_FALSE(platform->copyFile("Foo.lha", "F:\\nodir\\Foo.lha"));
    EXPECT_FALSE(platform->copyFile("Foo.lha", "E:\\Foo.lha"));  // no medium
    EXPECT_EQ(readFile(other.path() / "Foo.lha"), "archive");

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(other.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Foo.lha", "x.txt"}));
}

TEST_F(LinuxPlatformTest, CopyIntoReadOnlyFolderFailsAndKeepsTheOldFile)
{
    fs::permissions(other.path(), fs::perms::all, fs::perm_options::replace);
    other.writeFile("keep.txt", "keep");
    fs::permissions(other.path(),
        fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec,
        fs::perm_options::replace);
    UnprivilegedScope unprivileged;
    if (!unprivileged.effective())
        GTEST_SKIP() << "cannot drop root privileges here";
    EXPECT_FALSE(platform->copyFile("D:\\README.TXT", "F:\\keep.txt"));
    EXPECT_EQ(readFile(other.path() / "keep.txt"), "keep");
}

TEST_F(LinuxPlatformTest, StartOpensTheResolvedNameInTheCurrentDirectory)
{
    platform->setCurrentDirectory("GAMES");
    EXPECT_TRUE(platform->runCommandLine("Start FOO.LHA"));
    EXPECT_TRUE(platform->runCommandLine("Start -rf"));
    EXPECT_TRUE(platform->runCommandLine("Start mailto:x"));
    EXPECT_TRUE(platform->runCommandLine("Start [Sub]"));
    disc.writeFile("GAMES/Caff\xE8.lha", "c");
    EXPECT_TRUE(platform->runCommandLine("Start CAFF\xE8.LHA"));
    EXPECT_FALSE(platform->runCommandLine("Format.com A: /F:720"));
    ASSERT_EQ(launcher->calls.size(), 5u);
    // The opener always gets an absolute host path: no name reads as an option or a URL.
    const std::string games = canonical(disc.path() / "GAMES");
    EXPECT_EQ(launcher->calls[4].argv, (std::vector<std::string>{"xdg-open", games + "/Caff\xE8.lha"}));
    EXPECT_EQ(launcher->calls[0].argv, (std::vector<std::string>{"xdg-open", games + "/Foo.lha"}));
    EXPECT_EQ(launcher->calls[0].workingDirectory, games);
    EXPECT_EQ(launcher->calls[1].argv, (std::vector<std::string>{"xdg-open", games + "/-rf"}));
    EXPECT_EQ(launcher->calls[2].argv, (std::vector<std::string>{"xdg-open", games + "/mailto:x"}));
    EXPECT_EQ(launcher->calls[3].argv, (std::vector<std::string>{"xdg-open", games + "/[Sub]"}));
}

TEST_F(LinuxPlatformTest, StartListedFileOpensTheNameInTheGivenDirectory)
{
    other.writeFile("Foo.lha", "decoy");
    platform->setCurrentDirectory("F:\\");
    struct Case {
        std::string directory;
        std::string name;
        bool started;
        std::string path;  // below the disc
    };
    const Case cases[] = {
        {"D:\\GAMES", "foo.lha", true, "GAMES/Foo.lha"}, {"D:\\", "README.TXT", true, "README.TXT"},
        {"D:\\GAMES\\Sub", "deep.txt", true, "GAMES/Sub/deep.txt"}, {"D:\\NOWHERE", "Foo.lha", false, ""},
        {"", "Foo.lha", true, ""},  // the current directory, F:
    };
    for (const Case& c : cases) {
        launcher->calls.clear();
        EXPECT_EQ(platform->startListedFile(c.directory, c.name), c.started) << c.directory << " " << c.name;
        if (!c.started) {
            EXPECT_TRUE(launcher->calls.empty());
            continue;
        }
        ASSERT_EQ(launcher->calls.size(), 1u);
        const std::string expected
            = c.path.empty() ? canonical(other.path() / "Foo.lha") : canonical(disc.path() / c.path);
        EXPECT_EQ(launcher->calls[0].argv, (std::vector<std::string>{"xdg-open", expected})) << c.directory;
    }
    EXPECT_EQ(platform->currentDirectory(), "F:\\");
}

TEST_F(LinuxPlatformTest, OpenListedFileReadsTheNameInTheGivenDirectoryWhereverTheCurrentOneIs)
{
    disc.writeFile("GAMES/C:X", "colon");
    disc.writeFile("GAMES/A\\B", "backslash");
    disc.writeFile("GAMES/[Sub]", "brackets");
    disc.writeFile("GAMES/a*?", "wild");
    disc.writeFile("GAMES/MIXED.Txt", "mixed case");
    other.writeFile("Foo.lha", "decoy");
    other.writeFile("C:X", "decoy colon");
    platform->setCurrentDirectory("F:\\");
    const std::string currentBefore = workingDirectory();
    struct Case {
        std::string name;
        std::string storedName;
        std::string bytes;
    };
    const Case cases[] = {
        {"Foo.lha", "Foo.lha", "archive"},
        {"FOO.LHA", "Foo.lha", "archive"},
        {"C:X", "C:X", "colon"},
        {"A\\B", "A\\B", "backslash"},
        {"[Sub]", "[Sub]", "brackets"},
        {"a*?", "a*?", "wild"},
        {"mixed.txt", "MIXED.Txt", "mixed case"},
        {"Sub\\deep.txt", "deep.txt", "deep"},
        {"D:\\README.TXT", "README.TXT", "top"},
    };
    for (const Case& c : cases) {
        ListedFile file = platform->openListedFile("D:\\GAMES", c.name);
        EXPECT_EQ(file.name, c.storedName) << c.name;
        EXPECT_EQ(file.size, static_cast<std::int64_t>(c.bytes.size())) << c.name;
        EXPECT_EQ(readAllBytes(file.handle), c.bytes) << c.name;
    }
    // Nothing moved: neither the platform's directory nor the process's.
    EXPECT_EQ(platform->currentDirectory(), "F:\\");
    EXPECT_EQ(workingDirectory(), currentBefore);
    // The current directory is the one used without a directory.
    ListedFile current = platform->openListedFile("", "foo.lha");
    EXPECT_EQ(readAllBytes(current.handle), "decoy");
}

TEST_F(LinuxPlatformTest, OpenListedFileRefusesWhatIsNoReadableFileWithTheNameAsGiven)
{
    ASSERT_EQ(::mkfifo((disc.path() / "GAMES" / "pipe").c_str(), 0600), 0);
    struct Case {
        std::string directory;
        std::string name;
    };
    const Case cases[] = {
        {"D:\\GAMES", "missing.lha"}, {"D:\\GAMES", "Sub"}, {"D:\\GAMES", "[Sub]"}, {"D:\\GAMES", "pipe"},
        {"D:\\GAMES", ""}, {"D:\\NOWHERE", "Foo.lha"}, {"D:\\GAMES\\Foo.lha", "x"}, {"E:\\", "Foo.lha"},
        {"Q:\\", "Foo.lha"}, {"GAMES", "Foo.lha"},  // a directory is a path with its drive
    };
    for (const Case& c : cases) {
        try {
            platform->openListedFile(c.directory, c.name);
            ADD_FAILURE() << c.directory << " " << c.name << " opened";
        } catch (const EFOpenError& error) {
            EXPECT_EQ(std::string(error.what()), "Cannot open file " + c.name) << c.directory;
        }
    }
}

TEST(CommandLine, StartBecomesXdgOpenAndOthersAreUnknown)
{
    using Arguments = std::optional<std::vector<std::string>>;
    const auto argumentsOf = [](std::string_view line) -> Arguments {
        const std::optional<CommandLine> command = parseCommandLine(line);
        return command ? Arguments(commandArguments(*command)) : std::nullopt;
    };
    struct Case {
        std::string_view line;
        Arguments arguments;
    };
    const Case cases[] = {
        {"Start a b.txt", std::vector<std::string>{}},
        {"start x;rm -rf ~", std::vector<std::string>{}},
        {"START /abs", std::vector<std::string>{"xdg-open", "/abs"}},
        {"Start ", std::nullopt},
        {"Starter x", std::nullopt},
        {"notepad x", std::nullopt},
        {"Format.com A: /F:720", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(argumentsOf(c.line), c.arguments) << c.line;
}

TEST(DetachedLauncher, StartsWithoutShellInTheWorkingDirectory)
{
    TempDir dir;
    DetachedLauncher launcher;
    // A name a shell would expand: it must arrive as one literal argument.
    EXPECT_TRUE(launcher.launch({"touch", "$(echo x) *;"}, dir.path().string()));
    const fs::path expected = dir.path() / "$(echo x) *;";
    for (int i = 0; i < 200 && !fs::exists(expected); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(expected));
    EXPECT_FALSE(launcher.launch({"iradudo-no-such-program"}, dir.path().string()));
    EXPECT_FALSE(launcher.launch({}, dir.path().string()));
}
