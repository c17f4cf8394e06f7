// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_drive.h"
#include "floppy/format_floppy.h"
#include "floppy/format_terminal.h"
#include "platform/linux_platform.h"
#include "platform/mtools.h"
#include "support/host_listed_file.h"
#include "support/temp_dir.h"
#include "support/test_drives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace iradudo;
using iradudo::test::TempDir;

namespace {

SystemPaths fakeSystem(const TempDir& dir)
{
    SystemPaths paths;
    paths.sysBlock = (dir.path() / "sys/block").string();
    paths.dev = "/dev";
    paths.mountInfo = (dir.path() / "mountinfo").string();
    dir.writeFile("mountinfo", "");
    dir.makeDir("sys/block");
    return paths;
}

void fakeDisk(const TempDir& dir, const std::string& name, const std::string& removable, const std::string& sectors)
{
    dir.writeFile("sys/block/" + name + "/removable", removable + "\n");
    dir.writeFile("sys/block/" + name + "/size", sectors + "\n");
}

TEST(FloppyDevice, FoundUnderSysBlock)
{
    const struct {
        const char* what;
        std::vector<std::array<std::string, 3>> disks;
        std::string found;
    } cases[] = {
        {"none", {{"sda", "0", "500118192"}}, ""},
        {"controller drive", {{"sda", "0", "500118192"}, {"fd0", "1", "8"}}, "/dev/fd0"},
        {"USB 1.44 MB", {{"sda", "0", "500118192"}, {"sdb", "1", "2880"}}, "/dev/sdb"},
        {"USB 720 KB", {{"sdc", "1", "1440"}}, "/dev/sdc"},
        {"USB stick is no floppy", {{"sdb", "1", "15633408"}}, ""},
        {"fixed disk of floppy size", {{"loop0", "0", "2880"}}, ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const SystemPaths paths = fakeSystem(dir);
        for (const auto& disk : c.disks)
            fakeDisk(dir, disk[0], disk[1], disk[2]);
        EXPECT_EQ(resolveFloppy("", paths).device, c.found) << c.what;
    }
}

TEST(FloppyDrive, OptionMakesARemovableDriveA)
{
    TempDir dir;
    const SystemPaths paths = fakeSystem(dir);
    fakeDisk(dir, "sdb", "1", "2880");
    const FloppyTarget floppy = resolveFloppy("a.img", paths);
    EXPECT_EQ(floppy.device.front(), '/');
    EXPECT_EQ(floppy.device.substr(floppy.device.size() - 6), "/a.img");

    // A: is the image; the machine's own floppy drive stays, as B:.
    const DriveTable table = buildDriveTable({}, floppy, paths);
    ASSERT_NE(table.find('A'), nullptr);
    EXPECT_EQ(table.find('A')->type, DriveRemovable);
    EXPECT_EQ(table.find('A')->root, "");
    EXPECT_EQ(table.find('A')->floppy, floppy.device);
    ASSERT_NE(table.find('B'), nullptr);
    EXPECT_EQ(table.find('B')->floppy, "");
    EXPECT_EQ(table.presentMask(), 0b111u);

    EXPECT_EQ(resolveFloppy("", paths).device, "/dev/sdb");
    TempDir empty;
    const SystemPaths nothing = fakeSystem(empty);
    const DriveTable without = buildDriveTable({}, resolveFloppy("", nothing), nothing);
    EXPECT_EQ(without.find('A'), nullptr);
    EXPECT_EQ(without.presentMask(), 0b100u);
}

TEST(FloppyDrive, AMountedImageIsReachedThroughItsMountPoint)
{
    TempDir dir;
    SystemPaths paths = fakeSystem(dir);
    const std::string image = dir.writeFile("a.img", std::string(737280, '\0')).string();
    dir.writeFile("sys/block/loop0/loop/backing_file", std::filesystem::canonical(image).string() + "\n");
    EXPECT_EQ(resolveFloppy(image, paths).mountPoint, "");
    dir.writeFile("mountinfo", "40 25 7:0 / /mnt/floppy rw - vfat /dev/loop0 rw\n");
    const FloppyTarget floppy = resolveFloppy(image, paths);
    EXPECT_EQ(floppy.mountPoint, "/mnt/floppy");
    EXPECT_EQ(buildDriveTable({}, floppy, paths).find('A')->root, "/mnt/floppy");
}

// What the kernel writes for a blank, a tab, a newline or a backslash in mountinfo.
std::string kernelEscaped(const std::string& path)
{
    std::string out;
    for (const char c : path) {
        switch (c) {
        case ' ': out += "\\040"; break;
        case '\t': out += "\\011"; break;
        case '\n': out += "\\012"; break;
        case '\\': out += "\\134"; break;
        default: out += c;
        }
    }
    return out;
}

// A floppy the desktop mounted at a folder whose name has a blank in it: found
// as mounted, written through that folder, and refused by the format program.
TEST(FloppyDrive, MountedAtAPathWithABlank)
{
    const struct {
        const char* what;
        const char* folder;  // the mount point, under the fixture
        bool option;         // given with --floppy, else the machine's drive
        bool loopImage;      // an image file mounted through a loop device
    } cases[] = {
        {"USB floppy drive", "media/MY DISK", false, false},
        {"--floppy device", "media/tab\there\\and more", true, false},
        {"--floppy image on a loop device", "media/MY DISK", true, true},
    };
    for (const auto& c : cases) {
        TempDir dir;
        SystemPaths paths = fakeSystem(dir);
        paths.dev = dir.makeDir("dev").string();
        const std::string mountPoint = std::filesystem::canonical(dir.makeDir(c.folder)).string();
        std::string floppy;
        std::string source = "/dev/sdb";
        if (c.loopImage) {
            floppy = dir.writeFile("a b.img", std::string(1474560, '\0')).string();
            dir.writeFile("sys/block/loop0/loop/backing_file", std::filesystem::canonical(floppy).string() + "\n");
            source = "/dev/loop0";
        } else {
            fakeDisk(dir, "sdb", "1", "2880");
            floppy = dir.writeFile("dev/sdb", std::string(1474560, '\0')).string();  // stands in for the node
        }
        dir.writeFile("mountinfo",
            "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n36 22 8:16 / " + kernelEscaped(mountPoint)
                + " rw,nosuid,nodev shared:7 - vfat " + source + " rw,uid=1000\n");
        const std::string before = iradudo::test::readFile(floppy);

        const FloppyTarget target = resolveFloppy(c.option ? floppy : std::string(), paths);
        EXPECT_EQ(target.device, floppy) << c.what;
        EXPECT_EQ(target.mountPoint, mountPoint) << c.what;
        const DriveTable table = buildDriveTable({}, target, paths);
        ASSERT_NE(table.find('A'), nullptr) << c.what;
        EXPECT_EQ(table.find('A')->root, mountPoint) << c.what;

        const std::string file = dir.writeFile("GAME.LHA", "game bytes").string();
        ListedFile game = iradudo::test::openHostListedFile(file);
        copyToFloppy(target, game, "GAME.LHA");
        EXPECT_EQ(iradudo::test::readFile(mountPoint + "/GAME.LHA"), "game bytes") << c.what;

        std::vector<std::string> arguments = {"--yes", "A:", "/Q"};
        if (c.option)
            arguments.insert(arguments.begin(), {"--floppy", floppy});
        std::istringstream in;
        std::ostringstream out;
        EXPECT_EQ(runFormat(parseFormatArguments(arguments), in, out, paths), 1) << c.what;
        EXPECT_NE(out.str().find("in uso (montat"), std::string::npos) << out.str();
        EXPECT_NE(out.str().find(mountPoint + "): smontar"), std::string::npos) << out.str();
        EXPECT_EQ(iradudo::test::readFile(floppy), before) << c.what;
    }
}

// The copy writes onto exactly the media the format program would format: the
// images here come from mkfs.fat and mformat.
TEST(FloppyRule, TheCopyAndTheFormatProgramAgree)
{
    if (!programExists("mformat") || !programExists("mkfs.fat"))
        GTEST_SKIP() << "mtools or dosfstools is not installed";
    const struct {
        const char* what;
        std::vector<std::string> make;  // "IMAGE" stands for the image's path
        bool floppy;
    } cases[] = {
        {"1.44 MB from mkfs.fat", {"mkfs.fat", "-C", "IMAGE", "1440"}, true},
        {"720 KB from mkfs.fat", {"mkfs.fat", "-C", "IMAGE", "720"}, true},
        {"720 KB from mformat", {"mformat", "-C", "-f", "720", "-i", "IMAGE", "::"}, true},
        {"2.88 MB from mformat", {"mformat", "-C", "-f", "2880", "-i", "IMAGE", "::"}, false},
        {"32 MB FAT16 from mkfs.fat", {"mkfs.fat", "-C", "-F", "16", "IMAGE", "32768"}, false},
        {"1.2 MB from mformat", {"mformat", "-C", "-f", "1200", "-i", "IMAGE", "::"}, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string image = (dir.path() / "a.img").string();
        std::vector<std::string> make = c.make;
        for (std::string& word : make)
            if (word == "IMAGE")
                word = image;
        ASSERT_EQ(runProgram(make, {"MTOOLSRC=/dev/null"}).exitCode, 0) << c.what;
        const std::string before = iradudo::test::readFile(image);

        std::string copyMessage;
        try {
            ListedFile game = iradudo::test::openHostListedFile(dir.writeFile("GAME.LHA", "game").string());
            copyToFloppy({image, {}}, game, "GAME.LHA");
        } catch (const EFloppyError& error) {
            copyMessage = error.what();
        }
        std::istringstream in;
        std::ostringstream out;
        std::vector<std::string> quick = {"--floppy", image, "--yes", "A:", "/Q"};
        if (before.size() == 737280)
            quick.push_back("/F:720");
        const int formatted = runFormat(parseFormatArguments(quick), in, out);

        const std::string refusal = image + " non \xC3\xA8 un dischetto da 720 KB o 1,44 MB con file system FAT12";
        EXPECT_EQ(copyMessage.empty(), c.floppy) << c.what << ": " << copyMessage;
        EXPECT_EQ(formatted == 0, c.floppy) << c.what << ": " << out.str();
        if (!c.floppy) {
            EXPECT_EQ(copyMessage.find(refusal), 0u) << copyMessage;
            EXPECT_NE(out.str().find(refusal), std::string::npos) << out.str();
            EXPECT_EQ(iradudo::test::readFile(image), before) << c.what;
        }
    }
}

TEST(FormatTerminal, ArgumentVectors)
{
    const auto only
        = [](std::string terminal) { return [terminal](const std::string& name) { return name == terminal; }; };
    const auto both = [](const std::string& name) { return name == "xterm" || name == "x-terminal-emulator"; };
    using Argv = std::vector<std::string>;
    const struct {
        const char* line;
        std::function<bool(const std::string&)> exists;
        std::string floppy;
        std::optional<Argv> argv;
    } cases[] = {
        {"Format.com A: /F:720", both, "",
            Argv{"x-terminal-emulator", "-e", "/bin/iradudo-format", "--hold", "A:", "/F:720"}},
        {"format.com /Q A: ", only("xterm"), "/home/u/a.img",
            Argv{
                "xterm", "-maximized", "-e", "/bin/iradudo-format", "--hold", "--floppy", "/home/u/a.img", "/Q", "A:"}},
        {"FORMAT.COM A: ", only("xterm"), "", Argv{"xterm", "-maximized", "-e", "/bin/iradudo-format", "--hold", "A:"}},
        {"Format.com A: /F:720", only("nothing"), "", std::nullopt},
        {"Start Format.com", both, "", std::nullopt},
        {"Format.exe A:", both, "", std::nullopt},
    };
    for (const auto& c : cases) {
        const FormatLaunchSetup setup{"/bin/iradudo-format", c.floppy, c.exists};
        EXPECT_EQ(formatTerminalArguments(c.line, setup), c.argv) << c.line;
    }
}

}  // namespace

namespace {

TEST(FormatTerminal, ThePlatformStartsItForFormatCommandLines)
{
    TempDir disc;
    auto launcher = std::make_shared<iradudo::test::RecordingLauncher>();
    iradudo::test::WorkingDirectoryGuard cwd;
    LinuxPlatform platform(DriveTable({iradudo::test::makeDrive('D', DriveCdRom, disc.path().string())}), launcher);
    EXPECT_FALSE(platform.runCommandLine("Format.com A: /F:720")) << "nothing knows Format.com yet";

    setCommandLineTranslator([](std::string_view line) {
        return formatTerminalArguments(
            line, {"/opt/iradudo-format", "/tmp/a.img", [](const std::string& name) { return name == "xterm"; }});
    });
    EXPECT_TRUE(platform.runCommandLine("format.com /Q A: "));
    EXPECT_TRUE(platform.runCommandLine("Start GAME.LHA"));
    setCommandLineTranslator(nullptr);
    ASSERT_EQ(launcher->calls.size(), 2u);
    EXPECT_EQ(launcher->calls[0].argv,
        (std::vector<std::string>{
            "xterm", "-maximized", "-e", "/opt/iradudo-format", "--hold", "--floppy", "/tmp/a.img", "/Q", "A:"}));
    EXPECT_EQ(launcher->calls[1].argv.front(), "xdg-open");
}

}  // namespace
