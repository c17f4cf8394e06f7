// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/private_folder.h"

#include "support/scoped_environment.h"
#include "support/temp_dir.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

// Sets a folder's modification time a minute back, past the sweep's grace time.
void age(const fs::path& folder)
{
    timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << folder;
}

// A folder as a program that died left it: lock file present, nobody holding it.
fs::path abandoned(const fs::path& tmp, const std::string& name)
{
    const fs::path folder = tmp / name;
    fs::create_directory(folder);
    std::ofstream(folder / std::string(kPrivateFolderLock)).flush();
    return folder;
}

bool lockIsHeld(const fs::path& folder)
{
    const int fd = ::open((folder / std::string(kPrivateFolderLock)).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace

TEST(PrivateFolderSweep, RemovesOnlyAbandonedFoldersOfOurOwn)
{
    TempDir dir;
    const fs::path tmp = dir.makeDir("tmp");
    const fs::path outside = dir.writeFile("outside/keep.txt", "keep");
    const TmpDirScope scope(tmp);
    std::optional<PrivateFolder> live;

    struct Case {
        std::string name;
        std::function<void(const fs::path& folder)> make;  // makes tmp/name
        bool removed;
    };
    const Case cases[] = {
        {"iradudo-stale", [&](const fs::path&) { abandoned(tmp, "iradudo-stale"); }, true},
        {"iradudo-nested",
            [&](const fs::path& folder) {
                abandoned(tmp, "iradudo-nested");
                dir.writeFile("tmp/iradudo-nested/a/b/c/file.bin", "deep");
                dir.writeFile("tmp/iradudo-nested/GIOCO.LHA", "copy");
                fs::create_symlink(outside, folder / "link-out");
                fs::create_directory_symlink(outside.parent_path(), folder / "a/dir-link-out");
            },
            true},
        {"iradudo-young",
            [&](const fs::path&) {
                abandoned(tmp, "iradudo-young");  // aged below, then touched
            },
            false},
        {"iradudo-unmarked", [&](const fs::path& folder) { fs::create_directory(folder); }, false},
        {"iradudo-link",
            [&](const fs::path& folder) {
                const fs::path target = abandoned(dir.path(), "elsewhere");
                age(target);
                fs::create_directory_symlink(target, folder);
            },
            false},
        {"iradudo-lock-is-a-link",
            [&](const fs::path& folder) {
                fs::create_directory(folder);
                fs::create_symlink(outside, folder / std::string(kPrivateFolderLock));
            },
            false},
        {"other-program-stale", [&](const fs::path&) { abandoned(tmp, "other-program-stale"); }, false},
        {"iradudo-a-file", [&](const fs::path& folder) { std::ofstream(folder) << "x"; }, false},
        {"iradudo-too-deep",
            [&](const fs::path& folder) {
                abandoned(tmp, "iradudo-too-deep");
                fs::path deep = folder;
                for (int level = 0; level <= kSweepMaxDepth; ++level)
                    deep /= "d";
                fs::create_directories(deep);
            },
            false},
    };
    for (const Case& c : cases) {
        c.make(tmp / c.name);
        if (!fs::is_symlink(tmp / c.name))
            age(tmp / c.name);
    }
    {
        // Touched now: as if its owner had only just made it.
        timespec now[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (tmp / "iradudo-young").c_str(), now, 0), 0);
    }
    live = PrivateFolder::create("live");
    ASSERT_TRUE(live);
    dir.writeFile(fs::path(live->path()).lexically_relative(dir.path()).string() + "/GIOCO.LHA", "in use");
    age(live->path());

    const SweepResult result = sweepStalePrivateFolders();
    int removed = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(!fs::exists(fs::symlink_status(tmp / c.name)), c.removed) << c.name;
        removed += c.removed ? 1 : 0;
    }
    EXPECT_EQ(result.removedFolders, removed);
    EXPECT_TRUE(fs::exists(fs::path(live->path()) / "GIOCO.LHA"));
    EXPECT_TRUE(lockIsHeld(live->path()));
    // What links pointed to is untouched.
    EXPECT_EQ(readFile(outside), "keep");
    EXPECT_TRUE(fs::exists(dir.path() / "elsewhere" / std::string(kPrivateFolderLock)));
}

TEST(PrivateFolderSweep, LeavesAFolderOfAnotherUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    TempDir dir;
    const fs::path tmp = dir.makeDir("tmp");
    const fs::path folder = abandoned(tmp, "iradudo-theirs");
    dir.writeFile("tmp/iradudo-theirs/file", "theirs");
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    age(folder);
    EXPECT_EQ(sweepStalePrivateFolders(tmp.string()).removedFolders, 0);
    EXPECT_EQ(readFile(folder / "file"), "theirs");
}

TEST(PrivateFolder, LivesLockedAndGoesWhenEmptyElseTheNextSweepTakesIt)
{
    TempDir dir;
    const fs::path tmp = dir.makeDir("tmp");
    const TmpDirScope scope(tmp);
    std::optional<PrivateFolder> empty = PrivateFolder::create({});
    std::optional<PrivateFolder> used = PrivateFolder::create("mtools");
    ASSERT_TRUE(empty && used);
    for (const fs::path& folder : {fs::path(empty->path()), fs::path(used->path())}) {
        EXPECT_EQ(folder.parent_path(), tmp);
        EXPECT_TRUE(folder.filename().string().starts_with(kPrivateFolderPrefix)) << folder;
        struct stat status { };
        ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        EXPECT_TRUE(lockIsHeld(folder)) << folder;
    }
    EXPECT_NE(empty->path(), used->path());
    EXPECT_TRUE(fs::path(used->path()).filename().string().starts_with("iradudo-mtools-"));
    // The lock must not pass to child programs.
    EXPECT_NE(::fcntl(empty->fd(), F_GETFD) & FD_CLOEXEC, 0);

    const fs::path emptyPath = empty->path();
    const fs::path usedPath = used->path();
    std::ofstream(usedPath / "left.txt") << "left";
    empty.reset();
    used.reset();
    EXPECT_FALSE(fs::exists(emptyPath));
    ASSERT_TRUE(fs::exists(usedPath / "left.txt"));
    EXPECT_FALSE(lockIsHeld(usedPath));
    age(usedPath);
    EXPECT_EQ(sweepStalePrivateFolders().removedFolders, 1);
    EXPECT_FALSE(fs::exists(usedPath));
}

TEST(PrivateFolder, LiveFoldersGoWithAllTheyHoldOnASignal)
{
    TempDir dir;
    const fs::path tmp = dir.makeDir("tmp");
    const TmpDirScope scope(tmp);
    std::optional<PrivateFolder> a = PrivateFolder::create({});
    std::optional<PrivateFolder> b = PrivateFolder::create("mtools");
    ASSERT_TRUE(a && b);
    std::ofstream(fs::path(a->path()) / "copy.txt") << "copy";
    fs::create_directories(fs::path(b->path()) / "sub/dir");
    fs::create_symlink(dir.writeFile("target", "stays"), fs::path(b->path()) / "medium");
    removeLivePrivateFolders();
    EXPECT_TRUE(fs::is_empty(tmp));
    EXPECT_EQ(readFile(dir.path() / "target"), "stays");
}
