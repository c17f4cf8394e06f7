// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace iradudo {

// Which of an image's name sets the listing shows.
enum class IsoNames {
    RockRidge,  // the Rock Ridge names, bytes as recorded
    Joliet,     // the Joliet names, as UTF-8
    Iso,        // the plain names without ";1" and a trailing "."
};

// A run of consecutive sectors holding (part of) an entry's bytes.
struct IsoExtent {
    std::uint32_t firstSector = 0;
    std::uint64_t bytes = 0;
};

struct IsoEntry {
    std::string name;  // as the listing shows it
    bool directory = false;
    // A symbolic link: listed as a file of no size that cannot be opened, as a
    // link on a directory drive whose target is missing.
    bool link = false;
    std::uint64_t size = 0;  // 0 for directories and links

    // Where the entry lives; callers pass entries back unchanged.
    IsoExtent extent;
    // A file recorded in sections (over 4 GiB): the extents after the first, in order.
    std::vector<IsoExtent> moreExtents;

    std::size_t extentCount() const { return 1 + moreExtents.size(); }
    const IsoExtent& extentAt(std::size_t i) const { return i == 0 ? extent : moreExtents[i - 1]; }
};

// The sectors of an image's data track, 2048 bytes of user data each.
class IsoSectors {
public:
    virtual ~IsoSectors() = default;
    virtual std::uint64_t count() const = 0;
    // False when a sector lies beyond the track or the file cannot give it.
    virtual bool read(std::uint32_t first, std::uint32_t count, char* buffer) const = 0;
};

// A disc image read in place, without mounting: a plain image of 2048-byte
// sectors, a bare image of raw 2352-byte sectors, or the data track of a .cue
// sheet or Nero image. Paths are the names below the image's root; each is
// looked up exactly first, then ASCII-case-insensitively (a unique match wins),
// as on directory drives. A damaged image gives EInOutError with ErrorIoDevice
// for the part that is broken; nothing is read beyond the image or held beyond
// the sizes it can contain.
class IsoImage {
public:
    // Throws EFOpenError naming the file when it is no readable disc image.
    explicit IsoImage(const std::string& imagePath);
    ~IsoImage();
    IsoImage(const IsoImage&) = delete;
    IsoImage& operator=(const IsoImage&) = delete;

    // The primary volume descriptor's volume identifier, trimmed.
    const std::string& volumeLabel() const { return volumeLabel_; }
    IsoNames names() const { return names_; }

    // The entries of a directory without "." and "..". Throws EInOutError:
    // ErrorPathNotFound when a name on the way is missing or no directory,
    // ErrorIoDevice when the directory's records are damaged.
    std::vector<IsoEntry> listDirectory(const std::vector<std::string>& path) const;

    // The entry a path finds; the root for an empty path. nullopt when a name on
    // the way is missing.
    std::optional<IsoEntry> findEntry(const std::vector<std::string>& path) const;

    // A file's bytes, at most maxBytes of them (TooLarge reads nothing).
    WholeFileRead readFile(const IsoEntry& file, std::size_t maxBytes, std::string& bytes) const;

    // count bytes of a file from offset on, across its extents. False when the
    // range lies beyond the file or the image cannot give it.
    bool readAt(const IsoEntry& file, std::uint64_t offset, char* buffer, std::size_t count) const;

private:
    struct Directory;
    struct Record;

    std::shared_ptr<const Directory> directoryOf(const IsoEntry& directory) const;
    std::vector<Record> readRecords(const IsoExtent& extent, bool systemUse) const;
    IsoEntry childLinkEntry(std::uint32_t sector) const;
    bool isRelocationDirectory(const Record& record) const;
    bool extentInImage(const IsoExtent& extent) const;
    std::string isoNameOf(const Record& joliet) const;
    static std::optional<std::uint32_t> firstFileSector(const std::vector<Record>& records);

    std::unique_ptr<IsoSectors> sectors_;
    std::string volumeLabel_;
    IsoNames names_ = IsoNames::Iso;
    IsoEntry root_;
    IsoExtent primaryRoot_;
    int suspSkip_ = 0;  // bytes before the first system use entry of each record
    // Directories read, by the sector they start at: a listing looks up every
    // entry's companion along the same path, which would otherwise re-read it.
    mutable std::unordered_map<std::uint32_t, std::shared_ptr<Directory>> cache_;
    mutable std::size_t cachedEntries_ = 0;
    mutable std::uint64_t clock_ = 0;
    // The plain names of the primary tree, for Joliet names that do not decode:
    // files by extent, directories by the extent of the first file they hold
    // (the two trees share files, not directories); made on first need.
    struct PlainNames;
    mutable std::unique_ptr<PlainNames> plainNames_;
};

// A plain ISO 9660 name as a listing shows it: "README.TXT;1" gives "README.TXT",
// "NOEXT.;1" gives "NOEXT".
std::string plainIsoName(std::string_view recorded);

// A Joliet name (UTF-16, high byte first) as UTF-8; nullopt for an odd length,
// a lone surrogate or a character no name may hold.
std::optional<std::string> jolietName(std::string_view recorded);

}  // namespace iradudo
