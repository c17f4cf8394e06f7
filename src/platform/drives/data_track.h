// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"

#include <cstdint>
#include <optional>
#include <string>

namespace iradudo {

// Where a disc image keeps the sectors of its data track, and how each sector
// wraps its 2048 bytes of user data. A plain .iso is the simplest case: the
// whole file, 2048-byte sectors, nothing around the data.
struct DataTrack {
    FileHandle file;                           // the file holding the track, opened with the safe open
    std::uint64_t byteOffset = 0;              // where the track's first sector starts in file
    int sectorBytes = 2048;                    // 2048, 2352 (raw) or 2336 (Mode 2 without sync and header)
    int userDataOffset = 0;                    // 0; 16 raw Mode 1; 24 raw Mode 2 Form 1; 8 for 2336-byte Mode 2
    bool swappedBytes = false;                 // MOTOROLA: each 16-bit word stored high byte first
    std::optional<std::uint64_t> sectorCount;  // when the sheet or chunk bounds the track
};

// The data track a .cue sheet describes: its first data track, in the FILE the
// sheet names, resolved in the sheet's own folder. Throws EFOpenError naming the
// sheet when the sheet cannot be read, says something the reader cannot follow,
// or names a file that is no regular file.
DataTrack openCueDataTrack(const std::string& sheetPath);

// The data track of a Nero image (.nrg), from its footer and chunk chain. Throws
// EFOpenError naming the image when either cannot be followed.
DataTrack openNrgDataTrack(const std::string& imagePath);

}  // namespace iradudo
