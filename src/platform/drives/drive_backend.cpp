// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/drive_backend.h"

#include "platform/drives/image_copies.h"
#include "platform/file_copy.h"

namespace iradudo {

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
    return file.valid() && startCopiedFile(path.back(), file, copies, launcher);
}

}  // namespace iradudo
