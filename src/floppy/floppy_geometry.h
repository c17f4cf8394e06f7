// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace iradudo {

// The two densities an Amiga reads on a PC disk, with the DOS geometry of each.
struct FloppyFormat {
    int kilobytes;        // 720 or 1440: what mformat's -f takes
    std::int64_t bytes;   // 737,280 or 1,474,560
    int tracks;           // 80
    int heads;            // 2
    int sectorsPerTrack;  // 9 or 18
};

inline constexpr FloppyFormat kFloppy720{720, 737280, 80, 2, 9};
inline constexpr FloppyFormat kFloppy1440{1440, 1474560, 80, 2, 18};

// The largest floppy there is (2.88 MB): anything bigger is no floppy and is never formatted.
inline constexpr std::int64_t kLargestFloppyBytes = 2949120;

// The density of a medium of this many bytes; nullopt for any other size.
std::optional<FloppyFormat> floppyFormatOfSize(std::int64_t bytes);

// What a path given as the floppy is.
enum class FloppyPathKind {
    Missing,    // nothing there yet (an image the format program may create)
    ImageFile,  // a regular file
    BlockDevice,
    Other,  // a directory, FIFO...: never a floppy
};

struct FloppyPathInfo {
    FloppyPathKind kind = FloppyPathKind::Missing;
    std::int64_t bytes = 0;  // file size, or the device's capacity (0 when it has no medium)
    bool writable = false;
};

FloppyPathInfo inspectFloppyPath(const std::string& path);

}  // namespace iradudo
