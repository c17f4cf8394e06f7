// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"
#include "base/listed_file.h"

#include <string>
#include <sys/stat.h>

namespace iradudo::test {

// A host file opened as a drive hands over a listed file: an invalid handle when
// it cannot be read, as a drive gives for a vanished entry.
inline ListedFile openHostListedFile(const std::string& path)
{
    ListedFile file;
    file.handle = openRegularFile(path);
    struct stat status { };
    if (file.handle.valid() && ::fstat(file.handle.fd(), &status) == 0)
        file.size = status.st_size;
    else
        file.handle = FileHandle();
    return file;
}

}  // namespace iradudo::test
