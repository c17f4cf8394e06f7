// SPDX-License-Identifier: GPL-3.0-or-later
#include "floppy/floppy_geometry.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {

std::string groupedDigits(std::int64_t value)
{
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && digits[i - 1] != '-' && (digits.size() - i) % 3 == 0)
            text += '.';
        text += digits[i];
    }
    return text;
}

std::optional<FloppyFormat> floppyFormatOfSize(std::int64_t bytes)
{
    if (bytes == kFloppy720.bytes)
        return kFloppy720;
    if (bytes == kFloppy1440.bytes)
        return kFloppy1440;
    return std::nullopt;
}

bool isFloppyMedium(std::int64_t bytes, int fatBits)
{
    return floppyFormatOfSize(bytes).has_value() && (fatBits == 0 || fatBits == 12);
}

std::string notAFloppyText(const std::string& utf8Path)
{
    return utf8Path + " non \xC3\xA8 un dischetto da 720 KB o 1,44 MB con file system FAT12";
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
        info.writable = info.writable && (st.st_mode & 0222) != 0;
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

}  // namespace iradudo
