// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_stream.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

// Large enough that the per-call cost vanishes beside the copying, small
// enough to stay in the cache a decoder reads it from.
constexpr std::size_t kChunk = 64 * 1024;

}  // namespace

FileStreamBuffer::FileStreamBuffer(FileHandle file, std::uint64_t maxBytes)
    : file_(std::move(file)), limit_(maxBytes), buffer_(kChunk)
{
    setg(buffer_.data(), buffer_.data(), buffer_.data());
}

std::uint64_t FileStreamBuffer::position() const
{
    return bufferStart_ + static_cast<std::uint64_t>(gptr() - eback());
}

FileStreamBuffer::int_type FileStreamBuffer::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    const std::uint64_t at = position();
    if (failed_ || !file_.valid() || at >= limit_)
        return traits_type::eof();
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), limit_ - at));
    ssize_t got;
    do
        got = ::pread(file_.fd(), buffer_.data(), wanted, static_cast<off_t>(at));
    while (got < 0 && errno == EINTR);
    bufferStart_ = at;
    if (got <= 0) {
        failed_ = got < 0;
        setg(buffer_.data(), buffer_.data(), buffer_.data());
        return traits_type::eof();
    }
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
}

FileStreamBuffer::pos_type FileStreamBuffer::seekoff(
    off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which)
{
    if (!(which & std::ios_base::in) || !file_.valid())
        return pos_type(off_type(-1));
    off_type base = 0;
    if (direction == std::ios_base::cur) {
        base = static_cast<off_type>(position());
    } else if (direction == std::ios_base::end) {
        struct stat info { };
        if (::fstat(file_.fd(), &info) != 0)
            return pos_type(off_type(-1));
        base = static_cast<off_type>(std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), limit_));
    }
    return seekpos(pos_type(base + offset), which);
}

FileStreamBuffer::pos_type FileStreamBuffer::seekpos(pos_type position, std::ios_base::openmode which)
{
    const off_type target = off_type(position);
    if (!(which & std::ios_base::in) || !file_.valid() || target < 0)
        return pos_type(off_type(-1));
    const auto at = static_cast<std::uint64_t>(target);
    const auto held = static_cast<std::uint64_t>(egptr() - eback());
    if (at >= bufferStart_ && at <= bufferStart_ + held) {
        setg(eback(), eback() + (at - bufferStart_), egptr());
    } else {
        bufferStart_ = at;
        setg(buffer_.data(), buffer_.data(), buffer_.data());
    }
    return position;
}

}  // namespace iradudo
