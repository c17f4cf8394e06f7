// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

// Where the machine's mounts, block devices and device nodes are read from;
// tests point these at fixture files and folders.
struct SystemPaths {
    std::string mountInfo = "/proc/self/mountinfo";
    std::string sysBlock = "/sys/block";
    std::string diskByLabel = "/dev/disk/by-label";
    std::string dev = "/dev";
};

// One line of mountinfo, its text fields unescaped.
struct MountEntry {
    long long id = 0;
    long long parentId = 0;
    std::string root;  // the folder of the mounted file system that appears here
    std::string mountPoint;
    std::string fsType;
    std::string source;  // "/dev/sdb", "server:/export", "tmpfs"...
};

// A mountinfo text field with the kernel's \ooo escapes (blank \040, tab \011,
// newline \012, backslash \134) turned back into bytes; nullopt when the field
// would hold a NUL byte, which no path can.
std::optional<std::string> unescapeMountField(std::string_view field);

// One mountinfo line ("36 35 98:0 /mnt1 /mnt2 rw master:1 - ext3 /dev/root rw"),
// without its newline; nullopt when it is malformed.
std::optional<MountEntry> parseMountInfoLine(std::string_view line);

// The mounts as a path lookup sees them: of several mounts on one point only the
// one on top is kept, the others being hidden beneath it.
class MountTable {
public:
    // Bounds on a mountinfo text. The kernel writes root, mount point and source
    // each up to PATH_MAX (4096) bytes, four times that when every byte is
    // escaped, plus a page of options: 64 KiB holds any real line. A mount
    // namespace holds at most fs.mount-max mounts, 100,000 by default.
    static constexpr std::size_t kMaxLineBytes = std::size_t(64) << 10;
    static constexpr std::size_t kMaxMounts = 100000;
    // What is read of a mountinfo file: kMaxMounts lines of a typical 160 bytes.
    static constexpr std::size_t kMaxFileBytes = std::size_t(16) << 20;

    MountTable() = default;

    // Malformed and over-long lines are skipped; lines past kMaxMounts are not read.
    static MountTable fromMountInfo(std::string_view text);
    // An unreadable file gives an empty table; only its first kMaxFileBytes are read.
    static MountTable read(const std::string& mountInfoPath);

    // The visible mounts in the file's order.
    const std::vector<MountEntry>& mounts() const { return mounts_; }
    const MountEntry* at(std::string_view mountPoint) const;
    std::size_t skippedLines() const { return skipped_; }

private:
    std::vector<MountEntry> mounts_;
    std::size_t skipped_ = 0;
};

// A block device of /sys/block with the facts the drive table and the floppy need.
struct BlockDevice {
    std::string name;  // "sda", "fd0", "sr0", "loop3"
    bool removable = false;
    std::int64_t sectors = -1;  // sysfs counts 512-byte sectors whatever the device's own; -1 unreadable
    std::string backingFile;    // a loop device's image file; empty otherwise
};

// One reading of the machine's mounts, block devices and volume labels, made
// once and asked many questions; nothing here blocks on an empty drive.
class SystemScan {
public:
    // Bounds on the folders listed. Each block device costs a few reads of its
    // sysfs folder; 16,384 is far above any machine's disks, loop devices
    // included, and keeps the scan of a runaway fixture short.
    static constexpr std::size_t kMaxFolderEntries = 16384;
    // A sysfs attribute is at most one page; a label link's target a path.
    static constexpr std::size_t kMaxAttributeBytes = 4096;

    explicit SystemScan(const SystemPaths& paths = {});

    const SystemPaths& paths() const { return paths_; }
    const std::vector<MountEntry>& mounts() const { return mounts_.mounts(); }
    // Whole disks, shortest name first so that sr2 comes before sr10.
    const std::vector<BlockDevice>& blockDevices() const { return blocks_; }
    const BlockDevice* blockDevice(std::string_view name) const;

    // The node of a device under paths().dev.
    std::string devicePath(std::string_view name) const;
    // "sdb1" for the mount source "/dev/sdb1"; empty for a source that is no device.
    static std::string deviceNameOfSource(std::string_view source);
    // The whole disk a device belongs to ("sdb" for "sdb1"), or nullptr.
    const BlockDevice* diskOf(std::string_view device) const;
    // The first visible mount of a disk or one of its partitions, or nullptr.
    const MountEntry* mountOfDisk(std::string_view disk) const;
    // The udev label of a device, unescaped; empty when it has none.
    std::string labelOf(std::string_view device) const;

    // The machine's floppy drives: the controller's (fd0, fd1...) first, then
    // USB floppy drives, removable disks holding 720 KB or 1.44 MB.
    std::vector<std::string> floppyDrives() const;
    // The whole disk a path names ("sdb" for /dev/sdb or a link to it); empty
    // when it names no block device of this scan.
    std::string blockDeviceNameOf(const std::string& path) const;
    // Where a floppy device (one of its partitions included) or an image file
    // (through the loop device that holds it) is mounted; empty when it is not.
    std::string mountPointOf(const std::string& deviceOrImage) const;

private:
    SystemPaths paths_;
    MountTable mounts_;
    std::vector<BlockDevice> blocks_;
    std::map<std::string, std::string, std::less<>> partitionDisk_;  // "sdb1" -> "sdb"
    std::map<std::string, std::string, std::less<>> labels_;         // device name -> label
};

// Drive A: as decided once for the run: the path given with --floppy (made
// absolute, since the program changes its working directory as it browses),
// else the machine's first floppy drive, else none.
struct FloppyChoice {
    std::string device;      // image file or block device; empty: no drive A:
    std::string mountPoint;  // where it is mounted, to be reached through; empty: through mtools
};

FloppyChoice chooseFloppy(const std::string& floppyOption, const SystemScan& scan);

}  // namespace iradudo
