// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drive_table.h"

#include "base/exception.h"
#include "platform/amiga_disk.h"
#include "platform/dos_path.h"
#include "platform/drives/iso_image.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {

DriveTable::DriveTable(std::vector<Drive> drives) : drives_(std::move(drives))
{
    std::uint32_t seen = 0;
    for (Drive& drive : drives_) {
        drive.letter = asciiUpper(drive.letter);
        if (!isAsciiUpper(drive.letter))
            throw std::invalid_argument("drive letter outside A..Z");
        const std::uint32_t bit = 1u << (drive.letter - 'A');
        if (seen & bit)
            throw std::invalid_argument(std::string("drive letter given twice: ") + drive.letter);
        seen |= bit;
    }
    std::sort(drives_.begin(), drives_.end(), [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
}

const Drive* DriveTable::find(char letter) const
{
    letter = asciiUpper(letter);
    for (const Drive& drive : drives_) {
        if (drive.letter == letter)
            return &drive;
    }
    return nullptr;
}

std::uint32_t DriveTable::presentMask() const
{
    std::uint32_t mask = 0;
    for (const Drive& drive : drives_)
        mask |= 1u << (drive.letter - 'A');
    return mask;
}

std::string readIso9660VolumeId(const std::string& deviceOrImage)
{
    // O_NONBLOCK: an optical drive without a disc answers at once instead of waiting.
    const int fd = ::open(deviceOrImage.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    char sector[2048];
    const ssize_t n = ::pread(fd, sector, sizeof sector, 16 * 2048);
    ::close(fd);
    if (n != static_cast<ssize_t>(sizeof sector) || sector[0] != 1 || std::string_view(sector + 1, 5) != "CD001")
        return {};
    std::string id(sector + 40, 32);
    const auto last = id.find_last_not_of(' ');
    id.erase(last == std::string::npos ? 0 : last + 1);
    const auto first = id.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : id.substr(first);
}

std::string readFatVolumeLabel(const std::string& deviceOrImage)
{
    const int fd = ::open(deviceOrImage.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    unsigned char sector[512];
    const ssize_t n = ::pread(fd, sector, sizeof sector, 0);
    ::close(fd);
    // The extended boot signature 0x29 says the label field is there.
    if (n != static_cast<ssize_t>(sizeof sector) || sector[510] != 0x55 || sector[511] != 0xAA || sector[38] != 0x29)
        return {};
    std::string label(reinterpret_cast<const char*>(sector + 43), 11);
    label.erase(label.find_last_not_of(' ') + 1);
    return label == "NO NAME" ? std::string() : label;
}

namespace {

std::string baseName(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool startsWith(const std::string& text, std::string_view prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool isUnder(const std::string& path, std::string_view directory)
{
    return path == directory
        || (startsWith(path, directory) && path.size() > directory.size() && path[directory.size()] == '/');
}

}  // namespace

DriveTable buildSystemDriveTable(const std::vector<std::string>& discDirectories, const SystemPaths& paths)
{
    const SystemScan scan(paths);
    return buildSystemDriveTable(discDirectories, chooseFloppy({}, scan), scan);
}

DriveTable buildSystemDriveTable(
    const std::vector<std::string>& discDirectories, const FloppyChoice& driveA, const SystemPaths& paths)
{
    return buildSystemDriveTable(discDirectories, driveA, SystemScan(paths));
}

DriveTable buildSystemDriveTable(
    const std::vector<std::string>& discDirectories, const FloppyChoice& driveA, const SystemScan& scan)
{
    std::vector<Drive> floppies;
    std::vector<Drive> others;
    std::vector<std::string> claimedMounts;

    auto claim = [&](const MountEntry* mount) {
        if (mount)
            claimedMounts.push_back(mount->mountPoint);
        return mount ? mount->mountPoint : std::string();
    };

    const std::string driveADisk = driveA.device.empty() ? std::string() : scan.blockDeviceNameOf(driveA.device);
    if (!driveA.device.empty() || !driveA.mountPoint.empty()) {
        Drive a;
        a.type = DriveRemovable;
        a.root = driveA.mountPoint;
        if (a.root.empty())
            a.floppy = driveA.device;
        else
            claimedMounts.push_back(a.root);
        a.label = isAmigaDiskPath(driveA.device) ? amigaVolumeName(driveA.device) : readFatVolumeLabel(driveA.device);
        if (a.label.empty() && !a.root.empty())
            a.label = scan.labelOf(driveADisk);
        floppies.push_back(a);
    }
    // B: is the machine's floppy drive that A: is not; it is reached only when mounted.
    for (const std::string& disk : scan.floppyDrives()) {
        if (floppies.size() != 1)
            break;
        if (disk == driveADisk)
            continue;
        Drive drive;
        drive.type = DriveRemovable;
        drive.root = claim(scan.mountOfDisk(disk));
        drive.label = drive.root.empty() ? std::string() : scan.labelOf(disk);
        floppies.push_back(drive);
    }

    Drive system;
    system.type = DriveFixed;
    system.root = "/";
    for (const MountEntry& mount : scan.mounts()) {
        if (mount.mountPoint == "/")
            system.label = scan.labelOf(SystemScan::deviceNameOfSource(mount.source));
    }
    claimedMounts.push_back("/");

    for (const BlockDevice& block : scan.blockDevices()) {
        const std::string& disk = block.name;
        if (!startsWith(disk, "sr"))
            continue;
        Drive drive;
        drive.type = DriveCdRom;
        const MountEntry* mount = scan.mountOfDisk(disk);
        drive.root = claim(mount);
        if (mount) {
            drive.label = scan.labelOf(disk);
            if (drive.label.empty())
                drive.label = readIso9660VolumeId(scan.devicePath(disk));
        }
        others.push_back(drive);
    }

    for (const MountEntry& mount : scan.mounts()) {
        if ((mount.fsType != "iso9660" && mount.fsType != "udf")
            || std::find(claimedMounts.begin(), claimedMounts.end(), mount.mountPoint) != claimedMounts.end())
            continue;
        Drive drive;
        drive.type = DriveCdRom;
        drive.root = claim(&mount);
        drive.label = scan.labelOf(SystemScan::deviceNameOfSource(mount.source));
        if (drive.label.empty() && mount.fsType == "iso9660")
            drive.label = readIso9660VolumeId(mount.source);
        others.push_back(drive);
    }

    for (const std::string& directory : discDirectories) {
        Drive drive;
        drive.type = DriveCdRom;
        char resolved[PATH_MAX];
        drive.root = ::realpath(directory.c_str(), resolved) ? std::string(resolved) : directory;
        drive.label = baseName(drive.root);
        // A disc is a directory or an image file; anything else named on the
        // command line is refused here rather than becoming a drive that fails
        // when it is entered (and a FIFO is never opened).
        struct stat status { };
        if (::stat(drive.root.c_str(), &status) != 0) {
            std::cerr << "iradudo: " << directory << ": " << std::strerror(errno) << '\n';
            continue;
        }
        if (!S_ISDIR(status.st_mode) && !S_ISREG(status.st_mode)) {
            std::cerr << "iradudo: " << directory << ": not a directory or a disc image\n";
            continue;
        }
        if (S_ISREG(status.st_mode)) {
            try {
                drive.label = IsoImage(drive.root).volumeLabel();
                drive.image = true;
            } catch (const Exception&) {
                std::cerr << "iradudo: " << directory << ": not a readable disc image\n";
                continue;
            }
        }
        others.push_back(drive);
    }

    static const std::vector<std::string> network = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs"};
    for (const MountEntry& mount : scan.mounts()) {
        const std::string& point = mount.mountPoint;
        const bool userVisible
            = isUnder(point, "/media") || isUnder(point, "/mnt") || isUnder(point, "/run/media") || point == "/home";
        if (!userVisible || point == "/media" || point == "/run/media"
            || std::find(claimedMounts.begin(), claimedMounts.end(), point) != claimedMounts.end())
            continue;
        Drive drive;
        drive.root = claim(&mount);
        if (std::find(network.begin(), network.end(), mount.fsType) != network.end()) {
            drive.type = DriveRemote;
            drive.remoteName = mount.source;
        } else if (mount.fsType == "tmpfs" || mount.fsType == "ramfs") {
            drive.type = DriveRamDisk;
        } else {
            const std::string device = SystemScan::deviceNameOfSource(mount.source);
            const BlockDevice* disk = scan.diskOf(device);
            drive.type = disk && disk->removable ? DriveRemovable : DriveFixed;
            drive.label = scan.labelOf(device);
        }
        others.push_back(drive);
    }

    std::vector<Drive> lettered;
    char letter = 'A';
    for (Drive& drive : floppies) {
        drive.letter = letter++;
        lettered.push_back(std::move(drive));
    }
    system.letter = 'C';
    lettered.push_back(std::move(system));
    letter = 'D';
    for (Drive& drive : others) {
        if (letter > 'Z') {
            // Say which discs asked for on the command line did not get a letter.
            const auto asked = std::find_if(discDirectories.begin(), discDirectories.end(), [&](const std::string& d) {
                char resolved[PATH_MAX];
                return drive.root == (::realpath(d.c_str(), resolved) ? std::string(resolved) : d);
            });
            if (asked != discDirectories.end())
                std::cerr << "iradudo: " << *asked << ": no drive letter left\n";
            continue;
        }
        drive.letter = letter++;
        lettered.push_back(std::move(drive));
    }
    return DriveTable(std::move(lettered));
}

}  // namespace iradudo
