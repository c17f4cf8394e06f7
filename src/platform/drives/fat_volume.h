// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace iradudo {

// A FAT medium, or one structure of it, that cannot be read; the message names
// what was wrong ("bad boot sector", "broken cluster chain"...).
class FatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One directory entry, "." and ".." and the volume label left out.
struct FatEntry {
    std::string name;       // UTF-8: the long name, else the 8.3 name with its case bits
    std::string shortName;  // UTF-8: the 8.3 name as stored, "NAME.EXT"
    bool hasLongName = false;
    bool directory = false;
    std::uint8_t attributes = 0;  // the stored attribute byte
    std::uint32_t size = 0;       // 0 for directories
    std::uint32_t firstCluster = 0;
};

// A read-only FAT12/FAT16 file system over a byte source. Everything it reads
// is untrusted: each count and cluster number taken from the medium is checked
// before use, every cluster chain is bounded by the cluster count and checked
// for loops, and a directory by the largest size the format allows.
//
// 8.3 names are decoded from code page 850, the DOS default in Western Europe
// and the one floppy tools write by default; long names from UCS-2/UTF-16.
class FatVolume {
public:
    // Reads count bytes at offset; false when they cannot all be read.
    using ReadAt = std::function<bool(std::uint64_t offset, void* buffer, std::size_t count)>;

    // Reads the boot sector and the first readable FAT. Throws FatError when the
    // medium holds no FAT12/FAT16 file system. mediumBytes bounds nothing but what
    // must be there to list the root: a truncated medium lists, and what lies past
    // its end fails to read.
    FatVolume(ReadAt readAt, std::uint64_t mediumBytes);

    int fatBits() const { return fatBits_; }
    std::uint32_t clusterCount() const { return clusterCount_; }
    std::uint32_t clusterBytes() const { return clusterBytes_; }
    std::int64_t bytesFree() const;

    // The root's label entry (its long name when it has one), else the boot
    // sector's; spaces trimmed, empty when there is none. Reads the root.
    std::string label() const;

    // Directory contents in stored order. Throw FatError when the directory
    // cannot be read.
    std::vector<FatEntry> root() const;
    std::vector<FatEntry> list(const FatEntry& directory) const;

    // A regular file's bytes; false when they cannot be read (a broken chain,
    // clusters past the medium) or the file is larger than maxBytes.
    bool read(const FatEntry& file, std::size_t maxBytes, std::string& bytes) const;

private:
    struct Parsed {
        std::vector<FatEntry> entries;
        std::optional<std::string> label;
    };
    Parsed parseRoot() const;
    static Parsed parseDirectory(std::string_view bytes);
    std::uint32_t next(std::uint32_t cluster) const;
    // The chain from first, at most maxClusters long; throws FatError when it
    // leaves the cluster range, loops or ends on a free or bad cluster.
    std::vector<std::uint32_t> chain(std::uint32_t first, std::uint32_t maxClusters) const;
    bool readCluster(std::uint32_t cluster, char* buffer, std::size_t count) const;

    ReadAt readAt_;
    int fatBits_ = 0;
    std::uint32_t bytesPerSector_ = 0;
    std::uint32_t clusterBytes_ = 0;
    std::uint32_t clusterCount_ = 0;
    std::uint64_t rootOffset_ = 0;
    std::uint32_t rootBytes_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::string bootLabel_;
    std::vector<std::uint8_t> fat_;
};

// Reads an open file or device with pread; the descriptor must outlive the reader.
FatVolume::ReadAt readFromDescriptor(int fd);

// The entry a name finds: the one with that exact name, else the one equal but
// for ASCII case, else the one whose 8.3 name it is (ASCII case ignored). The
// first step with any match decides; two matches in it find nothing.
std::optional<std::size_t> findFatName(const std::vector<FatEntry>& entries, std::string_view name);

}  // namespace iradudo
