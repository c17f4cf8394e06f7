// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system_scan.h"

#include "platform/drive_table.h"
#include "platform/run_program.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

using namespace iradudo;
using iradudo::test::TempDir;
namespace fs = std::filesystem;

namespace {

// The kernel's own escaping, written here apart from the reader under test.
std::string escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == ' ')
            out += "\\040";
        else if (c == '\t')
            out += "\\011";
        else if (c == '\n')
            out += "\\012";
        else if (c == '\\')
            out += "\\134";
        else
            out += c;
    }
    return out;
}

std::string line(int id, int parent, const std::string& point, const std::string& type, const std::string& source)
{
    return std::to_string(id) + " " + std::to_string(parent) + " 0:40 / " + escaped(point) + " rw,relatime shared:1 - "
        + type + " " + escaped(source) + " rw\n";
}

TEST(MountInfo, EscapesAreUndoneInMountPointsAndSources)
{
    const struct {
        const char* field;
        std::optional<std::string> text;
    } fields[] = {
        {"/media/user/MY\\040DISK", "/media/user/MY DISK"},
        {"tab\\011here", "tab\there"},
        {"new\\012line", "new\nline"},
        {"back\\134slash", "back\\slash"},
        {"\\134040", "\\040"},  // an escaped backslash is not the start of another escape
        {"\\303\\250", "\xC3\xA8"},
        {"short\\04", "short\\04"},
        {"not\\89octal", "not\\89octal"},
        {"over\\400", "over\\400"},
        {"end\\", "end\\"},
        {"nul\\000byte", std::nullopt},
    };
    for (const auto& f : fields)
        EXPECT_EQ(unescapeMountField(f.field), f.text) << f.field;

    const struct {
        const char* line;
        const char* mountPoint;
        const char* source;
        const char* fsType;
    } lines[] = {
        {"36 25 8:16 / /media/user/MY\\040DISK rw,nosuid shared:7 - vfat /dev/sdb rw", "/media/user/MY DISK",
            "/dev/sdb", "vfat"},
        {"37 25 0:50 / /mnt/a\\011b\\012c rw - fuse.sshfs user@host:/my\\040files rw", "/mnt/a\tb\nc",
            "user@host:/my files", "fuse.sshfs"},
        {"38 25 0:51 /sub /mnt/w\\134in rw master:1 propagate_from:2 - cifs //srv/a\\134b rw", "/mnt/w\\in",
            "//srv/a\\b", "cifs"},
        {"39 25 0:52 / / rw - ext4 /dev/root rw,errors=remount-ro", "/", "/dev/root", "ext4"},
    };
    for (const auto& l : lines) {
        const std::optional<MountEntry> entry = parseMountInfoLine(l.line);
        ASSERT_TRUE(entry) << l.line;
        EXPECT_EQ(entry->mountPoint, l.mountPoint);
        EXPECT_EQ(entry->source, l.source);
        EXPECT_EQ(entry->fsType, l.fsType);
    }
}

TEST(MountInfo, MalformedLinesAreSkipped)
{
    const std::string good = "40 1 8:1 / /mnt/good rw - ext4 /dev/sda1 rw";
    const std::string tooLong = "41 1 8:1 / /mnt/" + std::string(MountTable::kMaxLineBytes, 'x') + " rw - ext4 x rw";
    const char* bad[] = {
        "",
        "-",
        "42 1 8:1 / /mnt/a rw ext4 /dev/sda1 rw",  // no separator
        "43 1 8:1 / /mnt/a - ext4 /dev/sda1 rw",   // no options
        "44 1 8:1 / /mnt/a rw - ext4",             // no source
        "x 1 8:1 / /mnt/a rw - ext4 /dev/sda1 rw",
        "45 -1 8:1 / /mnt/a rw - ext4 /dev/sda1 rw",
        "46 1 801 / /mnt/a rw - ext4 /dev/sda1 rw",
        "47 1 8:1 / mnt/a rw - ext4 /dev/sda1 rw",  // a relative mount point
        "48 1 8:1 / /mnt/a\\000b rw - ext4 /dev/sda1 rw",
        "49 1 8:1 / /mnt/a  rw - ext4 /dev/sda1 rw",  // two blanks: an empty field
        "99999999999999999999 1 8:1 / /mnt/a rw - ext4 /dev/sda1 rw",
        "\x01\xFF garbage \n",
    };
    std::string text = good + "\n";
    for (const char* b : bad) {
        EXPECT_FALSE(parseMountInfoLine(b)) << b;
        text += std::string(b) + "\n";
    }
    text += tooLong + "\n" + good.substr(0, 20);  // and a cut last line
    const MountTable table = MountTable::fromMountInfo(text);
    ASSERT_EQ(table.mounts().size(), 1u);
    EXPECT_EQ(table.mounts()[0].mountPoint, "/mnt/good");
    EXPECT_EQ(table.skippedLines(), std::size(bad) + 3);  // the garbage's newline splits it; the long and the cut line
}

TEST(MountInfo, ALaterMountOverTheSamePointHidesTheEarlier)
{
    const struct {
        const char* what;
        std::string text;
        std::vector<std::string> visibleSources;  // in the file's order
    } cases[] = {
        {"later line wins", line(30, 1, "/mnt/x", "vfat", "/dev/sdb") + line(31, 1, "/mnt/x", "tmpfs", "over"),
            {"over"}},
        {"stacked on its parent", line(30, 1, "/mnt/x", "vfat", "/dev/sdb") + line(31, 30, "/mnt/x", "tmpfs", "over"),
            {"over"}},
        // mount --move onto a mount point: the kernel lists the moved (top) mount first.
        {"moved over, listed first",
            line(66, 67, "/mnt/x", "tmpfs", "moved") + line(67, 46, "/mnt/x", "tmpfs", "beneath"), {"moved"}},
        // Slid beneath the top one: the newer line is underneath.
        {"mounted beneath", line(30, 31, "/mnt/x", "tmpfs", "top") + line(31, 1, "/mnt/x", "tmpfs", "new"), {"top"}},
        {"three deep",
            line(30, 1, "/mnt/x", "tmpfs", "a") + line(31, 30, "/mnt/x", "tmpfs", "b")
                + line(32, 31, "/mnt/x", "tmpfs", "c"),
            {"c"}},
        {"top unmounted again", line(67, 46, "/mnt/x", "tmpfs", "beneath"), {"beneath"}},
        {"other points untouched",
            line(30, 1, "/mnt/x", "tmpfs", "a") + line(31, 1, "/mnt/y", "tmpfs", "b")
                + line(32, 30, "/mnt/x", "tmpfs", "c"),
            {"b", "c"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> sources;
        const MountTable table = MountTable::fromMountInfo(c.text);
        for (const MountEntry& mount : table.mounts())
            sources.push_back(mount.source);
        EXPECT_EQ(sources, c.visibleSources) << c.what;
    }
}

TEST(MountInfo, NoMoreThanTheKernelsMountLimitIsRead)
{
    std::string text;
    for (std::size_t i = 0; i < MountTable::kMaxMounts; ++i)
        text += "1 1 0:1 / /m rw - tmpfs t rw\n";
    text += line(2, 1, "/beyond", "tmpfs", "t");
    const MountTable table = MountTable::fromMountInfo(text);
    EXPECT_EQ(table.mounts().size(), 1u);  // the many lines on /m stack to one
    EXPECT_EQ(table.at("/beyond"), nullptr);
}

// The kernel's own mountinfo, from mounts made in a private user and mount
// namespace: the reader is checked against what the kernel writes, not against
// text written by hand.
TEST(MountInfo, ReadsTheKernelsOwnText)
{
    if (!programExists("unshare"))
        GTEST_SKIP() << "unshare (util-linux) is not installed";
    TempDir dir;
    const std::string blank = dir.makeDir("MY DISK").string();
    const std::string odd = dir.makeDir("tab\there\nnew\\line").string();
    const std::string moved = dir.makeDir("moved").string();
    const std::string out = (dir.path() / "mountinfo").string();
    const std::string afterUnmount = (dir.path() / "mountinfo-after-umount").string();
    const ProgramResult run = runProgram({"unshare", "--user", "--map-root-user", "--mount", "sh", "-c",
        "mount -t tmpfs 'my src' \"$1\" && mount -t tmpfs over \"$1\" && mount -t tmpfs 'back\\slash' \"$2\""
        " && mount -t tmpfs first \"$3\" && mount -t tmpfs under \"$2\" && mount --move \"$3\" \"$2\""
        " && cat /proc/self/mountinfo > \"$4\" && umount \"$2\" && cat /proc/self/mountinfo > \"$5\"",
        "sh", blank, odd, moved, out, afterUnmount});
    if (run.exitCode != 0)
        GTEST_SKIP() << "no unprivileged mount namespace here: " << run.output;

    const MountTable table = MountTable::read(out);
    const std::string realBlank = fs::canonical(blank).string();
    const std::string realOdd = fs::canonical(odd).string();
    ASSERT_NE(table.at(realBlank), nullptr);
    EXPECT_EQ(table.at(realBlank)->source, "over");
    ASSERT_NE(table.at(realOdd), nullptr);
    EXPECT_EQ(table.at(realOdd)->source, "first");
    EXPECT_EQ(table.at(fs::canonical(moved).string()), nullptr);
    EXPECT_EQ(table.skippedLines(), 0u);

    // Unmounting the top one shows the one beneath again.
    const MountTable after = MountTable::read(afterUnmount);
    ASSERT_NE(after.at(realOdd), nullptr);
    EXPECT_EQ(after.at(realOdd)->source, "under");
    ASSERT_NE(after.at(realBlank), nullptr);
    EXPECT_EQ(after.at(realBlank)->source, "over");
}

// A fake /proc/self/mountinfo, /sys/block, /dev and /dev/disk/by-label.
class FakeSystem {
public:
    FakeSystem()
    {
        paths.mountInfo = dir.writeFile("mountinfo", "").string();
        paths.sysBlock = dir.makeDir("sys/block").string();
        paths.dev = dir.makeDir("dev").string();
        paths.diskByLabel = dir.makeDir("dev/disk/by-label").string();
    }

    void disk(const std::string& name, bool removable, long long sectors) const
    {
        dir.writeFile("sys/block/" + name + "/removable", removable ? "1\n" : "0\n");
        dir.writeFile("sys/block/" + name + "/size", std::to_string(sectors) + "\n");
    }

    void mount(const std::string& point, const std::string& type, const std::string& source)
    {
        text += line(++id, 1, point, type, source);
        std::ofstream(paths.mountInfo) << text;
    }

    TempDir dir;
    SystemPaths paths;
    std::string text;
    int id = 20;
};

TEST(SystemScan, FloppyDrivesAndTheirFacts)
{
    FakeSystem system;
    system.disk("sda", false, 500118192);
    system.dir.makeDir("sys/block/sda/sda1");
    system.dir.makeDir("sys/block/sda/holders");
    system.disk("sdc", true, 1440);
    system.disk("sdb", true, 2880);
    system.disk("fd0", true, 8);
    system.disk("sdd", true, 15633408);  // a USB stick
    system.disk("loop0", false, 2880);
    system.dir.writeFile("sys/block/loop0/loop/backing_file", "/home/u/my disk.img\n");
    system.dir.writeFile("sys/block/sr0/size", "garbage\n");
    const SystemScan scan(system.paths);

    EXPECT_EQ(scan.floppyDrives(), (std::vector<std::string>{"fd0", "sdb", "sdc"}));
    EXPECT_EQ(scan.blockDevice("loop0")->backingFile, "/home/u/my disk.img");
    EXPECT_EQ(scan.blockDevice("sr0")->sectors, -1);
    EXPECT_FALSE(scan.blockDevice("sr0")->removable);
    EXPECT_EQ(scan.diskOf("sda1")->name, "sda");
    EXPECT_EQ(scan.diskOf("holders"), nullptr);
    EXPECT_EQ(scan.diskOf("sdz"), nullptr);
    EXPECT_EQ(scan.blockDeviceNameOf(system.paths.dev + "/sda1"), "sda");
    EXPECT_EQ(scan.blockDeviceNameOf("/elsewhere/sda"), "");
}

// Drive A: is decided once, from one source, and the drive table and the floppy
// tools see the same A:; its mount point, blanks and all, is no other drive.
TEST(SystemScan, DriveAIsDecidedOnceForEachSource)
{
    enum Expect { Unmounted, Mounted, None };
    const struct {
        const char* what;
        std::function<std::string(FakeSystem&)> setUp;  // returns the --floppy option
        std::string device;                             // relative to the fixture; "" none
        Expect expect;
        bool driveB;  // the machine's floppy drive, when A: is something else
    } cases[] = {
        {"--floppy image",
            [](FakeSystem& s) {
                s.disk("fd0", true, 8);  // the machine's drive stays B:
                return s.dir.writeFile("a.img", std::string(737280, '\0')).string();
            },
            "a.img", Unmounted, true},
        {"--floppy image mounted through a loop device",
            [](FakeSystem& s) {
                const std::string image = s.dir.writeFile("my a.img", std::string(1474560, '\0')).string();
                s.dir.writeFile("sys/block/loop3/loop/backing_file", fs::canonical(image).string() + "\n");
                s.disk("loop9", false, 2880);
                s.mount("/media/user/MY DISK", "vfat", "/dev/loop3");
                return image;
            },
            "my a.img", Mounted, false},
        {"--floppy device",
            [](FakeSystem& s) {
                s.disk("sdc", true, 2880);
                s.disk("fd0", true, 8);
                s.dir.writeFile("dev/sdc", "");
                s.mount("/media/user/MY DISK", "vfat", "/dev/sdc");
                return (s.dir.path() / "dev/sdc").string();
            },
            "dev/sdc", Mounted, true},
        {"/dev/fd0",
            [](FakeSystem& s) {
                s.disk("sda", false, 500118192);
                s.disk("fd0", true, 8);
                return std::string();
            },
            "dev/fd0", Unmounted, false},
        {"USB floppy drive with a 1.44 MB disk",
            [](FakeSystem& s) {
                s.disk("sda", false, 500118192);
                s.disk("sdb", true, 2880);
                s.mount("/media/user/MY DISK", "vfat", "/dev/sdb");
                return std::string();
            },
            "dev/sdb", Mounted, false},
        {"none",
            [](FakeSystem& s) {
                s.disk("sda", false, 500118192);
                s.disk("sdb", true, 15633408);
                s.mount("/media/user/STICK", "vfat", "/dev/sdb");
                return std::string();
            },
            "", None, false},
    };
    for (const auto& c : cases) {
        FakeSystem system;
        system.mount("/", "ext4", "/dev/sda1");
        const std::string option = c.setUp(system);
        const SystemScan scan(system.paths);
        const FloppyChoice choice = chooseFloppy(option, scan);
        EXPECT_EQ(choice.device, c.device.empty() ? "" : (system.dir.path() / c.device).string()) << c.what;
        EXPECT_EQ(choice.mountPoint, c.expect == Mounted ? "/media/user/MY DISK" : "") << c.what;

        const DriveTable table = buildSystemDriveTable({}, choice, scan);
        // Without --floppy the table's own scan comes to the same A:.
        const DriveTable machineOnly = buildSystemDriveTable({}, system.paths);
        const Drive* a = table.find('A');
        if (c.expect == None) {
            EXPECT_EQ(a, nullptr) << c.what;
            EXPECT_EQ(table.find('B'), nullptr) << c.what;
            EXPECT_EQ(machineOnly.find('A'), nullptr) << c.what;
            continue;
        }
        ASSERT_NE(a, nullptr) << c.what;
        EXPECT_EQ(a->type, DriveRemovable);
        EXPECT_EQ(a->root, choice.mountPoint) << c.what;
        EXPECT_EQ(a->floppy, c.expect == Unmounted ? choice.device : "") << c.what;
        for (const Drive& drive : table.drives())
            EXPECT_TRUE(drive.letter == 'A' || drive.root != "/media/user/MY DISK") << c.what << ": " << drive.letter;
        const Drive* b = table.find('B');
        EXPECT_EQ(b != nullptr, c.driveB) << c.what;
        if (b) {
            EXPECT_EQ(b->root, "") << c.what;
        }
        if (option.empty()) {
            ASSERT_NE(machineOnly.find('A'), nullptr) << c.what;
            EXPECT_EQ(machineOnly.find('A')->root, a->root) << c.what;
            EXPECT_EQ(machineOnly.find('A')->floppy, a->floppy) << c.what;
        }
    }
}

TEST(SystemScan, MissingSystemFilesGiveNothing)
{
    SystemPaths paths;
    paths.mountInfo = "/nonexistent/mountinfo";
    paths.sysBlock = "/nonexistent/block";
    paths.diskByLabel = "/nonexistent/by-label";
    paths.dev = "/nonexistent/dev";
    const SystemScan scan(paths);
    EXPECT_TRUE(scan.mounts().empty());
    EXPECT_TRUE(scan.blockDevices().empty());
    EXPECT_EQ(chooseFloppy("", scan).device, "");
    EXPECT_EQ(scan.mountPointOf("/nonexistent/a.img"), "");
}

}  // namespace
