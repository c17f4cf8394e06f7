// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"

#include <cstdint>
#include <string>

namespace iradudo {

// A file named by a listing, opened through the drive that holds it: readers
// take its bytes from the handle alone, whatever the drive (a host folder, a
// disc image, a floppy read through mtools), and use a name only to pick a
// format and to name the file in messages.
struct ListedFile {
    FileHandle handle;      // at the file's start
    std::string name;       // the name as the medium stores it (bytes)
    std::int64_t size = 0;  // bytes the handle holds when opened
};

}  // namespace iradudo
