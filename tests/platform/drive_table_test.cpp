// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drive_table.h"

#include "support/temp_dir.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace iradudo;
using namespace iradudo::test;
namespace fs = std::filesystem;

namespace {

// A fake /proc, /sys/block and /dev/disk/by-label under a temporary directory.
class SystemFixture {
public:
    SystemFixture()
    {
        paths.mountInfo = (dir.path() / "mountinfo").string();
        paths.sysBlock = (dir.path() / "sys/block").string();
        paths.diskByLabel = (dir.path() / "dev/disk/by-label").string();
        // Mount sources name /dev as the kernel keeps them; device nodes are read here.
        paths.dev = (dir.path() / "dev").string();
        dir.makeDir("sys/block");
        dir.makeDir("dev/disk/by-label");
    }

    void blockDevice(
        const std::string& name, bool removable, long long sectors, std::vector<std::string> partitions = {})
    {
        dir.writeFile("sys/block/" + name + "/removable", removable ? "1\n" : "0\n");
        dir.writeFile("sys/block/" + name + "/size", std::to_string(sectors) + "\n");
        for (const std::string& partition : partitions)
            dir.makeDir("sys/block/" + name + "/" + partition);
    }

    void label(const std::string& escapedLabel, const std::string& device)
    {
        fs::create_symlink("../../" + device, dir.path() / "dev/disk/by-label" / escapedLabel);
    }

    void mount(const std::string& point, const std::string& type, const std::string& source)
    {
        mountInfo << ++id << " 1 8:1 / " << point << " rw,relatime shared:1 - " << type << ' ' << source << " rw\n";
    }

    DriveTable build(const std::vector<std::string>& discs = {})
    {
        std::ofstream(paths.mountInfo) << mountInfo.str();
        return buildSystemDriveTable(discs, paths);
    }

    TempDir dir;
    SystemPaths paths;
    std::ostringstream mountInfo;
    int id = 20;
};

std::string describe(const DriveTable& table)
{
    std::string text;
    for (const Drive& drive : table.drives())
        text += std::string(1, drive.letter) + std::to_string(drive.type) + " " + drive.root + " [" + drive.label + "] "
            + drive.remoteName + "\n";
    return text;
}

}  // namespace

TEST(DriveTable, LettersAreCheckedAndSorted)
{
    Drive d;
    d.letter = 'e';
    Drive c;
    c.letter = 'C';
    const DriveTable table({d, c});
    ASSERT_EQ(table.drives().size(), 2u);
    EXPECT_EQ(table.drives()[0].letter, 'C');
    EXPECT_EQ(table.find('E'), &table.drives()[1]);
    EXPECT_EQ(table.find('x'), nullptr);
    EXPECT_EQ(table.presentMask(), (1u << 2) | (1u << 4));
    Drive bad;
    bad.letter = '1';
    EXPECT_THROW(DriveTable({bad}), std::invalid_argument);
    EXPECT_THROW(DriveTable({c, c}), std::invalid_argument);
}

TEST(SystemDriveTable, OrdersFloppiesRootOpticalImagesDiscsAndUserMounts)
{
    SystemFixture system;
    system.blockDevice("fd0", true, 2880);
    system.blockDevice("sda", false, 1000000, {"sda1", "sda2"});
    system.blockDevice("sdb", true, 64000000, {"sdb1"});
    system.blockDevice("sdc", true, 1440);  // a USB floppy drive with a 720 KiB disk
    system.blockDevice("sr0", true, 1000);
    system.blockDevice("sr1", true, 0);
    system.blockDevice("loop0", false, 1000);
    system.label("ROOTFS", "sda1");
    system.label("AMIGA\\x20CD", "sr0");
    system.label("STICK", "sdb1");
    system.mount("/", "ext4", "/dev/sda1");
    system.mount("/proc", "proc", "proc");
    system.mount("/home", "ext4", "/dev/sda2");
    system.mount("/media/cdrom0", "iso9660", "/dev/sr0");
    system.mount("/media/user/STICK", "vfat", "/dev/sdb1");
    system.mount("/mnt/nas", "nfs4", "server:/export");
    system.mount("/mnt/share", "cifs", "//server/share");
    system.mount("/run/media/user/Ram\\040Disk", "tmpfs", "tmpfs");
    system.mount("/srv/images/disc", "iso9660", "/dev/loop0");
    system.mount("/var/lib/docker", "ext4", "/dev/sda2");
    system.mount("/media", "tmpfs", "tmpfs");  // the folder itself is no drive

    const DriveTable table = system.build({system.dir.path().string()});
    const std::string discRoot = fs::canonical(system.dir.path()).string();
    EXPECT_EQ(describe(table),
        "A2  [] \n"
        "B2  [] \n"
        "C3 / [ROOTFS] \n"
        "D5 /media/cdrom0 [AMIGA CD] \n"
        "E5  [] \n"
        "F5 /srv/images/disc [] \n"
        "G5 "
            + discRoot + " [" + system.dir.path().filename().string()
            + "] \n"
              "H3 /home [] \n"
              "I2 /media/user/STICK [STICK] \n"
              "J4 /mnt/nas [] server:/export\n"
              "K4 /mnt/share [] //server/share\n"
              "L6 /run/media/user/Ram Disk [] \n");
}

TEST(SystemDriveTable, WithoutFloppiesTheRootIsStillC)
{
    SystemFixture system;
    system.mount("/", "ext4", "/dev/sda1");
    const DriveTable table = system.build({(system.dir.makeDir("Disc1")).string() + "/"});
    ASSERT_EQ(table.drives().size(), 2u);
    EXPECT_EQ(table.drives()[0].letter, 'C');
    EXPECT_EQ(table.drives()[1].letter, 'D');
    EXPECT_EQ(table.drives()[1].label, "Disc1");
}

namespace {

// What the code under test writes to std::cerr while the capture lives.
class ErrorCapture {
public:
    ErrorCapture() : previous_(std::cerr.rdbuf(text_.rdbuf())) { }
    ~ErrorCapture() { std::cerr.rdbuf(previous_); }
    std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

}  // namespace

// A disc named on the command line is a directory or an image file; anything
// else is refused, naming it, and never opened (a FIFO would block).
TEST(SystemDriveTable, DiscsThatAreNoDirectoryNorImageAreRefusedByName)
{
    SystemFixture system;
    system.mount("/", "ext4", "/dev/sda1");
    const std::string good = system.dir.makeDir("Good").string();
    const std::string fifo = (system.dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = (system.dir.path() / "missing").string();
    ErrorCapture errors;
    const DriveTable table = system.build({fifo, missing, "/dev/null", good});
    ASSERT_EQ(table.drives().size(), 2u);
    EXPECT_EQ(table.drives()[1].label, "Good");
    EXPECT_NE(errors.text().find(fifo + ": not a directory or a disc image"), std::string::npos) << errors.text();
    EXPECT_NE(errors.text().find("/dev/null: not a directory or a disc image"), std::string::npos);
    EXPECT_NE(errors.text().find(missing + ": No such file or directory"), std::string::npos) << errors.text();
}

TEST(SystemDriveTable, LettersPastZAreDropped)
{
    SystemFixture system;
    system.mount("/", "ext4", "/dev/sda1");
    for (int i = 0; i < 30; ++i)
        system.mount("/mnt/m" + std::to_string(i), "ext4", "/dev/x" + std::to_string(i));
    const DriveTable table = system.build();
    ASSERT_EQ(table.drives().size(), 24u);
    EXPECT_EQ(table.drives().back().letter, 'Z');
    EXPECT_EQ(table.drives().back().root, "/mnt/m22");
}

TEST(SystemDriveTable, DiscsLeftWithoutALetterAreNamed)
{
    SystemFixture system;
    system.mount("/", "ext4", "/dev/sda1");
    std::vector<std::string> discs;
    for (int i = 0; i < 25; ++i)
        discs.push_back(system.dir.makeDir("d" + std::to_string(i)).string());
    ErrorCapture errors;
    const DriveTable table = system.build(discs);
    EXPECT_EQ(table.drives().back().letter, 'Z');
    EXPECT_EQ(errors.text().find(discs[22]), std::string::npos);
    for (const int left : {23, 24})
        EXPECT_NE(errors.text().find(discs[left] + ": no drive letter left"), std::string::npos) << errors.text();
}

TEST(SystemDriveTable, MissingSystemFilesGiveJustTheRoot)
{
    SystemPaths paths;
    paths.mountInfo = "/nonexistent/mountinfo";
    paths.sysBlock = "/nonexistent/block";
    paths.diskByLabel = "/nonexistent/by-label";
    const DriveTable table = buildSystemDriveTable({}, paths);
    ASSERT_EQ(table.drives().size(), 1u);
    EXPECT_EQ(table.drives()[0].root, "/");
}

TEST(Iso9660, VolumeIdComesFromThePrimaryVolumeDescriptor)
{
    TempDir dir;
    dir.writeFile("tree/file.txt", "hello");
    const std::string image = (dir.path() / "disc.iso").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("xorriso", "xorriso", "-as", "mkisofs", "-V", "AMIGA_DISC_42", "-o", image.c_str(),
            (dir.path() / "tree").c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "xorriso failed";
    EXPECT_EQ(readIso9660VolumeId(image), "AMIGA_DISC_42");
    EXPECT_EQ(readIso9660VolumeId((dir.path() / "tree/file.txt").string()), "");
    EXPECT_EQ(readIso9660VolumeId("/nonexistent"), "");
}
