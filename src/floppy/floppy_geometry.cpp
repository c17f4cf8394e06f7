// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_geometry.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {

std::optional<FloppyFormat> floppyFormatOfSize(std::int64_t bytes)
{
    if (bytes == kFloppy720.bytes)
        return kFloppy720;
    if (bytes == kFloppy1440.bytes)
        return kFloppy1440;
    return std::nullopt;
}

FloppyPathInfo inspectFloppyPath(const std::string& path)
{
    FloppyPathInfo info;
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return info;
    info.writable = ::access(path.c_str(), W_OK) == 0;
    if (S_ISREG(st.st_mode)) {
        info.kind = FloppyPathKind::ImageFile;
        info.bytes = st.st_size;
    } else if (S_ISBLK(st.st_mode)) {
        info.kind = FloppyPathKind::BlockDevice;
        // O_NONBLOCK: an empty drive answers at once.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        std::uint64_t size = 0;
        if (fd >= 0 && ::ioctl(fd, BLKGETSIZE64, &size) == 0)
            info.bytes = static_cast<std::int64_t>(size);
        if (fd >= 0)
            ::close(fd);
    } else {
        info.kind = FloppyPathKind::Other;
    }
    return info;
}

std::string mountPointOfDevice(const std::string& devicePath, const std::string& mountInfo)
{
    char resolved[PATH_MAX];
    const std::string device = ::realpath(devicePath.c_str(), resolved) ? std::string(resolved) : devicePath;
    std::ifstream in(mountInfo);
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        std::istringstream fields(line);
        std::string id, parent, numbers, root, mountPoint, field;
        fields >> id >> parent >> numbers >> root >> mountPoint;
        while (fields >> field && field != "-") { }
        std::string fsType, source;
        fields >> fsType >> source;
        if (source == device)
            return mountPoint;
    }
    return {};
}

std::string mountPointOfImage(const std::string& image, const std::string& sysBlock, const std::string& mountInfo)
{
    char resolved[PATH_MAX];
    if (!::realpath(image.c_str(), resolved))
        return {};
    DIR* dir = ::opendir(sysBlock.c_str());
    if (!dir)
        return {};
    std::string mounted;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, 4, "loop") != 0)
            continue;
        std::ifstream backing(sysBlock + "/" + name + "/loop/backing_file");
        std::string file;
        if (std::getline(backing, file) && file == resolved) {
            mounted = mountPointOfDevice("/dev/" + name, mountInfo);
            if (!mounted.empty())
                break;
        }
    }
    ::closedir(dir);
    return mounted;
}

}  // namespace iradudo
