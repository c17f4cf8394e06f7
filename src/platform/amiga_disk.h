// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace iradudo {

// Amiga disk files (".adf"): the raw 512-byte blocks of an Amiga floppy, 880 KB
// (double density, 1760 blocks) or 1.76 MB (high density, 3520 blocks).
constexpr std::int64_t kAmigaDoubleDensityBytes = 901120;
constexpr std::int64_t kAmigaHighDensityBytes = 1802240;

// Why an Amiga disk could not be read or written. The caller words the message
// (it knows which file was being copied); detail holds the names and numbers.
class AmigaDiskError : public std::runtime_error {
public:
    enum class Kind {
        NotAmigaDisk,       // wrong size, no "DOS" boot block, no valid root block
        Damaged,            // a block the operation needs is unreadable or inconsistent
        DiskFull,           // not enough free blocks for the new file
        FitsOnlyReplacing,  // fits only once the old file of that name is gone
        DirectoryCache,     // a directory-cache disk, which this program does not write
        BadName,            // a name the Amiga cannot hold
        NameIsDrawer,       // the name belongs to a drawer of the root
        WriteProtected,     // the image cannot be written
        Io,                 // reading or writing the image file failed
    };
    AmigaDiskError(Kind kind, const std::string& detail) : std::runtime_error(detail), kind_(kind) { }
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// True for a path whose name ends in ".adf", in any letter case.
bool isAmigaDiskPath(const std::string& path);

// The volume name (Latin-1 bytes) of the disk in imagePath; empty when it holds
// no Amiga disk that can be read.
std::string amigaVolumeName(const std::string& imagePath);

// The entries of the disk's root (names Latin-1, and whether each is a drawer);
// empty when it holds no Amiga disk that can be read.
std::vector<std::pair<std::string, bool>> amigaRootEntries(const std::string& imagePath);

// The Latin-1 bytes an Amiga name holds for a UTF-8 name, or throws BadName:
// empty, over 30 characters, holding "/" or ":", or a character outside Latin-1.
std::string amigaNameFromUtf8(const std::string& utf8Name);

// The file comment for a description (UTF-8): converted to Latin-1 (characters
// outside it become "?"), at most 79 characters, control characters dropped.
std::string amigaCommentFromUtf8(const std::string& utf8Comment);

// Writes a file into the root of the disk in imagePath. name and comment are the
// Latin-1 bytes to store (see above). A file of that name (in any letter case)
// is replaced only once the new one is complete; on any failure the image is
// left as it was. Throws AmigaDiskError.
void writeAmigaDiskFile(
    const std::string& imagePath, const std::string& name, const std::string& bytes, const std::string& comment);

// How many writes this process has made to Amiga disk files: a drive that reads
// one reads it again once this changes, since a write can fall within the file
// system's timestamp granularity.
std::uint64_t amigaDiskWriteCount();

enum class AmigaDensity { Double, High };

// Writes a blank disk (non-bootable boot block, empty root, bitmap) to imagePath,
// creating the file when it is missing. ffs picks the Fast File System over the
// original one; volumeName is Latin-1, at most 30 characters. A file that is not
// a disk of one of the two sizes is refused (NotAmigaDisk) and left untouched;
// sameSizeOnly (a quick format) also refuses a disk of the other density.
void formatAmigaDisk(const std::string& imagePath, AmigaDensity density, bool ffs, const std::string& volumeName,
    bool sameSizeOnly = false);

}  // namespace iradudo
