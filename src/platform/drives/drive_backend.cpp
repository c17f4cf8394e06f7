// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/drive_backend.h"

#include "base/exception.h"
#include "platform/drives/image_copies.h"
#include "platform/file_copy.h"

namespace iradudo {

bool readHead(FileHandle& file, std::size_t maxBytes, std::string& bytes)
{
    bytes.resize(maxBytes);
    std::size_t size = 0;
    while (file.valid() && size < maxBytes) {
        const ssize_t n = file.read(bytes.data() + size, maxBytes - size);
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        size += static_cast<std::size_t>(n);
    }
    bytes.resize(size);
    return file.valid();
}

bool DriveBackend::readHead(const Path& path, std::size_t maxBytes, std::string& bytes) const
{
    FileHandle file = open(path);
    return iradudo::readHead(file, maxBytes, bytes);
}

bool DriveBackend::copyOut(const Path& path, const std::string& hostDestination) const
{
    FileHandle file = open(path);
    return copyFileReplacing(file, hostDestination);
}

bool DriveBackend::startCopy(const Path& path, ImageCopies& copies, CommandLauncher& launcher) const
{
    if (path.empty())
        return false;
    FileHandle file = open(path);
    if (!file.valid()) {
        // A drawer starts nothing, as on a host drive; a file that will not open is said.
        const std::optional<FileEntry> found = entry(path);
        if (!found || found->isDirectory())
            return false;
        throw EFOpenError(path.back());
    }
    return startCopiedFile(path.back(), file, copies, launcher);
}

}  // namespace iradudo
