// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drive_table.h"

#include "base/exception.h"
#include "base/file_handle.h"
#include "platform/dos_path.h"
#include "platform/drives/iso_image.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <map>
#include <sstream>
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

namespace {

struct Mount {
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
std::string unescapeOctal(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.size() == 3
                && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out.push_back(static_cast<char>(std::stoi(digits, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// The bytes of a kernel table (mountinfo, a sysfs attribute); empty when it
// cannot be read. Such tables are kilobytes; the bound only guards against a
// path that names something else.
std::string readKernelFile(const std::string& path)
{
    constexpr std::size_t kMaxKernelFile = std::size_t(4) << 20;
    FileHandle file = openRegularFile(path);
    std::string bytes;
    if (!file.valid() || readWholeFile(file, kMaxKernelFile, bytes) != WholeFileRead::Complete)
        return {};
    return bytes;
}

// udev writes unsafe label characters as \xHH.
std::string unescapeHex(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x'
            && std::isxdigit(static_cast<unsigned char>(text[i + 2]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
            i += 3;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<Mount> readMounts(const std::string& mountInfoPath)
{
    std::vector<Mount> mounts;
    std::istringstream in(readKernelFile(mountInfoPath));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> before;
        std::string field;
        while (fields >> field && field != "-")
            before.push_back(field);
        Mount mount;
        if (before.size() < 5 || !(fields >> mount.fsType >> mount.source))
            continue;
        mount.mountPoint = unescapeOctal(before[4]);
        mount.source = unescapeOctal(mount.source);
        // A later mount on the same point hides the earlier one.
        std::erase_if(mounts, [&](const Mount& m) { return m.mountPoint == mount.mountPoint; });
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

std::vector<std::string> listNames(const std::string& directory)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    // sr2 before sr10.
    std::sort(names.begin(), names.end(),
        [](const std::string& a, const std::string& b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
    return names;
}

std::string readFirstWord(const std::string& file)
{
    std::istringstream in(readKernelFile(file));
    std::string word;
    in >> word;
    return word;
}

bool pathExists(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0;
}

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

class SystemScan {
public:
    explicit SystemScan(const SystemPaths& paths)
        : paths_(paths), mounts_(readMounts(paths.mountInfo)), blockDevices_(listNames(paths.sysBlock))
    {
        for (const std::string& name : listNames(paths.diskByLabel)) {
            char target[4096];
            const ssize_t n = ::readlink((paths.diskByLabel + "/" + name).c_str(), target, sizeof target - 1);
            if (n > 0)
                labels_[baseName(std::string(target, static_cast<std::size_t>(n)))] = unescapeHex(name);
        }
    }

    const std::vector<Mount>& mounts() const { return mounts_; }
    const std::vector<std::string>& blockDevices() const { return blockDevices_; }

    std::string devicePath(const std::string& name) const { return paths_.dev + "/" + name; }

    // The mount of a block device (the whole disk or one of its partitions).
    const Mount* mountOf(const std::string& disk) const
    {
        for (const Mount& mount : mounts_) {
            const std::string device = deviceName(mount.source);
            if (!device.empty() && (device == disk || diskOf(device) == disk))
                return &mount;
        }
        return nullptr;
    }

    // "sdb1" for "/dev/sdb1"; empty for sources that are no device.
    std::string deviceName(const std::string& source) const
    {
        const std::string prefix = paths_.dev + "/";
        return startsWith(source, prefix) ? source.substr(prefix.size()) : std::string();
    }

    // The whole disk a device name belongs to ("sdb" for "sdb1").
    std::string diskOf(const std::string& device) const
    {
        for (const std::string& disk : blockDevices_) {
            if (disk == device || pathExists(paths_.sysBlock + "/" + disk + "/" + device))
                return disk;
        }
        return {};
    }

    bool isRemovable(const std::string& disk) const
    {
        return !disk.empty() && readFirstWord(paths_.sysBlock + "/" + disk + "/removable") == "1";
    }

    long long sectors(const std::string& disk) const
    {
        const std::string text = readFirstWord(paths_.sysBlock + "/" + disk + "/size");
        return text.empty() ? -1 : std::atoll(text.c_str());
    }

    std::string labelOf(const std::string& device) const
    {
        const auto found = labels_.find(device);
        return found == labels_.end() ? std::string() : found->second;
    }

private:
    const SystemPaths& paths_;
    std::vector<Mount> mounts_;
    std::vector<std::string> blockDevices_;
    std::map<std::string, std::string> labels_;  // device name -> label
};

bool isUnder(const std::string& path, std::string_view directory)
{
    return path == directory
        || (startsWith(path, directory) && path.size() > directory.size() && path[directory.size()] == '/');
}

}  // namespace

DriveTable buildSystemDriveTable(const std::vector<std::string>& discDirectories, const SystemPaths& paths)
{
    const SystemScan scan(paths);
    std::vector<Drive> floppies;
    std::vector<Drive> others;
    std::vector<std::string> claimedMounts;

    auto claim = [&](const Mount* mount) {
        if (mount)
            claimedMounts.push_back(mount->mountPoint);
        return mount ? mount->mountPoint : std::string();
    };

    for (const std::string& disk : scan.blockDevices()) {
        const long long size = scan.sectors(disk);
        const bool usbFloppy = scan.isRemovable(disk) && (size == 1440 || size == 2880);
        if ((disk == "fd0" || disk == "fd1" || usbFloppy) && floppies.size() < 2) {
            Drive drive;
            drive.type = DriveRemovable;
            drive.root = claim(scan.mountOf(disk));
            drive.label = drive.root.empty() ? std::string() : scan.labelOf(disk);
            floppies.push_back(drive);
        }
    }

    Drive system;
    system.type = DriveFixed;
    system.root = "/";
    for (const Mount& mount : scan.mounts()) {
        if (mount.mountPoint == "/")
            system.label = scan.labelOf(scan.deviceName(mount.source));
    }
    claimedMounts.push_back("/");

    for (const std::string& disk : scan.blockDevices()) {
        if (!startsWith(disk, "sr"))
            continue;
        Drive drive;
        drive.type = DriveCdRom;
        const Mount* mount = scan.mountOf(disk);
        drive.root = claim(mount);
        if (mount) {
            drive.label = scan.labelOf(disk);
            if (drive.label.empty())
                drive.label = readIso9660VolumeId(scan.devicePath(disk));
        }
        others.push_back(drive);
    }

    for (const Mount& mount : scan.mounts()) {
        if ((mount.fsType != "iso9660" && mount.fsType != "udf")
            || std::find(claimedMounts.begin(), claimedMounts.end(), mount.mountPoint) != claimedMounts.end())
            continue;
        Drive drive;
        drive.type = DriveCdRom;
        drive.root = claim(&mount);
        drive.label = scan.labelOf(scan.deviceName(mount.source));
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
    for (const Mount& mount : scan.mounts()) {
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
            const std::string device = scan.deviceName(mount.source);
            drive.type = scan.isRemovable(scan.diskOf(device)) ? DriveRemovable : DriveFixed;
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
