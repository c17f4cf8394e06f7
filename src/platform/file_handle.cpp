// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/platform.h"

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace iradudo {

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

}  // namespace iradudo
