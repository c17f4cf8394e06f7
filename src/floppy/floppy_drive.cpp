// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_drive.h"

#include "floppy/floppy_geometry.h"

#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace iradudo {
namespace {

std::string readWord(const std::string& file)
{
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

std::string absolutePath(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return path;
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + path : path;
}

}  // namespace

std::string findFloppyDevice(const SystemPaths& paths)
{
    if (::access((paths.sysBlock + "/fd0").c_str(), F_OK) == 0)
        return paths.dev + "/fd0";
    DIR* dir = ::opendir(paths.sysBlock.c_str());
    if (!dir)
        return {};
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.front() == '.')
            continue;
        const std::string base = paths.sysBlock + "/" + name;
        // The size file counts 512-byte sectors whatever the device's own sector size.
        const std::string sectors = readWord(base + "/size");
        if (readWord(base + "/removable") == "1" && (sectors == "1440" || sectors == "2880")) {
            if (found.empty() || name < found)
                found = name;
        }
    }
    ::closedir(dir);
    return found.empty() ? std::string() : paths.dev + "/" + found;
}

FloppyTarget resolveFloppy(const std::string& floppyOption, const SystemPaths& paths)
{
    FloppyTarget target;
    target.device = floppyOption.empty() ? findFloppyDevice(paths) : absolutePath(floppyOption);
    // Writing past the kernel into a mounted file system would damage it.
    const FloppyPathKind kind = inspectFloppyPath(target.device).kind;
    if (kind == FloppyPathKind::BlockDevice)
        target.mountPoint = mountPointOfDevice(target.device, paths.mountInfo);
    else if (kind == FloppyPathKind::ImageFile)
        target.mountPoint = mountPointOfImage(target.device, paths.sysBlock, paths.mountInfo);
    return target;
}

std::string readFatVolumeLabel(const std::string& deviceOrImage)
{
    const int fd = ::open(deviceOrImage.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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

DriveTable withFloppyDrive(const DriveTable& table, const FloppyTarget& floppy)
{
    if (floppy.device.empty() && floppy.mountPoint.empty())
        return table;
    std::vector<Drive> drives;
    for (const Drive& drive : table.drives()) {
        if (drive.letter != 'A')
            drives.push_back(drive);
    }
    Drive a;
    a.letter = 'A';
    a.type = DriveRemovable;
    a.root = floppy.mountPoint;
    if (floppy.mountPoint.empty())
        a.floppy = floppy.device;
    a.label = readFatVolumeLabel(floppy.device);
    drives.push_back(a);
    return DriveTable(std::move(drives));
}

}  // namespace iradudo
