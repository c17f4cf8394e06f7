// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/file_handle.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct _iso9660_s;
struct _CdIo;
struct _CdioList;

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
    std::uint64_t size = 0;  // 0 for directories

    // Where the entry lives; callers pass entries back unchanged.
    std::string recordedPath;  // the path the image records, from its root
    IsoExtent extent;
    // A file recorded in sections (over 4 GiB): the extents after the first, in order.
    std::vector<IsoExtent> moreExtents;

    std::size_t extentCount() const { return 1 + moreExtents.size(); }
    const IsoExtent& extentAt(std::size_t i) const { return i == 0 ? extent : moreExtents[i - 1]; }
};

// A disc image read in place, without mounting: a plain image of 2048-byte
// sectors, or a CD image of raw sectors described by a .cue sheet (or a bare
// .bin of raw Mode 1 sectors). Paths are the names below the image's root;
// each is looked up exactly first, then ASCII-case-insensitively (a unique
// match wins), as on directory drives. A damaged image gives EInOutError with
// ErrorIoDevice for the part that is broken; nothing is read beyond the image
// or held beyond the sizes it can contain.
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
    // ErrorPathNotFound when a name on the way is missing or no directory.
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

    void open(const std::string& imagePath, bool joliet);
    void close();
    _CdioList* readRoot();
    _CdioList* readDirectoryList(const std::string& recordedPath) const;
    bool hasJoliet() const;
    std::shared_ptr<const Directory> directoryOf(const IsoEntry& directory) const;
    void checkExtent(const IsoEntry& entry) const;
    bool readSectors(std::uint32_t first, std::uint32_t count, char* buffer) const;
    std::unordered_set<std::uint32_t> sectionStarts(const IsoEntry& directory) const;

    // One of the two is open: the file reader for plain images and bare .bin
    // files, the CD image reader for .cue sheets.
    _iso9660_s* iso_ = nullptr;
    _CdIo* cdio_ = nullptr;
    std::uint64_t imageSectors_ = 0;
    bool rawSectors_ = false;  // a bare .bin of raw sectors
    std::string volumeLabel_;
    IsoNames names_ = IsoNames::Iso;
    IsoEntry root_;
    // The directories read last, newest first: a listing looks up every entry's
    // companion in the same directory, which would otherwise re-read it each time.
    mutable std::vector<std::shared_ptr<const Directory>> recent_;
};

// A plain ISO 9660 name as a listing shows it: "README.TXT;1" gives "README.TXT",
// "NOEXT.;1" gives "NOEXT".
std::string plainIsoName(std::string_view recorded);

}  // namespace iradudo
