// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/fat_volume.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <unistd.h>

namespace iradudo {
namespace {

constexpr std::size_t kEntryBytes = 32;
// The format allows 65,536 entries in a directory (their index is 16 bits).
constexpr std::size_t kMaxDirectoryBytes = 65536 * kEntryBytes;
// A long name holds at most 255 characters, 13 to an entry.
constexpr int kMaxLongNameEntries = 20;
// Cluster counts below these are FAT12 and FAT16; at or above the second the
// volume is FAT32, which this reader does not take.
constexpr std::uint32_t kFat12Clusters = 4085;
constexpr std::uint32_t kFat16Clusters = 65525;

constexpr std::uint8_t kAttrVolume = 0x08;
constexpr std::uint8_t kAttrDirectory = 0x10;
constexpr std::uint8_t kAttrLongName = 0x0F;
constexpr std::uint8_t kLowerBase = 0x08;
constexpr std::uint8_t kLowerExtension = 0x10;

// Code page 850, bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> kCp850 = {
    0x00C7,
    0x00FC,
    0x00E9,
    0x00E2,
    0x00E4,
    0x00E0,
    0x00E5,
    0x00E7,
    0x00EA,
    0x00EB,
    0x00E8,
    0x00EF,
    0x00EE,
    0x00EC,
    0x00C4,
    0x00C5,
    0x00C9,
    0x00E6,
    0x00C6,
    0x00F4,
    0x00F6,
    0x00F2,
    0x00FB,
    0x00F9,
    0x00FF,
    0x00D6,
    0x00DC,
    0x00F8,
    0x00A3,
    0x00D8,
    0x00D7,
    0x0192,
    0x00E1,
    0x00ED,
    0x00F3,
    0x00FA,
    0x00F1,
    0x00D1,
    0x00AA,
    0x00BA,
    0x00BF,
    0x00AE,
    0x00AC,
    0x00BD,
    0x00BC,
    0x00A1,
    0x00AB,
    0x00BB,
    0x2591,
    0x2592,
    0x2593,
    0x2502,
    0x2524,
    0x00C1,
    0x00C2,
    0x00C0,
    0x00A9,
    0x2563,
    0x2551,
    0x2557,
    0x255D,
    0x00A2,
    0x00A5,
    0x2510,
    0x2514,
    0x2534,
    0x252C,
    0x251C,
    0x2500,
    0x253C,
    0x00E3,
    0x00C3,
    0x255A,
    0x2554,
    0x2569,
    0x2566,
    0x2560,
    0x2550,
    0x256C,
    0x00A4,
    0x00F0,
    0x00D0,
    0x00CA,
    0x00CB,
    0x00C8,
    0x0131,
    0x00CD,
    0x00CE,
    0x00CF,
    0x2518,
    0x250C,
    0x2588,
    0x2584,
    0x00A6,
    0x00CC,
    0x2580,
    0x00D3,
    0x00DF,
    0x00D4,
    0x00D2,
    0x00F5,
    0x00D5,
    0x00B5,
    0x00FE,
    0x00DE,
    0x00DA,
    0x00DB,
    0x00D9,
    0x00FD,
    0x00DD,
    0x00AF,
    0x00B4,
    0x00AD,
    0x00B1,
    0x2017,
    0x00BE,
    0x00B6,
    0x00A7,
    0x00F7,
    0x00B8,
    0x00B0,
    0x00A8,
    0x00B7,
    0x00B9,
    0x00B3,
    0x00B2,
    0x25A0,
    0x00A0,
};

std::uint16_t u16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(
        static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

std::uint32_t u32(std::string_view bytes, std::size_t at)
{
    return u16(bytes, at) | static_cast<std::uint32_t>(u16(bytes, at + 2)) << 16;
}

bool isPowerOfTwo(std::uint32_t value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

void appendUtf8(std::string& text, char32_t c)
{
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | c >> 6);
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += static_cast<char>(0xE0 | c >> 12);
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | c >> 18);
        text += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One part of an 8.3 name, trailing spaces dropped; lower: the entry's case bit
// for this part, which lowers the capitals of the Latin-1 range as well.
std::string shortPart(std::string_view stored, bool lower)
{
    while (!stored.empty() && stored.back() == ' ')
        stored.remove_suffix(1);
    std::string text;
    for (const char byte : stored) {
        const auto b = static_cast<std::uint8_t>(byte);
        char32_t c = b < 0x80 ? b : kCp850[b - 0x80];
        if (lower && ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)))
            c += 0x20;
        appendUtf8(text, c);
    }
    return text;
}

std::string shortName(std::string_view entry, std::uint8_t caseBits)
{
    std::string base(entry.substr(0, 8));
    // A name starting with byte 0xE5 is stored with 0x05, as 0xE5 marks a deleted entry.
    if (base[0] == 0x05)
        base[0] = static_cast<char>(0xE5);
    std::string name = shortPart(base, caseBits & kLowerBase);
    const std::string extension = shortPart(entry.substr(8, 3), caseBits & kLowerExtension);
    if (!extension.empty())
        name += '.' + extension;
    return name;
}

std::uint8_t shortNameChecksum(std::string_view entry)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 11; ++i)
        sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + static_cast<std::uint8_t>(entry[i]));
    return sum;
}

// A long name's UTF-16 units up to its terminator as UTF-8; nullopt when empty or
// holding a lone surrogate.
std::optional<std::string> decodeLongName(const std::vector<char16_t>& units)
{
    std::string text;
    for (std::size_t i = 0; i < units.size() && units[i] != 0; ++i) {
        char32_t c = units[i];
        if (c >= 0xDC00 && c <= 0xDFFF)
            return std::nullopt;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        appendUtf8(text, c);
    }
    if (text.empty())
        return std::nullopt;
    return text;
}

// The long-name entries before a short entry, collected from the last (stored
// first, flagged 0x40) down to the first. A run that skips a number, changes its
// checksum or is interrupted is dropped, and its short entry keeps its 8.3 name.
class LongNameRun {
public:
    void add(std::string_view entry)
    {
        const auto order = static_cast<std::uint8_t>(entry[0]);
        const int number = order & 0x3F;
        const auto checksum = static_cast<std::uint8_t>(entry[13]);
        if (order & 0x40) {
            if (number < 1 || number > kMaxLongNameEntries) {
                reset();
                return;
            }
            units_.assign(static_cast<std::size_t>(number) * 13, 0);
            expected_ = number;
            checksum_ = checksum;
        } else if (expected_ <= 0 || number != expected_ || checksum != checksum_) {
            reset();
            return;
        }
        static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int i = 0; i < 13; ++i)
            units_[static_cast<std::size_t>(number - 1) * 13 + i] = u16(entry, kOffsets[i]);
        --expected_;
    }

    // The name for the short entry that ends the run, if the run belongs to it.
    std::optional<std::string> finish(std::string_view shortEntry)
    {
        std::optional<std::string> name;
        if (expected_ == 0 && !units_.empty() && shortNameChecksum(shortEntry) == checksum_)
            name = decodeLongName(units_);
        reset();
        return name;
    }

    void reset()
    {
        units_.clear();
        expected_ = -1;
    }

private:
    std::vector<char16_t> units_;
    int expected_ = -1;
    std::uint8_t checksum_ = 0;
};

std::string trimmedSpaces(std::string text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace

FatVolume::FatVolume(ReadAt readAt, std::uint64_t mediumBytes) : readAt_(std::move(readAt))
{
    std::string boot(512, '\0');
    if (mediumBytes < boot.size() || !readAt_(0, boot.data(), boot.size()))
        throw FatError("no boot sector");
    bytesPerSector_ = u16(boot, 11);
    const std::uint32_t sectorsPerCluster = static_cast<std::uint8_t>(boot[13]);
    const std::uint32_t reserved = u16(boot, 14);
    const std::uint32_t fatCount = static_cast<std::uint8_t>(boot[16]);
    const std::uint32_t rootEntries = u16(boot, 17);
    const std::uint32_t totalSectors = u16(boot, 19) != 0 ? u16(boot, 19) : u32(boot, 32);
    const auto media = static_cast<std::uint8_t>(boot[21]);
    const std::uint32_t fatSectors = u16(boot, 22);
    if (bytesPerSector_ < 512 || bytesPerSector_ > 4096 || !isPowerOfTwo(bytesPerSector_)
        || !isPowerOfTwo(sectorsPerCluster) || reserved < 1 || fatCount < 1 || fatCount > 2 || rootEntries == 0
        || (media != 0xF0 && media < 0xF8) || fatSectors == 0) {
        throw FatError("bad boot sector");
    }
    // All figures are 16 bits or 8 bits except the total: none of these sums overflows 64 bits.
    const std::uint64_t rootSectors
        = (std::uint64_t{rootEntries} * kEntryBytes + bytesPerSector_ - 1) / bytesPerSector_;
    const std::uint64_t dataSector = reserved + std::uint64_t{fatCount} * fatSectors + rootSectors;
    if (dataSector >= totalSectors)
        throw FatError("bad boot sector");
    clusterBytes_ = bytesPerSector_ * sectorsPerCluster;
    const std::uint64_t clusters = (totalSectors - dataSector) / sectorsPerCluster;
    if (clusters == 0 || clusters >= kFat16Clusters)
        throw FatError("not a FAT12 or FAT16 file system");
    clusterCount_ = static_cast<std::uint32_t>(clusters);
    fatBits_ = clusterCount_ < kFat12Clusters ? 12 : 16;
    const std::uint64_t fatBytes = (std::uint64_t{clusterCount_ + 2} * fatBits_ + 7) / 8;
    if (fatBytes > std::uint64_t{fatSectors} * bytesPerSector_)
        throw FatError("FAT too small for the clusters");
    rootOffset_ = std::uint64_t{reserved + fatCount * fatSectors} * bytesPerSector_;
    rootBytes_ = rootEntries * kEntryBytes;
    dataOffset_ = dataSector * bytesPerSector_;
    if (rootOffset_ + rootBytes_ > mediumBytes)
        throw FatError("medium ends before the root directory");

    fat_.resize(fatBytes + 1);  // one byte more, so a FAT12 pair at the end reads in bounds
    bool read = false;
    for (std::uint32_t copy = 0; copy < fatCount && !read; ++copy)
        read = readAt_(std::uint64_t{reserved + copy * fatSectors} * bytesPerSector_, fat_.data(), fatBytes);
    if (!read)
        throw FatError("unreadable FAT");

    if (boot[38] == 0x29) {
        bootLabel_ = trimmedSpaces(shortPart(std::string_view(boot).substr(43, 11), false));
        if (bootLabel_ == "NO NAME")
            bootLabel_.clear();
    }
}

std::uint32_t FatVolume::next(std::uint32_t cluster) const
{
    if (fatBits_ == 16)
        return fat_[cluster * 2] | static_cast<std::uint32_t>(fat_[cluster * 2 + 1]) << 8;
    const std::size_t at = cluster + cluster / 2;
    const std::uint32_t pair = fat_[at] | static_cast<std::uint32_t>(fat_[at + 1]) << 8;
    return cluster & 1 ? pair >> 4 : pair & 0xFFF;
}

std::vector<std::uint32_t> FatVolume::chain(std::uint32_t first, std::uint32_t maxClusters) const
{
    const std::uint32_t endMarks = fatBits_ == 12 ? 0xFF8 : 0xFFF8;
    std::vector<std::uint32_t> clusters;
    std::vector<bool> visited(clusterCount_ + 2);
    for (std::uint32_t cluster = first;;) {
        if (cluster < 2 || cluster >= clusterCount_ + 2)
            throw FatError("cluster out of range");
        if (visited[cluster])
            throw FatError("cluster chain loops");
        visited[cluster] = true;
        clusters.push_back(cluster);
        if (clusters.size() >= maxClusters)
            return clusters;
        cluster = next(cluster);
        if (cluster >= endMarks)
            return clusters;
    }
}

bool FatVolume::readCluster(std::uint32_t cluster, char* buffer, std::size_t count) const
{
    return readAt_(dataOffset_ + std::uint64_t{cluster - 2} * clusterBytes_, buffer, count);
}

std::int64_t FatVolume::bytesFree() const
{
    std::int64_t free = 0;
    for (std::uint32_t cluster = 2; cluster < clusterCount_ + 2; ++cluster)
        free += next(cluster) == 0;
    return free * clusterBytes_;
}

FatVolume::Parsed FatVolume::parseDirectory(std::string_view bytes)
{
    Parsed parsed;
    LongNameRun run;
    for (std::size_t at = 0; at + kEntryBytes <= bytes.size(); at += kEntryBytes) {
        const std::string_view entry = bytes.substr(at, kEntryBytes);
        const auto first = static_cast<std::uint8_t>(entry[0]);
        if (first == 0x00)
            break;
        if (first == 0xE5) {
            run.reset();
            continue;
        }
        const auto attributes = static_cast<std::uint8_t>(entry[11]);
        if ((attributes & 0x3F) == kAttrLongName) {
            run.add(entry);
            continue;
        }
        std::optional<std::string> longName = run.finish(entry);
        if (attributes & kAttrVolume) {
            if (!parsed.label)
                parsed.label = trimmedSpaces(longName ? *longName : shortName(entry, 0));
            continue;
        }
        if (entry.substr(0, 11) == ".          " || entry.substr(0, 11) == "..         ")
            continue;
        FatEntry listed;
        const auto caseBits = static_cast<std::uint8_t>(entry[12]);
        listed.shortName = shortName(entry, 0);
        listed.hasLongName = longName.has_value();
        listed.name = longName ? std::move(*longName) : shortName(entry, caseBits);
        listed.attributes = attributes;
        listed.directory = attributes & kAttrDirectory;
        listed.firstCluster = u16(entry, 26);
        listed.size = listed.directory ? 0 : u32(entry, 28);
        parsed.entries.push_back(std::move(listed));
    }
    return parsed;
}

FatVolume::Parsed FatVolume::parseRoot() const
{
    std::string bytes(rootBytes_, '\0');
    if (!readAt_(rootOffset_, bytes.data(), bytes.size()))
        throw FatError("unreadable root directory");
    return parseDirectory(bytes);
}

std::vector<FatEntry> FatVolume::root() const
{
    return parseRoot().entries;
}

std::string FatVolume::label() const
{
    const Parsed root = parseRoot();
    return root.label ? *root.label : bootLabel_;
}

std::vector<FatEntry> FatVolume::list(const FatEntry& directory) const
{
    if (!directory.directory)
        throw FatError("not a directory");
    const std::vector<std::uint32_t> clusters
        = chain(directory.firstCluster, static_cast<std::uint32_t>(kMaxDirectoryBytes / clusterBytes_) + 1);
    if (std::size_t{clusters.size()} * clusterBytes_ > kMaxDirectoryBytes)
        throw FatError("directory too large");
    std::string bytes(clusters.size() * clusterBytes_, '\0');
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        if (!readCluster(clusters[i], bytes.data() + i * clusterBytes_, clusterBytes_))
            throw FatError("unreadable directory");
    }
    return parseDirectory(bytes).entries;
}

bool FatVolume::read(const FatEntry& file, std::size_t maxBytes, std::string& bytes) const
{
    bytes.clear();
    if (file.directory || file.size > maxBytes)
        return false;
    if (file.size == 0)
        return true;
    const std::uint32_t needed
        = static_cast<std::uint32_t>((std::uint64_t{file.size} + clusterBytes_ - 1) / clusterBytes_);
    std::vector<std::uint32_t> clusters;
    try {
        clusters = chain(file.firstCluster, needed);
    } catch (const FatError&) {
        return false;
    }
    if (clusters.size() < needed)
        return false;
    bytes.resize(file.size);
    for (std::size_t i = 0; i < clusters.size(); ++i) {
        const std::size_t at = i * clusterBytes_;
        if (!readCluster(clusters[i], bytes.data() + at, std::min<std::size_t>(clusterBytes_, file.size - at))) {
            bytes.clear();
            return false;
        }
    }
    return true;
}

FatVolume::ReadAt readFromDescriptor(int fd)
{
    return [fd](std::uint64_t offset, void* buffer, std::size_t count) {
        auto* bytes = static_cast<char*>(buffer);
        while (count > 0) {
            const ssize_t got = ::pread(fd, bytes, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            bytes += got;
            offset += static_cast<std::uint64_t>(got);
            count -= static_cast<std::size_t>(got);
        }
        return true;
    };
}

std::optional<std::size_t> findFatName(const std::vector<FatEntry>& entries, std::string_view name)
{
    // A listing asks this for every name it shows, which is nearly always found
    // exactly: that pass runs alone first, and one more pass counts the other two steps.
    std::optional<std::size_t> exact;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == name) {
            if (exact)
                return std::nullopt;
            exact = i;
        }
    }
    if (exact)
        return exact;
    std::size_t found[2] = {};
    int matches[2] = {};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const FatEntry& entry = entries[i];
        for (const int step : {0, 1}) {
            const std::string& stored = step == 0 ? entry.name : entry.shortName;
            if (stored.size() == name.size() && equalsIgnoringAsciiCase(stored, name)) {
                found[step] = i;
                ++matches[step];
            }
        }
    }
    for (const int step : {0, 1}) {
        if (matches[step] > 0)
            return matches[step] == 1 ? std::optional<std::size_t>(found[step]) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace iradudo
