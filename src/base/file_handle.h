// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace iradudo {

// An open file for reading; closes itself.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) { }
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Up to size bytes (fewer at the end); -1 on a read error (a directory included).
    ssize_t read(void* buffer, std::size_t size);

private:
    int fd_ = -1;
};

// The one way the program opens a file it reads from a disc: read-only, without
// blocking (a FIFO without a writer or a device would otherwise stall the open),
// never as a controlling terminal, closed across exec, and only when the name
// turns out to be a regular file; a directory, FIFO, device or socket gives an
// invalid handle at once. Symbolic links are followed. Relative names resolve
// against the process's working directory.
FileHandle openRegularFile(const std::string& hostPath);
// The same for a name relative to an open directory. listedRegular: the caller's
// directory read has just reported a regular file by that name, and the fstat is
// left out (a listing opens thousands of companions). Should the name have been
// swapped for something else since, O_NONBLOCK still keeps the open and every
// read from blocking.
FileHandle openRegularFileAt(int directoryFd, const char* name, bool listedRegular = false);

enum class WholeFileRead {
    Complete,
    TooLarge,   // more than the caller's limit; nothing beyond it was read
    ReadError,  // the medium failed while reading
};

// Reads a file from its current position to its end into bytes (replacing what
// they held), never holding more than maxBytes of it: a file whose size is known
// to be larger is refused before anything is read, and one that grows while it
// is read stops at the limit. Bytes is any contiguous byte container with
// resize, data and size (std::string, QByteArray), so the bytes land where the
// caller keeps them without a second copy.
template <class Bytes>
WholeFileRead readWholeFile(FileHandle& file, std::size_t maxBytes, Bytes& bytes);

namespace detail {

// The first buffer size for readWholeFile; 0 when the file cannot be examined.
// Sets tooLarge when its known size exceeds maxBytes.
std::size_t wholeFileCapacity(const FileHandle& file, std::size_t maxBytes, bool& tooLarge);

}  // namespace detail

template <class Bytes>
WholeFileRead readWholeFile(FileHandle& file, std::size_t maxBytes, Bytes& bytes)
{
    bool tooLarge = false;
    std::size_t capacity = detail::wholeFileCapacity(file, maxBytes, tooLarge);
    bytes.resize(0);
    if (tooLarge || capacity == 0)
        return tooLarge ? WholeFileRead::TooLarge : WholeFileRead::ReadError;
    std::size_t size = 0;
    bytes.resize(capacity);
    for (;;) {
        if (size == capacity) {
            if (size > maxBytes) {
                bytes.resize(0);
                return WholeFileRead::TooLarge;
            }
            capacity = maxBytes + 1 - capacity > capacity ? capacity * 2 : maxBytes + 1;
            bytes.resize(capacity);
        }
        const ssize_t n = file.read(bytes.data() + size, capacity - size);
        if (n < 0) {
            bytes.resize(0);
            return WholeFileRead::ReadError;
        }
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    bytes.resize(size);
    return WholeFileRead::Complete;
}

}  // namespace iradudo
