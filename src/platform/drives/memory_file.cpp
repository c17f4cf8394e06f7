// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/drive_backend.h"
#include "platform/file_copy.h"

#include <sys/mman.h>
#include <unistd.h>

namespace iradudo {

FileHandle memoryFile(const std::string& bytes)
{
    FileHandle file(::memfd_create("iradudo-disc-file", MFD_CLOEXEC));
    if (!file.valid() || !writeAll(file.fd(), bytes.data(), bytes.size()) || ::lseek(file.fd(), 0, SEEK_SET) != 0)
        return {};
    return file;
}

}  // namespace iradudo
