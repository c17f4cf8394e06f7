// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_handle.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace iradudo {
namespace {

// O_NONBLOCK stays set on the regular files that pass: reads of a regular file
// never block on it, so clearing it would cost a call for nothing.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

FileHandle regularOnly(FileHandle file)
{
    struct stat info { };
    if (!file.valid() || ::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return file;
}

// The first read of a file whose size is not known (proc and sys files report 0).
constexpr std::size_t kFirstChunk = 64 * 1024;

}  // namespace

FileHandle::~FileHandle()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) { }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

ssize_t FileHandle::read(void* buffer, std::size_t size)
{
    if (fd_ < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

FileHandle openRegularFile(const std::string& hostPath)
{
    return regularOnly(FileHandle(::open(hostPath.c_str(), kReadFlags)));
}

FileHandle openRegularFileAt(int directoryFd, const char* name, bool listedRegular)
{
    FileHandle file(::openat(directoryFd, name, kReadFlags));
    return listedRegular ? std::move(file) : regularOnly(std::move(file));
}

std::size_t detail::wholeFileCapacity(const FileHandle& file, std::size_t maxBytes, bool& tooLarge)
{
    struct stat info { };
    if (!file.valid() || ::fstat(file.fd(), &info) != 0)
        return 0;
    if (info.st_size > 0 && static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        tooLarge = true;
        return 0;
    }
    // One byte beyond the known size, so a file read in one go ends at the next read.
    const std::size_t known = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : kFirstChunk;
    return std::min(maxBytes, known) + 1;
}

}  // namespace iradudo
