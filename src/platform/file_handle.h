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
// is read stops at the limit.
WholeFileRead readWholeFile(FileHandle& file, std::size_t maxBytes, std::string& bytes);

}  // namespace iradudo
