// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"

#include <cstdint>
#include <streambuf>
#include <vector>

namespace iradudo {

// A read-only, seekable stream buffer over a file opened with openRegularFile,
// for readers that take a std::istream. It reads in chunks of its own, so a
// large file is never held whole, and it ends at maxBytes even when the file
// is longer or grows while it is read. A read error ends the stream (failed()
// then tells it apart from the file's end).
class FileStreamBuffer : public std::streambuf {
public:
    FileStreamBuffer(FileHandle file, std::uint64_t maxBytes);

    bool failed() const { return failed_; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    std::uint64_t position() const;

    FileHandle file_;
    std::uint64_t limit_;
    std::uint64_t bufferStart_ = 0;  // the file offset of the buffer's first byte
    std::vector<char> buffer_;
    bool failed_ = false;
};

}  // namespace iradudo
