// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/amiga_disk.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace iradudo {

// A point in time as the Amiga keeps it: days since 1 January 1978, minutes
// since midnight, ticks (1/50 s) since the minute began.
struct AmigaDate {
    std::uint32_t days = 0;
    std::uint32_t minutes = 0;
    std::uint32_t ticks = 0;
};

// The current time (UTC) as an Amiga date.
AmigaDate amigaDateNow();
// A Unix time (seconds since 1970, UTC) as an Amiga date.
AmigaDate amigaDateFromUnix(std::int64_t seconds);

struct AdfEntry {
    std::string name;  // bytes as stored (Latin-1), at most 30
    bool directory = false;
    std::uint32_t size = 0;  // bytes; 0 for a drawer
    std::string comment;     // bytes as stored, at most 79
    std::uint32_t block = 0;
    std::uint32_t protection = 0;
};

// The file system of one Amiga disk image held in memory: OFS and FFS, with or
// without international names, with or without directory caches (read through
// the hash chains, which the caches only repeat). Every number taken from the
// image is checked before it is used; a block whose checksum is wrong is not
// believed: an entry whose header fails it is left out of its directory (as
// AmigaOS refuses it) and a file whose data blocks fail it cannot be read.
class AdfVolume {
public:
    // Throws AmigaDiskError (NotAmigaDisk) for anything but a disk of 1760 or
    // 3520 blocks with a "DOS" boot block and a valid root block.
    explicit AdfVolume(std::string image);

    const std::string& image() const { return image_; }
    std::uint32_t blocks() const { return blockCount_; }
    std::string volumeName() const;
    bool fastFileSystem() const { return (flags_ & 1) != 0; }
    bool international() const { return (flags_ & 6) != 0; }
    bool directoryCache() const { return (flags_ & 4) != 0; }

    // A drawer's entries (the root for an empty path). Throws AmigaDiskError
    // (Damaged) when the path leads to no drawer.
    std::vector<AdfEntry> list(const std::vector<std::string>& path) const;
    // The entry a path finds (the root, with an empty name, for an empty path):
    // each name matched exactly first, else without regard to letter case as
    // AmigaOS compares names on this disk.
    std::optional<AdfEntry> find(const std::vector<std::string>& path) const;
    // A file's bytes. Throws AmigaDiskError (Damaged) when they cannot be read whole.
    std::string read(const AdfEntry& file) const;

    // Free blocks as the bitmap says; throws Damaged when the bitmap is not valid.
    std::uint32_t freeBlocks() const;

    // Puts a file into the root (see writeAmigaDiskFile); the image changes only
    // when this succeeds. Throws AmigaDiskError.
    void writeRootFile(const std::string& name, const std::string& bytes, const std::string& comment, AmigaDate now);

    // A blank disk's image.
    static std::string blankImage(AmigaDensity density, bool ffs, const std::string& volumeName, AmigaDate now);

    // Whether two names are the same name on a disk of this kind.
    static bool sameName(const std::string& a, const std::string& b, bool international);
    static std::uint32_t hashName(const std::string& name, bool international);

private:
    std::uint32_t get(std::uint32_t block, std::uint32_t offset) const;
    bool validBlock(std::uint32_t block) const;
    bool checksumOk(std::uint32_t block) const;
    std::optional<AdfEntry> headerEntry(std::uint32_t block) const;
    std::vector<AdfEntry> listBlock(std::uint32_t directory) const;
    std::optional<AdfEntry> findIn(std::uint32_t directory, const std::string& name) const;
    std::vector<std::uint32_t> dataBlocks(const AdfEntry& file, std::vector<std::uint32_t>* extensions) const;
    std::vector<std::uint32_t> bitmapBlocks() const;

    std::string image_;
    std::uint32_t blockCount_ = 0;
    std::uint32_t root_ = 0;
    unsigned flags_ = 0;
};

}  // namespace iradudo
