// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/system_scan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace iradudo {

// Drive-type codes as the desktop, the drive lists and the CLI report them.
enum DriveType : int {
    DriveUnknown = 0,
    DriveNoRootDir = 1,
    DriveRemovable = 2,
    DriveFixed = 3,
    DriveRemote = 4,
    DriveCdRom = 5,
    DriveRamDisk = 6,
};

struct Drive {
    char letter = 0;  // 'A'..'Z'
    int type = DriveUnknown;
    std::string root;         // host directory of the drive's root; empty: no medium
    std::string label;        // volume label bytes; empty when it cannot be read
    std::string remoteName;   // network drives: the mount source; empty otherwise
    bool image = false;       // root is a disc image file, read in place
    std::string floppy = {};  // an unmounted floppy (no root): its block device or image file, read through mtools
};

// The drives of one run, in letter order, built once and never re-read.
class DriveTable {
public:
    DriveTable() = default;

    // Takes drives with their letters already set (tests build tables this way).
    // Letters are upper-cased; throws std::invalid_argument on a letter outside
    // A..Z or a letter given twice.
    explicit DriveTable(std::vector<Drive> drives);

    const std::vector<Drive>& drives() const { return drives_; }

    // The drive of a letter (either case), or nullptr when there is none.
    const Drive* find(char letter) const;

    // Bit 0 = A: ... bit 25 = Z:, one bit per drive in the table.
    std::uint32_t presentMask() const;

private:
    std::vector<Drive> drives_;
};

// The production table: A: as driveA says and B: for the machine's first other
// floppy drive, C: for "/", then from D: optical drives, other iso9660/udf mounts,
// the disc directories (each a CD-ROM labelled with the directory's name; a disc
// image file instead is labelled with its volume identifier, and one that is no
// readable image is left out with a message on stderr), and the mounts under
// /media, /mnt, /run/media and a separate /home. A mounted floppy is its drive
// and no other. Letters past Z are dropped. Never blocks on an empty drive.
DriveTable buildSystemDriveTable(
    const std::vector<std::string>& discDirectories, const FloppyChoice& driveA, const SystemScan& scan);
DriveTable buildSystemDriveTable(
    const std::vector<std::string>& discDirectories, const FloppyChoice& driveA, const SystemPaths& paths = {});
// The same with A: chosen from the machine alone, as without --floppy.
DriveTable buildSystemDriveTable(const std::vector<std::string>& discDirectories, const SystemPaths& paths = {});

// The volume identifier of an iso9660 primary volume descriptor read from a device
// or image file, trimmed; empty when the file is no iso9660 volume or unreadable.
std::string readIso9660VolumeId(const std::string& deviceOrImage);

// The volume label of a FAT boot sector, trimmed; empty when none or unreadable.
std::string readFatVolumeLabel(const std::string& deviceOrImage);

}  // namespace iradudo
