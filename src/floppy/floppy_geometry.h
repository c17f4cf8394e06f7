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

// 1457664 -> "1.457.664", as the Italian DOS wrote byte counts.
std::string groupedDigits(std::int64_t value);

// The density of a medium of this many bytes; nullopt for any other size.
std::optional<FloppyFormat> floppyFormatOfSize(std::int64_t bytes);

// The one test of "this is a floppy" that the copy and the format program
// share: a medium of 720 KB or 1.44 MB whose file system, when one is known
// (fatBits not 0), is FAT12. A 2.88 MB disk is left out: no Amiga drive reads
// it. Anything else (a hard-disk image, a USB stick) is never written.
bool isFloppyMedium(std::int64_t bytes, int fatBits);

// Why such a medium is refused, in the words both programs show (UTF-8 path).
std::string notAFloppyText(const std::string& utf8Path);

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
    bool writable = false;   // and, for an image, not read-only to its owner: see inspectFloppyPath
};

// An image file without any write permission bit counts as a write-protected
// disk even for root, who could write it anyway.
FloppyPathInfo inspectFloppyPath(const std::string& path);

}  // namespace iradudo
