// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace iradudo {

// One entry of a floppy's root directory, "." and ".." left out.
struct FloppyRootEntry {
    std::string name;       // the long name, else the 8.3 name with its case bits; UTF-8
    std::string shortName;  // the 8.3 name as stored, "NAME.EXT"
    bool directory = false;
    std::int64_t size = 0;  // 0 for directories
};

// What the copy and the format program need to know of an unmounted floppy (an
// image file or a block device) before they write to it.
struct FloppyVolume {
    std::int64_t mediumBytes = 0;  // the image's size, or the device's capacity
    int fatBits = 0;               // 12 or 16; 0 when not known
    std::int64_t bytesFree = -1;   // -1 when not known
    std::string label;             // the volume label, trimmed; empty when none
    std::vector<FloppyRootEntry> root;
};

// Reads the FAT file system of an unmounted floppy. Throws EInOutError
// (ErrorNotReady) when the medium holds no FAT file system that can be read.
FloppyVolume readFloppyVolume(const std::string& deviceOrImage);

}  // namespace iradudo
