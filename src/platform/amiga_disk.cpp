// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/amiga_disk.h"

#include "base/file_handle.h"
#include "platform/drives/adf_volume.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

using Kind = AmigaDiskError::Kind;

std::atomic<std::uint64_t> writes{0};

bool isDiskSize(std::int64_t bytes)
{
    return bytes == kAmigaDoubleDensityBytes || bytes == kAmigaHighDensityBytes;
}

// Decodes one UTF-8 character at i; -1 for a malformed sequence.
long nextCodePoint(const std::string& text, std::size_t& i)
{
    const auto c = static_cast<unsigned char>(text[i++]);
    if (c < 0x80)
        return c;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (more < 0 || c > 0xF4)
        return -1;
    long value = c & (0x3F >> more);
    for (; more > 0; --more) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return -1;
        value = value << 6 | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return value;
}

std::string readWhole(int fd, std::int64_t size)
{
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw AmigaDiskError(Kind::Io, std::strerror(n < 0 ? errno : EIO));
        done += static_cast<std::size_t>(n);
    }
    return bytes;
}

void writeWhole(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw AmigaDiskError(errno == ENOSPC ? Kind::DiskFull : Kind::Io, std::strerror(n < 0 ? errno : EIO));
        done += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd) != 0)
        throw AmigaDiskError(Kind::Io, std::strerror(errno));
}

// Opens an image for writing; an image without any write permission counts as a
// write-protected disk, for root too.
FileHandle openForWriting(const std::string& imagePath, int extraFlags)
{
    struct stat info { };
    if (::stat(imagePath.c_str(), &info) == 0 && (info.st_mode & 0222) == 0)
        throw AmigaDiskError(Kind::WriteProtected, imagePath);
    FileHandle file(::open(imagePath.c_str(), O_RDWR | O_CLOEXEC | extraFlags, 0644));
    if (!file.valid()) {
        if (errno == EACCES || errno == EROFS || errno == EPERM)
            throw AmigaDiskError(Kind::WriteProtected, imagePath);
        throw AmigaDiskError(errno == ENOENT ? Kind::NotAmigaDisk : Kind::Io, std::strerror(errno));
    }
    return file;
}

}  // namespace

bool isAmigaDiskPath(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".adf";
}

std::string amigaVolumeName(const std::string& imagePath)
{
    const FileHandle file(::open(imagePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info { };
    if (!file.valid() || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode) || !isDiskSize(info.st_size))
        return {};
    try {
        return AdfVolume(readWhole(file.fd(), info.st_size)).volumeName();
    } catch (const AmigaDiskError&) {
        return {};
    }
}

std::vector<std::pair<std::string, bool>> amigaRootEntries(const std::string& imagePath)
{
    const FileHandle file(::open(imagePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info { };
    if (!file.valid() || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode) || !isDiskSize(info.st_size))
        return {};
    std::vector<std::pair<std::string, bool>> entries;
    try {
        for (const AdfEntry& entry : AdfVolume(readWhole(file.fd(), info.st_size)).list({}))
            entries.emplace_back(entry.name, entry.directory);
    } catch (const AmigaDiskError&) {
        return {};
    }
    return entries;
}

std::string amigaNameFromUtf8(const std::string& utf8Name)
{
    std::string name;
    for (std::size_t i = 0; i < utf8Name.size();) {
        const long c = nextCodePoint(utf8Name, i);
        if (c < 0x20 || c > 0xFF || (c >= 0x7F && c < 0xA0) || c == '/' || c == ':')
            throw AmigaDiskError(Kind::BadName, utf8Name);
        name.push_back(static_cast<char>(c));
    }
    if (name.empty() || name.size() > 30)
        throw AmigaDiskError(Kind::BadName, utf8Name);
    return name;
}

std::string amigaCommentFromUtf8(const std::string& utf8Comment)
{
    std::string comment;
    for (std::size_t i = 0; i < utf8Comment.size() && comment.size() < 79;) {
        const long c = nextCodePoint(utf8Comment, i);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            continue;
        comment.push_back(c > 0xFF ? '?' : static_cast<char>(c));
    }
    return comment;
}

void writeAmigaDiskFile(
    const std::string& imagePath, const std::string& name, const std::string& bytes, const std::string& comment)
{
    const FileHandle file = openForWriting(imagePath, 0);
    struct stat info { };
    if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode) || !isDiskSize(info.st_size))
        throw AmigaDiskError(Kind::NotAmigaDisk, imagePath);
    AdfVolume volume(readWhole(file.fd(), info.st_size));
    volume.writeRootFile(name, bytes, comment, amigaDateNow());
    ++writes;
    writeWhole(file.fd(), volume.image());
}

std::uint64_t amigaDiskWriteCount()
{
    return writes;
}

void formatAmigaDisk(
    const std::string& imagePath, AmigaDensity density, bool ffs, const std::string& volumeName, bool sameSizeOnly)
{
    const std::int64_t wanted = density == AmigaDensity::High ? kAmigaHighDensityBytes : kAmigaDoubleDensityBytes;
    struct stat info { };
    const bool exists = ::stat(imagePath.c_str(), &info) == 0;
    if (exists && (!S_ISREG(info.st_mode) || !isDiskSize(info.st_size) || (sameSizeOnly && info.st_size != wanted)))
        throw AmigaDiskError(Kind::NotAmigaDisk, imagePath);
    if (!exists && sameSizeOnly)
        throw AmigaDiskError(Kind::NotAmigaDisk, imagePath);
    const FileHandle file = openForWriting(imagePath, exists ? 0 : O_CREAT | O_EXCL);
    ++writes;
    writeWhole(file.fd(), AdfVolume::blankImage(density, ffs, volumeName, amigaDateNow()));
}

}  // namespace iradudo
