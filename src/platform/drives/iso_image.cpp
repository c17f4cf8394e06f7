// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/iso_image.h"

#include "base/exception.h"
#include "platform/dos_path.h"
#include "platform/drives/data_track.h"
#include "platform/io_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <unordered_set>

namespace iradudo {

namespace {

constexpr std::uint64_t kSectorBytes = 2048;
constexpr std::uint32_t kFirstDescriptor = 16;
// A volume descriptor set is a handful of sectors; a damaged one without its
// terminator must not be followed through the whole image.
constexpr std::uint32_t kMaxDescriptors = 64;
// The reader holds a whole directory at once; no real disc comes near these, and
// a damaged size must not become an allocation of gigabytes.
constexpr std::uint64_t kMaxDirectoryBytes = 64u << 20;
constexpr std::size_t kMaxDirectoryEntries = 100000;
// Continuation areas of one directory: what real names and links need many
// times over, and a chain of them pointing back at itself ends here.
constexpr std::uint64_t kMaxContinuationBytes = 16u << 20;
constexpr int kMaxContinuationsPerRecord = 64;
constexpr std::size_t kMaxNameBytes = 255;
// Directories kept after reading: enough for a path two hundred levels deep and
// its siblings, held to a number of entries that stays within a few hundred MB.
constexpr std::size_t kCachedDirectories = 512;
constexpr std::size_t kCachedEntries = 1000000;
constexpr std::size_t kAmbiguous = static_cast<std::size_t>(-1);
// Directory bytes read to name Joliet entries that do not decode after their
// plain names, over the whole primary tree.
constexpr std::uint64_t kMaxNameScanBytes = 256u << 20;
constexpr int kMaxDepth = 1000;

constexpr std::uint8_t kFlagDirectory = 0x02;
constexpr std::uint8_t kFlagMoreSections = 0x80;

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

bool preadFully(int fd, char* buffer, std::size_t count, std::uint64_t offset)
{
    while (count > 0) {
        const ssize_t n = ::pread(fd, buffer, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer += n;
        count -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

class TrackSectors : public IsoSectors {
public:
    explicit TrackSectors(DataTrack track) : track_(std::move(track))
    {
        struct stat status { };
        if (::fstat(track_.file.fd(), &status) != 0 || !S_ISREG(status.st_mode))
            return;
        const auto fileBytes = static_cast<std::uint64_t>(status.st_size);
        if (fileBytes < track_.byteOffset)
            return;
        count_ = (fileBytes - track_.byteOffset) / static_cast<std::uint64_t>(track_.sectorBytes);
        if (track_.sectorCount)
            count_ = std::min(count_, *track_.sectorCount);
        plain_ = track_.sectorBytes == static_cast<int>(kSectorBytes) && track_.userDataOffset == 0
            && !track_.swappedBytes;
    }

    std::uint64_t count() const override { return count_; }

    bool read(std::uint32_t first, std::uint32_t count, char* buffer) const override
    {
        if (std::uint64_t{first} + count > count_)
            return false;
        const auto stride = static_cast<std::uint64_t>(track_.sectorBytes);
        if (plain_)
            return preadFully(track_.file.fd(), buffer, std::size_t{count} * kSectorBytes,
                track_.byteOffset + std::uint64_t{first} * stride);
        for (std::uint32_t i = 0; i < count; ++i) {
            char* sector = buffer + std::size_t{i} * kSectorBytes;
            const std::uint64_t at = track_.byteOffset + (std::uint64_t{first} + i) * stride
                + static_cast<std::uint64_t>(track_.userDataOffset);
            if (!preadFully(track_.file.fd(), sector, kSectorBytes, at))
                return false;
            if (track_.swappedBytes) {
                for (std::size_t b = 0; b + 1 < kSectorBytes; b += 2)
                    std::swap(sector[b], sector[b + 1]);
            }
        }
        return true;
    }

private:
    DataTrack track_;
    std::uint64_t count_ = 0;
    bool plain_ = false;
};

bool endsWithIgnoringCase(const std::string& text, std::string_view suffix)
{
    return text.size() >= suffix.size() && asciiLower(text.substr(text.size() - suffix.size())) == suffix;
}

// A plain image, or a bare image of raw CD sectors told by the sync pattern of
// its first sector; the mode byte of its header says where the data lies.
DataTrack plainDataTrack(const std::string& imagePath)
{
    static constexpr unsigned char kSync[12] = {0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0};
    DataTrack track;
    track.file = openRegularFile(imagePath);
    if (!track.file.valid())
        throw EFOpenError(imagePath);
    char head[16] = {};
    if (preadFully(track.file.fd(), head, sizeof head, 0) && std::memcmp(head, kSync, sizeof kSync) == 0) {
        track.sectorBytes = 2352;
        track.userDataOffset = head[15] == 2 ? 24 : 16;
    }
    return track;
}

std::unique_ptr<IsoSectors> openSectors(const std::string& imagePath)
{
    DataTrack track;
    if (endsWithIgnoringCase(imagePath, ".cue"))
        track = openCueDataTrack(imagePath);
    else if (endsWithIgnoringCase(imagePath, ".nrg"))
        track = openNrgDataTrack(imagePath);
    else
        track = plainDataTrack(imagePath);
    const bool known = (track.sectorBytes == 2048 || track.sectorBytes == 2352 || track.sectorBytes == 2336)
        && track.userDataOffset >= 0 && track.userDataOffset + static_cast<int>(kSectorBytes) <= track.sectorBytes;
    if (!track.file.valid() || !known)
        throw EFOpenError(imagePath);
    return std::make_unique<TrackSectors>(std::move(track));
}

std::string trimmed(std::string_view text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.remove_suffix(1);
    return std::string(text);
}

bool isDotIdentifier(std::string_view identifier)
{
    return identifier.size() == 1 && (identifier[0] == '\0' || identifier[0] == '\1');
}

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A name for an entry whose Joliet name does not decode and whose plain name
// cannot be found: what does not decode becomes "_", so the entry still lists.
std::string replacedJolietName(std::string_view recorded)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < recorded.size(); i += 2) {
        const std::uint32_t unit
            = std::uint32_t{static_cast<unsigned char>(recorded[i])} << 8 | static_cast<unsigned char>(recorded[i + 1]);
        if (unit == 0 || unit == '/' || (unit >= 0xD800 && unit <= 0xDFFF))
            out += '_';
        else
            appendUtf8(out, unit);
    }
    return out.empty() ? std::string("_") : out;
}

}  // namespace

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

std::optional<std::string> jolietName(std::string_view recorded)
{
    if (recorded.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(recorded.size());
    for (std::size_t i = 0; i < recorded.size(); i += 2) {
        std::uint32_t unit
            = std::uint32_t{static_cast<unsigned char>(recorded[i])} << 8 | static_cast<unsigned char>(recorded[i + 1]);
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return std::nullopt;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= recorded.size())
                return std::nullopt;
            const std::uint32_t low = std::uint32_t{static_cast<unsigned char>(recorded[i + 2])} << 8
                | static_cast<unsigned char>(recorded[i + 3]);
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        // Nothing that would end the name early or split a path.
        if (unit == 0 || unit == '/')
            return std::nullopt;
        appendUtf8(out, unit);
    }
    return out;
}

// One directory record as the image has it, with what its system use fields say.
struct IsoImage::Record {
    std::string identifier;  // the ISO 9660 file identifier, bytes as recorded
    IsoExtent extent;
    std::uint8_t flags = 0;
    bool rockRidge = false;        // any Rock Ridge field seen
    bool sharingProtocol = false;  // the SP field of a directory's first record
    int skipBytes = 0;             // what that SP field says
    std::string alternateName;
    bool alternateNameUsable = false;  // an NM field gave a name within the bounds
    bool dotName = false;              // NM says "." or ".."
    bool relocated = false;            // RE: shown where its CL entry points to it
    bool link = false;
    std::optional<std::uint32_t> childLink;
};

namespace {

// The system use fields of one record and its continuation areas.
class SystemUseReader {
public:
    SystemUseReader(const IsoSectors& sectors, std::uint64_t& continuationBytes)
        : sectors_(sectors), continuationBytes_(continuationBytes)
    {
    }

    // position: where the area lies in the image, so a chain leading back to it ends.
    template <class Record>
    void read(const unsigned char* area, std::size_t size, std::uint64_t position, Record& record)
    {
        std::string name;
        bool nameTooLong = false;
        bool sawName = false;
        std::vector<unsigned char> continuation;
        std::unordered_set<std::uint64_t> visited{position};
        for (int followed = 0;; ++followed) {
            std::optional<std::uint64_t> next;
            std::uint32_t nextLength = 0;
            for (std::size_t at = 0; at + 4 <= size;) {
                const unsigned char* field = area + at;
                const std::size_t length = field[2];
                if (length < 4 || at + length > size)
                    break;
                const std::string_view signature(reinterpret_cast<const char*>(field), 2);
                if (signature == "ST")
                    break;
                if (signature == "SP" && length >= 7 && field[4] == 0xBE && field[5] == 0xEF) {
                    record.sharingProtocol = true;
                    record.skipBytes = field[6];
                } else if (signature == "CE" && length >= 28) {
                    next = std::uint64_t{le32(field + 4)} * kSectorBytes + le32(field + 12);
                    nextLength = le32(field + 20);
                } else if (signature == "NM" && length >= 5) {
                    record.rockRidge = true;
                    const std::uint8_t flags = field[4];
                    if ((flags & 0x06) != 0) {
                        record.dotName = true;
                    } else {
                        sawName = true;
                        name.append(reinterpret_cast<const char*>(field + 5), length - 5);
                        nameTooLong = nameTooLong || name.size() > kMaxNameBytes;
                        if (nameTooLong)
                            name.clear();
                    }
                } else if (signature == "SL") {
                    record.rockRidge = true;
                    record.link = true;
                } else if (signature == "RE") {
                    record.rockRidge = true;
                    record.relocated = true;
                } else if (signature == "CL" && length >= 12) {
                    record.rockRidge = true;
                    record.childLink = le32(field + 4);
                } else if (signature == "PX" || signature == "TF" || signature == "PL" || signature == "PN"
                    || signature == "RR") {
                    record.rockRidge = true;
                }
                at += length;
            }
            if (!next)
                break;
            // A continuation that loops, leaves the image or overdraws the
            // directory's allowance ends the fields; what was read stands.
            if (followed >= kMaxContinuationsPerRecord || !visited.insert(*next).second)
                break;
            // A continuation area lies within one sector's worth of bytes from its start.
            const std::uint64_t offsetInSector = *next % kSectorBytes;
            if (nextLength == 0 || nextLength > kSectorBytes || offsetInSector + nextLength > 2 * kSectorBytes)
                break;
            const auto firstSector = *next / kSectorBytes;
            const std::uint32_t count = offsetInSector + nextLength > kSectorBytes ? 2 : 1;
            if (continuationBytes_ + nextLength > kMaxContinuationBytes || firstSector + count > sectors_.count())
                break;
            continuationBytes_ += nextLength;
            continuation.resize(count * kSectorBytes);
            if (!sectors_.read(
                    static_cast<std::uint32_t>(firstSector), count, reinterpret_cast<char*>(continuation.data())))
                break;
            area = continuation.data() + offsetInSector;
            size = nextLength;
        }
        if (sawName && !nameTooLong && !name.empty()) {
            record.alternateName = std::move(name);
            record.alternateNameUsable = true;
        }
    }

private:
    const IsoSectors& sectors_;
    std::uint64_t& continuationBytes_;
};

}  // namespace

struct IsoImage::Directory {
    std::vector<IsoEntry> entries;
    std::unordered_map<std::string, std::size_t> exact;
    std::unordered_map<std::string, std::size_t> folded;  // kAmbiguous when two names fold alike
    std::uint64_t extentBytes = 0;
    std::uint64_t lastUse = 0;

    const IsoEntry* match(const std::string& name) const
    {
        if (const auto it = exact.find(name); it != exact.end())
            return &entries[it->second];
        const auto it = folded.find(asciiLower(name));
        return it != folded.end() && it->second != kAmbiguous ? &entries[it->second] : nullptr;
    }
};

bool IsoImage::extentInImage(const IsoExtent& extent) const
{
    const std::uint64_t imageBytes = sectors_->count() * kSectorBytes;
    const std::uint64_t start = std::uint64_t{extent.firstSector} * kSectorBytes;
    return start <= imageBytes && extent.bytes <= imageBytes - start;
}

std::vector<IsoImage::Record> IsoImage::readRecords(const IsoExtent& extent, bool systemUse) const
{
    if (!extentInImage(extent) || extent.bytes > kMaxDirectoryBytes || extent.bytes == 0)
        throw EInOutError(ErrorIoDevice);
    const auto sectorCount = static_cast<std::uint32_t>((extent.bytes + kSectorBytes - 1) / kSectorBytes);
    std::vector<unsigned char> bytes(std::size_t{sectorCount} * kSectorBytes);
    if (!sectors_->read(extent.firstSector, sectorCount, reinterpret_cast<char*>(bytes.data())))
        throw EInOutError(ErrorIoDevice);
    std::uint64_t continuationBytes = 0;
    SystemUseReader fields(*sectors_, continuationBytes);
    std::vector<Record> records;
    // Records never cross a sector; a zero length ends the sector's records.
    for (std::size_t at = 0; at < extent.bytes;) {
        const std::size_t inSector = at % kSectorBytes;
        const std::size_t length = bytes[at];
        if (length == 0) {
            at += kSectorBytes - inSector;
            continue;
        }
        const unsigned char* record = bytes.data() + at;
        if (length < 33 || inSector + length > kSectorBytes || 33u + record[32] > length)
            throw EInOutError(ErrorIoDevice);
        if (records.size() == kMaxDirectoryEntries)
            throw EInOutError(ErrorIoDevice);
        Record read;
        const std::size_t nameLength = record[32];
        read.identifier.assign(reinterpret_cast<const char*>(record + 33), nameLength);
        read.extent = {le32(record + 2), le32(record + 10)};
        read.flags = record[25];
        if (systemUse) {
            // The first record's SP field stands before any skipped bytes.
            const std::size_t systemUse0 = 33 + nameLength + (nameLength % 2 == 0 ? 1 : 0);
            const std::size_t skip = records.empty() && extent.firstSector == primaryRoot_.firstSector
                ? 0
                : static_cast<std::size_t>(suspSkip_);
            if (systemUse0 + skip < length)
                fields.read(record + systemUse0 + skip, length - systemUse0 - skip,
                    std::uint64_t{extent.firstSector} * kSectorBytes + at + systemUse0 + skip, read);
        }
        records.push_back(std::move(read));
        at += length;
    }
    return records;
}

struct IsoImage::PlainNames {
    std::unordered_map<std::uint32_t, std::string> files;
    std::unordered_map<std::uint32_t, std::string> directories;
};

std::string IsoImage::isoNameOf(const Record& joliet) const
{
    if (!plainNames_) {
        // A breadth-first walk of the primary tree, each directory once.
        plainNames_ = std::make_unique<PlainNames>();
        std::vector<std::tuple<IsoExtent, std::string, int>> queue{{primaryRoot_, std::string(), 0}};
        std::unordered_set<std::uint32_t> seen{primaryRoot_.firstSector};
        std::uint64_t budget = kMaxNameScanBytes;
        for (std::size_t next = 0; next < queue.size(); ++next) {
            const auto [directory, name, depth] = queue[next];
            if (directory.bytes > budget)
                break;
            budget -= directory.bytes;
            std::vector<Record> records;
            try {
                records = readRecords(directory, false);
            } catch (const EInOutError&) {
            }
            if (const std::optional<std::uint32_t> first = firstFileSector(records); first && !name.empty())
                plainNames_->directories.emplace(*first, name);
            for (const Record& record : records) {
                if (isDotIdentifier(record.identifier))
                    continue;
                if ((record.flags & kFlagDirectory) == 0)
                    plainNames_->files.emplace(record.extent.firstSector, plainIsoName(record.identifier));
                else if (depth < kMaxDepth && seen.insert(record.extent.firstSector).second)
                    queue.emplace_back(record.extent, plainIsoName(record.identifier), depth + 1);
            }
        }
    }
    std::optional<std::uint32_t> key = joliet.extent.firstSector;
    const std::unordered_map<std::uint32_t, std::string>* names = &plainNames_->files;
    if ((joliet.flags & kFlagDirectory) != 0) {
        names = &plainNames_->directories;
        try {
            key = firstFileSector(readRecords(joliet.extent, false));
        } catch (const EInOutError&) {
            key.reset();
        }
    }
    const auto it = key ? names->find(*key) : names->end();
    return it != names->end() ? it->second : std::string();
}

std::optional<std::uint32_t> IsoImage::firstFileSector(const std::vector<Record>& records)
{
    for (const Record& record : records) {
        if (!isDotIdentifier(record.identifier) && (record.flags & kFlagDirectory) == 0)
            return record.extent.firstSector;
    }
    return std::nullopt;
}

IsoImage::IsoImage(const std::string& imagePath) : sectors_(openSectors(imagePath))
{
    std::optional<IsoExtent> primary;
    std::optional<IsoExtent> joliet;
    char sector[kSectorBytes];
    for (std::uint32_t i = 0; i < kMaxDescriptors; ++i) {
        if (!sectors_->read(kFirstDescriptor + i, 1, sector) || std::memcmp(sector + 1, "CD001", 5) != 0)
            break;
        const auto* bytes = reinterpret_cast<const unsigned char*>(sector);
        const std::uint8_t type = bytes[0];
        if (type == 255)
            break;
        // The root's record, 34 bytes at 156, sizes the root directory.
        const IsoExtent root{le32(bytes + 156 + 2), le32(bytes + 156 + 10)};
        if (type == 1 && !primary) {
            primary = root;
            volumeLabel_ = trimmed(std::string_view(sector + 40, 32));
        } else if (type == 2 && !joliet && bytes[88] == '%' && bytes[89] == '/'
            && (bytes[90] == '@' || bytes[90] == 'C' || bytes[90] == 'E')) {
            joliet = root;
        }
    }
    if (!primary)
        throw EFOpenError(imagePath);
    primaryRoot_ = *primary;
    root_.directory = true;
    std::vector<Record> records;
    try {
        records = readRecords(*primary, true);
    } catch (const EInOutError&) {
        throw EFOpenError(imagePath);
    }
    // Rock Ridge marks the root's "." record with SP; its fields follow on every record.
    const bool sharing = !records.empty() && records.front().sharingProtocol;
    const bool rockRidge
        = sharing && std::any_of(records.begin(), records.end(), [](const Record& r) { return r.rockRidge; });
    root_.extent = *primary;
    if (rockRidge) {
        names_ = IsoNames::RockRidge;
        suspSkip_ = records.front().skipBytes;
    } else if (joliet) {
        names_ = IsoNames::Joliet;
        root_.extent = *joliet;
        try {
            directoryOf(root_);
        } catch (const EInOutError&) {
            // A broken Joliet tree leaves the plain one.
            names_ = IsoNames::Iso;
            root_.extent = *primary;
        }
    }
    if (names_ != IsoNames::Joliet) {
        try {
            directoryOf(root_);
        } catch (const EInOutError&) {
            throw EFOpenError(imagePath);
        }
    }
}

IsoImage::~IsoImage() = default;

bool IsoImage::isRelocationDirectory(const Record& record) const
{
    // The folder a writer moves deep directories to holds nothing of the source
    // tree itself: each directory in it is shown where its child link stands.
    if ((record.flags & kFlagDirectory) == 0 || asciiLower(plainIsoName(record.identifier)) != "rr_moved")
        return false;
    try {
        const std::vector<Record> moved = readRecords(record.extent, true);
        return std::all_of(moved.begin(), moved.end(),
            [](const Record& r) { return isDotIdentifier(r.identifier) || r.dotName || r.relocated; });
    } catch (const EInOutError&) {
        return false;
    }
}

IsoEntry IsoImage::childLinkEntry(std::uint32_t sector) const
{
    // The relocated directory's own "." record gives its size.
    IsoEntry entry;
    entry.directory = true;
    entry.extent = {sector, ~std::uint64_t{0}};
    char bytes[kSectorBytes];
    if (sector < sectors_->count() && sectors_->read(sector, 1, bytes)) {
        const auto* record = reinterpret_cast<const unsigned char*>(bytes);
        if (record[0] >= 34 && record[32] == 1 && record[33] == 0 && le32(record + 2) == sector)
            entry.extent.bytes = le32(record + 10);
    }
    return entry;
}

std::shared_ptr<const IsoImage::Directory> IsoImage::directoryOf(const IsoEntry& directory) const
{
    if (const auto it = cache_.find(directory.extent.firstSector);
        it != cache_.end() && it->second->extentBytes == directory.extent.bytes) {
        it->second->lastUse = ++clock_;
        return it->second;
    }
    const bool rockRidge = names_ == IsoNames::RockRidge;
    const std::vector<Record> records = readRecords(directory.extent, rockRidge);
    auto read = std::make_shared<Directory>();
    read->extentBytes = directory.extent.bytes;
    bool moreSections = false;
    std::string lastIdentifier;
    for (const Record& record : records) {
        if (isDotIdentifier(record.identifier) || (rockRidge && record.dotName))
            continue;
        // The sections of one file: records of its name, each but the last flagged.
        if (moreSections && record.identifier == lastIdentifier && (record.flags & kFlagDirectory) == 0
            && !read->entries.empty()) {
            IsoEntry& file = read->entries.back();
            file.moreExtents.push_back(record.extent);
            file.size = file.link ? 0 : file.size + record.extent.bytes;
            moreSections = (record.flags & kFlagMoreSections) != 0;
            continue;
        }
        moreSections = (record.flags & kFlagMoreSections) != 0;
        lastIdentifier = record.identifier;
        if (rockRidge
            && (record.relocated
                || (directory.extent.firstSector == primaryRoot_.firstSector && isRelocationDirectory(record))))
            continue;
        IsoEntry entry;
        if (rockRidge && record.childLink) {
            entry = childLinkEntry(*record.childLink);
        } else {
            entry.directory = (record.flags & kFlagDirectory) != 0;
            entry.extent = record.extent;
        }
        if (rockRidge && record.link && !entry.directory)
            entry.link = true;
        entry.size = entry.directory || entry.link ? 0 : record.extent.bytes;
        if (names_ == IsoNames::Joliet) {
            std::optional<std::string> name = jolietName(record.identifier);
            entry.name = name ? plainIsoName(*name) : isoNameOf(record);
            if (entry.name.empty())
                entry.name = replacedJolietName(record.identifier);
        } else if (rockRidge && record.alternateNameUsable) {
            entry.name = record.alternateName;
        } else {
            entry.name = plainIsoName(record.identifier);
        }
        if (entry.name.empty())
            continue;
        read->entries.push_back(std::move(entry));
    }
    for (std::size_t i = 0; i < read->entries.size(); ++i) {
        const std::string& name = read->entries[i].name;
        read->exact.emplace(name, i);  // a repeated name: the first one wins
        const auto [it, added] = read->folded.emplace(asciiLower(name), i);
        if (!added && read->entries[it->second].name != name)
            it->second = kAmbiguous;
    }
    // The least recently used directories make room.
    while (!cache_.empty()
        && (cache_.size() >= kCachedDirectories || cachedEntries_ + read->entries.size() > kCachedEntries)) {
        auto oldest = cache_.begin();
        for (auto it = cache_.begin(); it != cache_.end(); ++it) {
            if (it->second->lastUse < oldest->second->lastUse)
                oldest = it;
        }
        cachedEntries_ -= oldest->second->entries.size();
        cache_.erase(oldest);
    }
    read->lastUse = ++clock_;
    cachedEntries_ += read->entries.size();
    cache_[directory.extent.firstSector] = read;
    return read;
}

std::optional<IsoEntry> IsoImage::findEntry(const std::vector<std::string>& path) const
{
    const IsoEntry* current = &root_;
    std::shared_ptr<const Directory> holder;
    for (const std::string& name : path) {
        if (!current->directory)
            return std::nullopt;
        std::shared_ptr<const Directory> listed = directoryOf(*current);
        const IsoEntry* match = listed->match(name);
        if (match == nullptr)
            return std::nullopt;
        holder = std::move(listed);
        current = match;
    }
    return *current;
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
    if (file.directory || file.link)
        return WholeFileRead::ReadError;
    if (file.size > maxBytes)
        return WholeFileRead::TooLarge;
    for (std::size_t i = 0; i < file.extentCount(); ++i) {
        if (!extentInImage(file.extentAt(i)))
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
    if (file.directory || file.link || offset > file.size || count > file.size - offset)
        return false;
    constexpr std::uint32_t kMaxRunSectors = 256;
    char sector[kSectorBytes];
    for (std::size_t i = 0; i < file.extentCount() && count > 0; ++i) {
        const IsoExtent& extent = file.extentAt(i);
        if (offset >= extent.bytes) {
            offset -= extent.bytes;
            continue;
        }
        std::uint64_t left = std::min<std::uint64_t>(count, extent.bytes - offset);
        while (left > 0) {
            const std::uint64_t lsn = extent.firstSector + offset / kSectorBytes;
            if (lsn >= sectors_->count())
                return false;
            const std::uint64_t within = offset % kSectorBytes;
            std::uint64_t n = 0;
            if (within == 0 && left >= kSectorBytes) {
                const auto run
                    = static_cast<std::uint32_t>(std::min<std::uint64_t>(left / kSectorBytes, kMaxRunSectors));
                if (!sectors_->read(static_cast<std::uint32_t>(lsn), run, buffer))
                    return false;
                n = std::uint64_t{run} * kSectorBytes;
            } else {
                if (!sectors_->read(static_cast<std::uint32_t>(lsn), 1, sector))
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
