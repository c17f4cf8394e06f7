// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/iso_image.h"

#include "base/exception.h"
#include "platform/dos_path.h"
#include "platform/io_error.h"

#include <algorithm>
#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace iradudo {

namespace {

constexpr std::uint64_t kSectorBytes = ISO_BLOCKSIZE;
// The reader holds a whole directory at once; no real disc comes near this, and a
// damaged size must not become an allocation of gigabytes.
constexpr std::uint64_t kMaxDirectoryBytes = 64u << 20;

struct RawEntry {
    IsoEntry entry;
    bool rockRidge = false;
};

std::vector<RawEntry> rawEntries(CdioList_t* list, const std::string& recordedPath)
{
    if (list == nullptr)
        throw EInOutError(ErrorIoDevice);
    std::vector<RawEntry> entries;
    CdioListNode_t* node = nullptr;
    _CDIO_LIST_FOREACH(node, list)
    {
        const auto* stat = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
        RawEntry raw;
        raw.rockRidge = stat->rr.b3_rock == yep;
        raw.entry.name = stat->filename;
        raw.entry.directory = stat->type == iso9660_stat_s::_STAT_DIR;
        raw.entry.extent = {static_cast<std::uint32_t>(stat->lsn), stat->size};
        raw.entry.size = raw.entry.directory ? 0 : stat->size;
        raw.entry.recordedPath = (recordedPath == "/" ? "" : recordedPath) + "/" + raw.entry.name;
        entries.push_back(std::move(raw));
    }
    iso9660_filelist_free(list);
    return entries;
}

bool hasRepeatedName(const std::vector<RawEntry>& entries)
{
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].entry.name == entries[i - 1].entry.name)
            return true;
    }
    return false;
}

// Consecutive entries of one name make one file when the earlier ones start at
// sections whose records say more follow.
void joinSections(std::vector<RawEntry>& entries, const std::unordered_set<std::uint32_t>& starts)
{
    std::vector<RawEntry> joined;
    for (RawEntry& raw : entries) {
        if (!joined.empty()) {
            IsoEntry& last = joined.back().entry;
            if (!last.directory && !raw.entry.directory && last.name == raw.entry.name
                && starts.contains(last.extentAt(last.extentCount() - 1).firstSector)) {
                last.moreExtents.push_back(raw.entry.extent);
                last.size += raw.entry.size;
                continue;
            }
        }
        joined.push_back(std::move(raw));
    }
    entries = std::move(joined);
}

bool endsWithIgnoringCase(const std::string& text, std::string_view suffix)
{
    return text.size() >= suffix.size() && asciiLower(text.substr(text.size() - suffix.size())) == suffix;
}

// A CD image of raw sectors starts with the 12-byte sync pattern of its first sector.
bool startsWithSectorSync(const std::string& imagePath)
{
    static constexpr unsigned char kSync[12] = {0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0};
    FileHandle file(::open(imagePath.c_str(), O_RDONLY | O_CLOEXEC));
    unsigned char head[sizeof kSync] = {};
    return file.valid() && ::pread(file.fd(), head, sizeof head, 0) == static_cast<ssize_t>(sizeof head)
        && std::memcmp(head, kSync, sizeof kSync) == 0;
}

constexpr std::uint64_t kRawSectorBytes = CDIO_CD_FRAMESIZE_RAW;
constexpr iso_extension_mask_t kJoliet
    = ISO_EXTENSION_JOLIET_LEVEL1 | ISO_EXTENSION_JOLIET_LEVEL2 | ISO_EXTENSION_JOLIET_LEVEL3;
// Where a file's directory record says more sections of the file follow.
constexpr std::uint8_t kMoreSections = 0x80;

bool isDotEntry(const std::string& name)
{
    return name == "." || name == "..";
}

constexpr std::size_t kRecentDirectories = 8;
constexpr std::size_t kAmbiguous = static_cast<std::size_t>(-1);

std::string trimmed(std::string text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

}  // namespace

struct IsoImage::Directory {
    std::string recordedPath;
    std::vector<IsoEntry> entries;
    std::unordered_map<std::string, std::size_t> exact;
    std::unordered_map<std::string, std::size_t> folded;  // kAmbiguous when two names fold alike

    const IsoEntry* match(const std::string& name) const
    {
        if (const auto it = exact.find(name); it != exact.end())
            return &entries[it->second];
        const auto it = folded.find(asciiLower(name));
        return it != folded.end() && it->second != kAmbiguous ? &entries[it->second] : nullptr;
    }
};

std::string plainIsoName(std::string_view recorded)
{
    const std::size_t semicolon = recorded.rfind(';');
    if (semicolon != std::string_view::npos && semicolon + 1 < recorded.size()
        && recorded.find_first_not_of("0123456789", semicolon + 1) == std::string_view::npos)
        recorded = recorded.substr(0, semicolon);
    if (recorded.size() > 1 && recorded.back() == '.')
        recorded.remove_suffix(1);
    return std::string(recorded);
}

IsoImage::IsoImage(const std::string& imagePath)
{
    // The reader's own warnings would repeat, in its words, what the errors here say.
    cdio_loglevel_default = CDIO_LOG_ERROR;
    struct stat status { };
    if (::stat(imagePath.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        throw EFOpenError(imagePath);
    try {
        open(imagePath, false);
        iso9660_pvd_t pvd{};
        if (!(iso_ ? iso9660_ifs_read_pvd(iso_, &pvd) : iso9660_fs_read_pvd(cdio_, &pvd)))
            throw EInOutError(ErrorIoDevice);
        if (char* id = iso9660_get_volume_id(&pvd)) {
            volumeLabel_ = trimmed(id);
            std::free(id);
        }
        // Rock Ridge marks even the root's "." entry, so the root alone tells.
        bool rockRidge = false;
        for (const RawEntry& raw : rawEntries(readRoot(), "/"))
            rockRidge = rockRidge || raw.rockRidge;
        if (rockRidge) {
            names_ = IsoNames::RockRidge;
        } else if (hasJoliet()) {
            close();
            open(imagePath, true);
            names_ = IsoNames::Joliet;
            iso9660_filelist_free(readRoot());
        }
    } catch (const EInOutError&) {
        close();
        throw EFOpenError(imagePath);
    }
}

IsoImage::~IsoImage()
{
    close();
}

void IsoImage::open(const std::string& imagePath, bool joliet)
{
    const iso_extension_mask_t extensions = joliet ? kJoliet : ISO_EXTENSION_NONE;
    struct stat status { };
    if (::stat(imagePath.c_str(), &status) != 0)
        throw EInOutError(ErrorIoDevice);
    const auto fileBytes = static_cast<std::uint64_t>(status.st_size);
    // No .nrg: the CD image reader's parser for those stops the whole process on
    // a malformed chunk instead of failing.
    if (endsWithIgnoringCase(imagePath, ".cue")) {
        cdio_ = cdio_open_cue(imagePath.c_str());
        if (cdio_ == nullptr || !iso9660_fs_read_superblock(cdio_, extensions))
            throw EInOutError(ErrorIoDevice);
        const lsn_t end = cdio_get_disc_last_lsn(cdio_);
        imageSectors_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    } else if (startsWithSectorSync(imagePath)) {
        // The reader finds the data within each raw sector by the descriptors' signature.
        iso_ = iso9660_open_fuzzy_ext(imagePath.c_str(), extensions, CDIO_CD_SYNC_SIZE + CDIO_CD_HEADER_SIZE);
        imageSectors_ = fileBytes / kRawSectorBytes;
        rawSectors_ = true;
    } else {
        iso_ = iso9660_open_ext(imagePath.c_str(), extensions);
        imageSectors_ = fileBytes / kSectorBytes;
    }
    if (iso_ == nullptr && cdio_ == nullptr)
        throw EInOutError(ErrorIoDevice);
}

void IsoImage::close()
{
    if (iso_ != nullptr)
        iso9660_close(iso_);
    if (cdio_ != nullptr)
        cdio_destroy(cdio_);
    iso_ = nullptr;
    cdio_ = nullptr;
}

CdioList_t* IsoImage::readRoot()
{
    // The root's own record sizes its directory, checked before the reader trusts it.
    iso9660_stat_t* stat = iso_ ? iso9660_ifs_stat(iso_, "/") : iso9660_fs_stat(cdio_, "/");
    if (stat == nullptr)
        throw EInOutError(ErrorIoDevice);
    root_ = IsoEntry{};
    root_.directory = true;
    root_.recordedPath = "/";
    root_.extent = {static_cast<std::uint32_t>(stat->lsn), stat->size};
    iso9660_stat_free(stat);
    checkExtent(root_);
    CdioList_t* list = readDirectoryList("/");
    if (list == nullptr)
        throw EInOutError(ErrorIoDevice);
    return list;
}

CdioList_t* IsoImage::readDirectoryList(const std::string& recordedPath) const
{
    return iso_ ? iso9660_ifs_readdir(iso_, recordedPath.c_str()) : iso9660_fs_readdir(cdio_, recordedPath.c_str());
}

bool IsoImage::hasJoliet() const
{
    // The supplementary volume descriptors follow the primary one from sector 16
    // until the set's terminator; a Joliet one names a UCS-2 level by escape sequence.
    constexpr std::uint32_t kMaxDescriptors = 32;
    char sector[kSectorBytes];
    for (std::uint32_t i = 0; i < kMaxDescriptors; ++i) {
        if (!readSectors(ISO_PVD_SECTOR + i, 1, sector))
            return false;
        const auto type = static_cast<unsigned char>(sector[0]);
        if (type == ISO_VD_END || std::memcmp(sector + 1, ISO_STANDARD_ID, 5) != 0)
            return false;
        if (type == ISO_VD_SUPPLEMENTARY && sector[88] == '%' && sector[89] == '/'
            && (sector[90] == '@' || sector[90] == 'C' || sector[90] == 'E'))
            return true;
    }
    return false;
}

void IsoImage::checkExtent(const IsoEntry& entry) const
{
    const std::uint64_t imageBytes = imageSectors_ * kSectorBytes;
    for (std::size_t i = 0; i < entry.extentCount(); ++i) {
        const IsoExtent& extent = entry.extentAt(i);
        const std::uint64_t start = std::uint64_t{extent.firstSector} * kSectorBytes;
        if (start > imageBytes || extent.bytes > imageBytes - start)
            throw EInOutError(ErrorIoDevice);
        if (entry.directory && extent.bytes > kMaxDirectoryBytes)
            throw EInOutError(ErrorIoDevice);
    }
}

bool IsoImage::readSectors(std::uint32_t first, std::uint32_t count, char* buffer) const
{
    if (std::uint64_t{first} + count > imageSectors_)
        return false;
    if (iso_ != nullptr && rawSectors_) {
        // The file reader takes the data out of one raw sector per call only.
        for (std::uint32_t i = 0; i < count; ++i) {
            if (iso9660_iso_seek_read(iso_, buffer + i * kSectorBytes, static_cast<lsn_t>(first + i), 1)
                != static_cast<long>(kSectorBytes))
                return false;
        }
        return true;
    }
    if (iso_ != nullptr)
        return iso9660_iso_seek_read(iso_, buffer, static_cast<lsn_t>(first), static_cast<long>(count))
            == static_cast<long>(count * kSectorBytes);
    return cdio_read_data_sectors(cdio_, buffer, static_cast<lsn_t>(first), ISO_BLOCKSIZE, count) == DRIVER_OP_SUCCESS;
}

std::unordered_set<std::uint32_t> IsoImage::sectionStarts(const IsoEntry& directory) const
{
    // The reader lists the sections of a file over 4 GiB as entries of their own,
    // without the flag that ties them; the directory's records still have it.
    std::unordered_set<std::uint32_t> starts;
    const IsoExtent& extent = directory.extent;
    const auto sectors = static_cast<std::uint32_t>((extent.bytes + kSectorBytes - 1) / kSectorBytes);
    char sector[kSectorBytes];
    for (std::uint32_t i = 0; i < sectors; ++i) {
        if (!readSectors(extent.firstSector + i, 1, sector))
            throw EInOutError(ErrorIoDevice);
        // Records never cross a sector; a zero length ends the sector's records.
        for (std::size_t at = 0; at + 33 <= kSectorBytes;) {
            const auto length = static_cast<unsigned char>(sector[at]);
            if (length < 33 || at + length > kSectorBytes)
                break;
            const auto* record = reinterpret_cast<const unsigned char*>(sector + at);
            if ((record[25] & kMoreSections) != 0)
                starts.insert(std::uint32_t{record[2]} | std::uint32_t{record[3]} << 8 | std::uint32_t{record[4]} << 16
                    | std::uint32_t{record[5]} << 24);
            at += length;
        }
    }
    return starts;
}

std::shared_ptr<const IsoImage::Directory> IsoImage::directoryOf(const IsoEntry& directory) const
{
    for (std::size_t i = 0; i < recent_.size(); ++i) {
        if (recent_[i]->recordedPath == directory.recordedPath) {
            std::rotate(recent_.begin(), recent_.begin() + static_cast<std::ptrdiff_t>(i),
                recent_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return recent_.front();
        }
    }
    checkExtent(directory);
    auto read = std::make_shared<Directory>();
    read->recordedPath = directory.recordedPath;
    std::vector<RawEntry> raws = rawEntries(readDirectoryList(directory.recordedPath), directory.recordedPath);
    if (hasRepeatedName(raws))
        joinSections(raws, sectionStarts(directory));
    for (RawEntry& raw : raws) {
        if (isDotEntry(raw.entry.name))
            continue;
        if (!raw.rockRidge)
            raw.entry.name = plainIsoName(raw.entry.name);
        read->entries.push_back(std::move(raw.entry));
    }
    for (std::size_t i = 0; i < read->entries.size(); ++i) {
        const std::string& name = read->entries[i].name;
        read->exact.emplace(name, i);  // a repeated name: the first one wins
        const auto [it, added] = read->folded.emplace(asciiLower(name), i);
        if (!added && read->entries[it->second].name != name)
            it->second = kAmbiguous;
    }
    if (recent_.size() == kRecentDirectories)
        recent_.pop_back();
    recent_.insert(recent_.begin(), read);
    return read;
}

std::optional<IsoEntry> IsoImage::findEntry(const std::vector<std::string>& path) const
{
    IsoEntry current = root_;
    for (const std::string& name : path) {
        if (!current.directory)
            return std::nullopt;
        const std::shared_ptr<const Directory> listed = directoryOf(current);
        const IsoEntry* match = listed->match(name);
        if (match == nullptr)
            return std::nullopt;
        current = *match;
    }
    return current;
}

std::vector<IsoEntry> IsoImage::listDirectory(const std::vector<std::string>& path) const
{
    const std::optional<IsoEntry> directory = findEntry(path);
    if (!directory || !directory->directory)
        throw EInOutError(ErrorPathNotFound);
    return directoryOf(*directory)->entries;
}

WholeFileRead IsoImage::readFile(const IsoEntry& file, std::size_t maxBytes, std::string& bytes) const
{
    bytes.clear();
    if (file.directory)
        return WholeFileRead::ReadError;
    if (file.size > maxBytes)
        return WholeFileRead::TooLarge;
    try {
        checkExtent(file);
    } catch (const EInOutError&) {
        return WholeFileRead::ReadError;
    }
    // Grown as it is read, so a damaged size costs no more than the image holds.
    constexpr std::size_t kChunkBytes = 128 * kSectorBytes;
    for (std::uint64_t done = 0; done < file.size; done = bytes.size()) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, file.size - done));
        bytes.resize(done + count);
        if (!readAt(file, done, bytes.data() + done, count)) {
            bytes.clear();
            return WholeFileRead::ReadError;
        }
    }
    return WholeFileRead::Complete;
}

bool IsoImage::readAt(const IsoEntry& file, std::uint64_t offset, char* buffer, std::size_t count) const
{
    if (file.directory || offset > file.size || count > file.size - offset)
        return false;
    constexpr std::uint32_t kMaxRunSectors = 256;
    char sector[kSectorBytes];
    for (std::size_t i = 0; i < file.extentCount(); ++i) {
        const IsoExtent& extent = file.extentAt(i);
        if (count == 0)
            break;
        if (offset >= extent.bytes) {
            offset -= extent.bytes;
            continue;
        }
        std::uint64_t left = std::min<std::uint64_t>(count, extent.bytes - offset);
        while (left > 0) {
            const auto lsn = static_cast<std::uint32_t>(extent.firstSector + offset / kSectorBytes);
            const std::uint64_t within = offset % kSectorBytes;
            std::uint64_t n = 0;
            if (within == 0 && left >= kSectorBytes) {
                const auto run
                    = static_cast<std::uint32_t>(std::min<std::uint64_t>(left / kSectorBytes, kMaxRunSectors));
                if (!readSectors(lsn, run, buffer))
                    return false;
                n = std::uint64_t{run} * kSectorBytes;
            } else {
                if (!readSectors(lsn, 1, sector))
                    return false;
                n = std::min(kSectorBytes - within, left);
                std::memcpy(buffer, sector + within, n);
            }
            buffer += n;
            offset += n;
            left -= n;
            count -= n;
        }
        offset = 0;
    }
    return count == 0;
}

}  // namespace iradudo
