// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/adf_volume.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace iradudo {
namespace {

constexpr std::uint32_t kBlockBytes = 512;
constexpr std::uint32_t kDoubleDensityBlocks = 1760;
constexpr std::uint32_t kHighDensityBlocks = 3520;
// Every directory block holds a hash table of this many slots (512-byte blocks).
constexpr std::uint32_t kHashSlots = 72;
// Block pointers a file header or an extension block holds.
constexpr std::uint32_t kPointersPerBlock = 72;
constexpr std::uint32_t kOfsDataBytes = 488;
constexpr std::size_t kMaxNameBytes = 30;
constexpr std::size_t kMaxCommentBytes = 79;
// One bitmap block maps 127 longs of 32 blocks: one is enough for either floppy.
constexpr std::uint32_t kBlocksPerBitmap = 127 * 32;

// Block types and secondary types.
constexpr std::uint32_t kTypeHeader = 2;
constexpr std::uint32_t kTypeData = 8;
constexpr std::uint32_t kTypeList = 16;
constexpr std::uint32_t kSecRoot = 1;
constexpr std::uint32_t kSecDirectory = 2;
constexpr std::uint32_t kSecFile = static_cast<std::uint32_t>(-3);

// Byte offsets within a header block (root, drawer, file, extension).
constexpr std::uint32_t kOffType = 0;
constexpr std::uint32_t kOffKey = 4;
constexpr std::uint32_t kOffHighSeq = 8;
constexpr std::uint32_t kOffHashSize = 12;
constexpr std::uint32_t kOffFirstData = 16;
constexpr std::uint32_t kOffChecksum = 20;
constexpr std::uint32_t kOffTable = 24;
constexpr std::uint32_t kOffBitmapFlag = 312;
constexpr std::uint32_t kOffBitmapPages = 316;
constexpr std::uint32_t kOffProtect = 320;
constexpr std::uint32_t kOffByteSize = 324;
constexpr std::uint32_t kOffComment = 328;
constexpr std::uint32_t kOffDate = 420;
constexpr std::uint32_t kOffName = 432;
constexpr std::uint32_t kOffVolumeDate = 472;
constexpr std::uint32_t kOffCreationDate = 484;
constexpr std::uint32_t kOffHashChain = 496;
constexpr std::uint32_t kOffParent = 500;
constexpr std::uint32_t kOffExtension = 504;
constexpr std::uint32_t kOffSecType = 508;
// Within an OFS data block.
constexpr std::uint32_t kOffDataSize = 12;
constexpr std::uint32_t kOffNextData = 16;
constexpr std::uint32_t kOffData = 24;

// Seconds from 1 January 1970 to 1 January 1978.
constexpr std::int64_t kAmigaEpoch = 252460800;

[[noreturn]] void fail(AmigaDiskError::Kind kind, const std::string& detail)
{
    throw AmigaDiskError(kind, detail);
}

std::uint32_t readLong(const std::string& image, std::size_t at)
{
    const auto byte
        = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(image[at + i])); };
    return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

void writeLong(std::string& image, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (24 - 8 * i));
}

std::size_t blockStart(std::uint32_t block)
{
    return static_cast<std::size_t>(block) * kBlockBytes;
}

// The value that makes the longs of a block sum to zero.
std::uint32_t blockChecksum(const std::string& image, std::uint32_t block, std::uint32_t checksumOffset)
{
    std::uint32_t sum = 0;
    for (std::uint32_t offset = 0; offset < kBlockBytes; offset += 4) {
        if (offset != checksumOffset)
            sum += readLong(image, blockStart(block) + offset);
    }
    return 0u - sum;
}

void sealBlock(std::string& image, std::uint32_t block, std::uint32_t checksumOffset = kOffChecksum)
{
    writeLong(image, blockStart(block) + checksumOffset, blockChecksum(image, block, checksumOffset));
}

// The boot block's own sum: the two blocks' longs added with the carry folded back in.
std::uint32_t bootChecksum(const std::string& image)
{
    std::uint32_t sum = 0;
    for (std::size_t offset = 0; offset < 2 * kBlockBytes; offset += 4) {
        if (offset == 4)
            continue;
        const std::uint32_t before = sum;
        sum += readLong(image, offset);
        if (sum < before)
            ++sum;
    }
    return ~sum;
}

unsigned char upperAmiga(unsigned char c, bool international)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    if (international && c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 32);
    return c;
}

void writeDate(std::string& image, std::uint32_t block, std::uint32_t offset, AmigaDate date)
{
    writeLong(image, blockStart(block) + offset, date.days);
    writeLong(image, blockStart(block) + offset + 4, date.minutes);
    writeLong(image, blockStart(block) + offset + 8, date.ticks);
}

void writeBString(std::string& image, std::uint32_t block, std::uint32_t offset, const std::string& text)
{
    image[blockStart(block) + offset] = static_cast<char>(text.size());
    std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(blockStart(block) + offset + 1));
}

bool nameAllowed(const std::string& name)
{
    return !name.empty() && name.size() <= kMaxNameBytes
        && name.find_first_of(std::string("/:\0", 3)) == std::string::npos;
}

std::uint32_t ceilDiv(std::uint32_t a, std::uint32_t b)
{
    return (a + b - 1) / b;
}

}  // namespace

AmigaDate amigaDateFromUnix(std::int64_t seconds)
{
    const std::int64_t since = std::max<std::int64_t>(0, seconds - kAmigaEpoch);
    const std::int64_t inDay = since % 86400;
    return AmigaDate{static_cast<std::uint32_t>(since / 86400), static_cast<std::uint32_t>(inDay / 60),
        static_cast<std::uint32_t>(inDay % 60 * 50)};
}

AmigaDate amigaDateNow()
{
    return amigaDateFromUnix(static_cast<std::int64_t>(std::time(nullptr)));
}

AdfVolume::AdfVolume(std::string image) : image_(std::move(image))
{
    if (image_.size() == static_cast<std::size_t>(kAmigaDoubleDensityBytes))
        blockCount_ = kDoubleDensityBlocks;
    else if (image_.size() == static_cast<std::size_t>(kAmigaHighDensityBytes))
        blockCount_ = kHighDensityBlocks;
    else
        fail(AmigaDiskError::Kind::NotAmigaDisk, "dimensione " + std::to_string(image_.size()) + " byte");
    // DOS6 and DOS7 keep long names in another layout: not read here.
    if (image_.compare(0, 3, "DOS") != 0 || static_cast<unsigned char>(image_[3]) > 5)
        fail(AmigaDiskError::Kind::NotAmigaDisk, "manca il blocco di avvio DOS");
    flags_ = static_cast<unsigned char>(image_[3]);
    root_ = blockCount_ / 2;
    if (get(root_, kOffType) != kTypeHeader || get(root_, kOffSecType) != kSecRoot || !checksumOk(root_))
        fail(AmigaDiskError::Kind::NotAmigaDisk, "blocco radice " + std::to_string(root_) + " non valido");
}

std::uint32_t AdfVolume::get(std::uint32_t block, std::uint32_t offset) const
{
    return readLong(image_, blockStart(block) + offset);
}

bool AdfVolume::validBlock(std::uint32_t block) const
{
    return block >= 2 && block < blockCount_;
}

bool AdfVolume::checksumOk(std::uint32_t block) const
{
    return get(block, kOffChecksum) == blockChecksum(image_, block, kOffChecksum);
}

std::string AdfVolume::volumeName() const
{
    const std::size_t length
        = std::min<std::size_t>(static_cast<unsigned char>(image_[blockStart(root_) + kOffName]), kMaxNameBytes);
    return image_.substr(blockStart(root_) + kOffName + 1, length);
}

// The entry a header block describes; nullopt for links, damaged headers and
// names no path could reach.
std::optional<AdfEntry> AdfVolume::headerEntry(std::uint32_t block) const
{
    const std::uint32_t secondary = get(block, kOffSecType);
    if (secondary != kSecDirectory && secondary != kSecFile)
        return std::nullopt;
    const std::size_t at = blockStart(block);
    const std::size_t nameLength = static_cast<unsigned char>(image_[at + kOffName]);
    const std::size_t commentLength = static_cast<unsigned char>(image_[at + kOffComment]);
    if (nameLength > kMaxNameBytes)
        return std::nullopt;
    AdfEntry entry;
    entry.name = image_.substr(at + kOffName + 1, nameLength);
    if (!nameAllowed(entry.name))
        return std::nullopt;
    entry.directory = secondary == kSecDirectory;
    entry.size = entry.directory ? 0 : get(block, kOffByteSize);
    entry.comment = image_.substr(at + kOffComment + 1, std::min(commentLength, kMaxCommentBytes));
    entry.block = block;
    entry.protection = get(block, kOffProtect);
    return entry;
}

// Each chain ends at a block out of range, one seen before in this drawer, or
// one that is no header with a right checksum (its next pointer is not believed).
std::vector<AdfEntry> AdfVolume::listBlock(std::uint32_t directory) const
{
    std::vector<AdfEntry> entries;
    std::vector<bool> seen(blockCount_, false);
    seen[directory] = true;
    for (std::uint32_t slot = 0; slot < kHashSlots; ++slot) {
        std::uint32_t block = get(directory, kOffTable + 4 * slot);
        while (validBlock(block) && !seen[block]) {
            seen[block] = true;
            if (get(block, kOffType) != kTypeHeader || get(block, kOffKey) != block || !checksumOk(block))
                break;
            if (std::optional<AdfEntry> entry = headerEntry(block))
                entries.push_back(std::move(*entry));
            block = get(block, kOffHashChain);
        }
    }
    return entries;
}

bool AdfVolume::sameName(const std::string& a, const std::string& b, bool international)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperAmiga(static_cast<unsigned char>(a[i]), international)
            != upperAmiga(static_cast<unsigned char>(b[i]), international))
            return false;
    }
    return true;
}

std::uint32_t AdfVolume::hashName(const std::string& name, bool international)
{
    std::uint32_t hash = static_cast<std::uint32_t>(name.size());
    for (const char c : name)
        hash = (hash * 13 + upperAmiga(static_cast<unsigned char>(c), international)) & 0x7FF;
    return hash % kHashSlots;
}

std::optional<AdfEntry> AdfVolume::findIn(std::uint32_t directory, const std::string& name) const
{
    const std::vector<AdfEntry> entries = listBlock(directory);
    for (const AdfEntry& entry : entries) {
        if (entry.name == name)
            return entry;
    }
    for (const AdfEntry& entry : entries) {
        if (sameName(entry.name, name, international()))
            return entry;
    }
    return std::nullopt;
}

std::optional<AdfEntry> AdfVolume::find(const std::vector<std::string>& path) const
{
    AdfEntry current;
    current.directory = true;
    current.block = root_;
    for (const std::string& name : path) {
        if (!current.directory)
            return std::nullopt;
        std::optional<AdfEntry> next = findIn(current.block, name);
        if (!next)
            return std::nullopt;
        current = std::move(*next);
    }
    return current;
}

std::vector<AdfEntry> AdfVolume::list(const std::vector<std::string>& path) const
{
    const std::optional<AdfEntry> directory = find(path);
    if (!directory || !directory->directory)
        fail(AmigaDiskError::Kind::Damaged, "cassetto non trovato");
    return listBlock(directory->block);
}

// The data blocks of a file in order, from its header's table and then its
// extension blocks, as many as its size needs.
std::vector<std::uint32_t> AdfVolume::dataBlocks(const AdfEntry& file, std::vector<std::uint32_t>* extensions) const
{
    const std::uint32_t perBlock = fastFileSystem() ? kBlockBytes : kOfsDataBytes;
    if (file.size > blockCount_ * kBlockBytes)
        fail(AmigaDiskError::Kind::Damaged, "dimensione impossibile");
    const std::uint32_t needed = ceilDiv(file.size, perBlock);
    std::vector<std::uint32_t> blocks;
    std::vector<bool> seen(blockCount_, false);
    std::uint32_t table = file.block;
    seen[table] = true;
    for (;;) {
        const std::uint32_t count = get(table, kOffHighSeq);
        if (count > kPointersPerBlock)
            fail(AmigaDiskError::Kind::Damaged, "tabella dei blocchi troppo lunga");
        for (std::uint32_t i = 0; i < count && blocks.size() < needed; ++i) {
            const std::uint32_t block = get(table, kOffTable + 4 * (kPointersPerBlock - 1 - i));
            if (!validBlock(block))
                fail(AmigaDiskError::Kind::Damaged, "blocco di dati fuori dal disco");
            blocks.push_back(block);
        }
        if (blocks.size() >= needed)
            return blocks;
        if (count < kPointersPerBlock)
            fail(AmigaDiskError::Kind::Damaged, "file troncato");
        const std::uint32_t next = get(table, kOffExtension);
        if (!validBlock(next) || seen[next] || get(next, kOffType) != kTypeList || get(next, kOffKey) != next
            || get(next, kOffParent) != file.block || !checksumOk(next))
            fail(AmigaDiskError::Kind::Damaged, "blocco di estensione non valido");
        seen[next] = true;
        if (extensions)
            extensions->push_back(next);
        table = next;
    }
}

std::string AdfVolume::read(const AdfEntry& file) const
{
    if (file.directory)
        fail(AmigaDiskError::Kind::Damaged, "non \xC3\xA8 un file");
    const std::vector<std::uint32_t> blocks = dataBlocks(file, nullptr);
    std::string bytes;
    bytes.reserve(file.size);
    std::uint32_t sequence = 0;
    for (const std::uint32_t block : blocks) {
        const std::size_t remaining = file.size - bytes.size();
        if (fastFileSystem()) {
            bytes.append(image_, blockStart(block), std::min<std::size_t>(remaining, kBlockBytes));
            continue;
        }
        const std::size_t expected = std::min<std::size_t>(remaining, kOfsDataBytes);
        if (get(block, kOffType) != kTypeData || get(block, kOffKey) != file.block
            || get(block, kOffHighSeq) != ++sequence || get(block, kOffDataSize) < expected
            || get(block, kOffDataSize) > kOfsDataBytes || !checksumOk(block))
            fail(AmigaDiskError::Kind::Damaged, "blocco di dati " + std::to_string(block) + " non valido");
        bytes.append(image_, blockStart(block) + kOffData, expected);
    }
    return bytes;
}

std::vector<std::uint32_t> AdfVolume::bitmapBlocks() const
{
    if (get(root_, kOffBitmapFlag) != 0xFFFFFFFFu)
        fail(AmigaDiskError::Kind::Damaged, "mappa dei blocchi da convalidare");
    std::vector<std::uint32_t> pages;
    for (std::uint32_t i = 0; i < ceilDiv(blockCount_ - 2, kBlocksPerBitmap); ++i) {
        const std::uint32_t page = get(root_, kOffBitmapPages + 4 * i);
        if (!validBlock(page) || get(page, 0) != blockChecksum(image_, page, 0))
            fail(AmigaDiskError::Kind::Damaged, "mappa dei blocchi non valida");
        pages.push_back(page);
    }
    return pages;
}

namespace {

// The bitmap of one disk while a write changes it: a set bit is a free block.
class BlockMap {
public:
    BlockMap(std::string& image, std::vector<std::uint32_t> pages, std::uint32_t blocks, std::uint32_t root)
        : image_(image), pages_(std::move(pages)), blocks_(blocks), root_(root)
    {
    }

    bool isFree(std::uint32_t block) const { return (readLong(image_, at(block)) >> bit(block) & 1) != 0; }
    void set(std::uint32_t block, bool free)
    {
        std::uint32_t word = readLong(image_, at(block));
        word = free ? word | (1u << bit(block)) : word & ~(1u << bit(block));
        writeLong(image_, at(block), word);
    }

    std::uint32_t freeCount() const
    {
        std::uint32_t count = 0;
        for (std::uint32_t block = 2; block < blocks_; ++block)
            count += isFree(block) ? 1 : 0;
        return count;
    }

    // A block that is never handed out, whatever the bitmap says of it.
    void reserve(std::uint32_t block) { reserved_.push_back(block); }

    // The first free block after the root, else the first from the disk's start:
    // files grow outward from the middle, as the Amiga places them. A damaged
    // bitmap may call the root, itself or the file being replaced free: those
    // are skipped, so the old file stays whole until the new one is in place.
    std::uint32_t allocate()
    {
        for (std::uint32_t i = 0; i < blocks_ - 2; ++i) {
            const std::uint32_t block = 2 + (root_ - 2 + 1 + i) % (blocks_ - 2);
            if (isFree(block) && block != root_ && std::find(pages_.begin(), pages_.end(), block) == pages_.end()
                && std::find(reserved_.begin(), reserved_.end(), block) == reserved_.end()) {
                set(block, false);
                return block;
            }
        }
        fail(AmigaDiskError::Kind::DiskFull, "nessun blocco libero");
    }

    void seal()
    {
        for (const std::uint32_t page : pages_)
            sealBlock(image_, page, 0);
    }

private:
    std::size_t at(std::uint32_t block) const
    {
        const std::uint32_t index = block - 2;
        return blockStart(pages_[index / kBlocksPerBitmap]) + 4 + index % kBlocksPerBitmap / 32 * 4;
    }
    static std::uint32_t bit(std::uint32_t block) { return (block - 2) % 32; }

    std::string& image_;
    std::vector<std::uint32_t> pages_;
    std::uint32_t blocks_;
    std::uint32_t root_;
    std::vector<std::uint32_t> reserved_;
};

}  // namespace

std::uint32_t AdfVolume::freeBlocks() const
{
    std::string copy = image_;
    return BlockMap(copy, bitmapBlocks(), blockCount_, root_).freeCount();
}

void AdfVolume::writeRootFile(
    const std::string& name, const std::string& bytes, const std::string& comment, AmigaDate now)
{
    if (!nameAllowed(name))
        fail(AmigaDiskError::Kind::BadName, name);
    if (directoryCache())
        fail(AmigaDiskError::Kind::DirectoryCache, "DOS" + std::to_string(flags_));
    const std::optional<AdfEntry> old = findIn(root_, name);
    if (old && old->directory)
        fail(AmigaDiskError::Kind::NameIsDrawer, old->name);

    std::string work = image_;
    BlockMap map(work, bitmapBlocks(), blockCount_, root_);
    const std::uint32_t perBlock = fastFileSystem() ? kBlockBytes : kOfsDataBytes;
    if (bytes.size() > static_cast<std::size_t>(blockCount_) * kBlockBytes)
        fail(AmigaDiskError::Kind::DiskFull, std::to_string(bytes.size()) + " byte");
    const std::uint32_t dataCount = ceilDiv(static_cast<std::uint32_t>(bytes.size()), perBlock);
    const std::uint32_t extensionCount
        = dataCount > kPointersPerBlock ? ceilDiv(dataCount - kPointersPerBlock, kPointersPerBlock) : 0;
    const std::uint32_t needed = 1 + dataCount + extensionCount;
    const std::uint32_t available = map.freeCount();

    std::vector<std::uint32_t> oldBlocks;
    if (old) {
        oldBlocks.push_back(old->block);
        // A damaged old file gives back only its header: leaking blocks is safe,
        // freeing blocks another file might use is not.
        try {
            std::vector<std::uint32_t> extensions;
            const std::vector<std::uint32_t> data = dataBlocks(*old, &extensions);
            oldBlocks.insert(oldBlocks.end(), data.begin(), data.end());
            oldBlocks.insert(oldBlocks.end(), extensions.begin(), extensions.end());
        } catch (const AmigaDiskError&) {
        }
    }
    if (needed > available) {
        const std::string numbers
            = "servono " + std::to_string(needed) + " blocchi, liberi " + std::to_string(available);
        if (old && needed <= available + oldBlocks.size())
            fail(AmigaDiskError::Kind::FitsOnlyReplacing, numbers);
        fail(AmigaDiskError::Kind::DiskFull, numbers);
    }

    for (const std::uint32_t block : oldBlocks)
        map.reserve(block);
    const std::uint32_t header = map.allocate();
    std::vector<std::uint32_t> data(dataCount);
    for (std::uint32_t& block : data)
        block = map.allocate();
    std::vector<std::uint32_t> extensions(extensionCount);
    for (std::uint32_t& block : extensions)
        block = map.allocate();

    for (std::uint32_t i = 0; i < dataCount; ++i) {
        const std::uint32_t block = data[i];
        const std::size_t from = static_cast<std::size_t>(i) * perBlock;
        const std::size_t length = std::min<std::size_t>(perBlock, bytes.size() - from);
        std::fill_n(work.begin() + static_cast<std::ptrdiff_t>(blockStart(block)), kBlockBytes, '\0');
        if (fastFileSystem()) {
            work.replace(blockStart(block), length, bytes, from, length);
            continue;
        }
        writeLong(work, blockStart(block) + kOffType, kTypeData);
        writeLong(work, blockStart(block) + kOffKey, header);
        writeLong(work, blockStart(block) + kOffHighSeq, i + 1);
        writeLong(work, blockStart(block) + kOffDataSize, static_cast<std::uint32_t>(length));
        writeLong(work, blockStart(block) + kOffNextData, i + 1 < dataCount ? data[i + 1] : 0);
        work.replace(blockStart(block) + kOffData, length, bytes, from, length);
        sealBlock(work, block);
    }

    // The header and each extension block hold up to 72 pointers, first at the end.
    const auto writeTable = [&](std::uint32_t block, std::uint32_t first) {
        const std::uint32_t count = std::min(kPointersPerBlock, dataCount - first);
        writeLong(work, blockStart(block) + kOffHighSeq, count);
        for (std::uint32_t i = 0; i < count; ++i)
            writeLong(work, blockStart(block) + kOffTable + 4 * (kPointersPerBlock - 1 - i), data[first + i]);
    };
    for (std::uint32_t e = 0; e < extensionCount; ++e) {
        const std::uint32_t block = extensions[e];
        std::fill_n(work.begin() + static_cast<std::ptrdiff_t>(blockStart(block)), kBlockBytes, '\0');
        writeLong(work, blockStart(block) + kOffType, kTypeList);
        writeLong(work, blockStart(block) + kOffKey, block);
        writeTable(block, (e + 1) * kPointersPerBlock);
        writeLong(work, blockStart(block) + kOffParent, header);
        writeLong(work, blockStart(block) + kOffExtension, e + 1 < extensionCount ? extensions[e + 1] : 0);
        writeLong(work, blockStart(block) + kOffSecType, kSecFile);
        sealBlock(work, block);
    }

    std::fill_n(work.begin() + static_cast<std::ptrdiff_t>(blockStart(header)), kBlockBytes, '\0');
    writeLong(work, blockStart(header) + kOffType, kTypeHeader);
    writeLong(work, blockStart(header) + kOffKey, header);
    writeTable(header, 0);
    writeLong(work, blockStart(header) + kOffFirstData, dataCount ? data[0] : 0);
    // A new file may be read, written, run and deleted: those bits clear.
    writeLong(work, blockStart(header) + kOffProtect, 0);
    writeLong(work, blockStart(header) + kOffByteSize, static_cast<std::uint32_t>(bytes.size()));
    writeBString(work, header, kOffComment, comment.substr(0, kMaxCommentBytes));
    writeDate(work, header, kOffDate, now);
    writeBString(work, header, kOffName, name);
    writeLong(work, blockStart(header) + kOffParent, root_);
    writeLong(work, blockStart(header) + kOffExtension, extensionCount ? extensions[0] : 0);
    writeLong(work, blockStart(header) + kOffSecType, kSecFile);

    // Only now does the new file take the old one's place in its chain.
    std::size_t link = 0;
    if (old) {
        std::vector<bool> seen(blockCount_, false);
        for (std::uint32_t slot = 0; slot < kHashSlots && !link; ++slot) {
            std::size_t at = blockStart(root_) + kOffTable + 4 * slot;
            std::uint32_t block = readLong(work, at);
            while (validBlock(block) && !seen[block]) {
                seen[block] = true;
                if (block == old->block) {
                    link = at;
                    break;
                }
                at = blockStart(block) + kOffHashChain;
                block = readLong(work, at);
            }
        }
        if (!link)
            fail(AmigaDiskError::Kind::Damaged, "catena di " + old->name);
        writeLong(work, blockStart(header) + kOffHashChain, readLong(work, blockStart(old->block) + kOffHashChain));
    } else {
        link = blockStart(root_) + kOffTable + 4 * hashName(name, international());
        writeLong(work, blockStart(header) + kOffHashChain, readLong(work, link));
    }
    sealBlock(work, header);
    writeLong(work, link, header);
    if (link < blockStart(root_) || link >= blockStart(root_ + 1)) {
        const std::uint32_t holder = static_cast<std::uint32_t>(link / kBlockBytes);
        sealBlock(work, holder);
    }
    for (const std::uint32_t block : oldBlocks)
        map.set(block, true);
    map.seal();
    writeDate(work, root_, kOffDate, now);
    writeDate(work, root_, kOffVolumeDate, now);
    sealBlock(work, root_);
    image_ = std::move(work);
}

std::string AdfVolume::blankImage(AmigaDensity density, bool ffs, const std::string& volumeName, AmigaDate now)
{
    const std::uint32_t count = density == AmigaDensity::High ? kHighDensityBlocks : kDoubleDensityBlocks;
    const std::uint32_t root = count / 2;
    std::string image(static_cast<std::size_t>(count) * kBlockBytes, '\0');
    image.replace(0, 4, ffs ? std::string("DOS\1", 4) : std::string("DOS\0", 4));
    writeLong(image, 8, root);
    // No boot code: the sum is still made right, so the disk reads as a data disk.
    writeLong(image, 4, bootChecksum(image));

    writeLong(image, blockStart(root) + kOffType, kTypeHeader);
    writeLong(image, blockStart(root) + kOffHashSize, kHashSlots);
    writeLong(image, blockStart(root) + kOffBitmapFlag, 0xFFFFFFFFu);
    writeLong(image, blockStart(root) + kOffBitmapPages, root + 1);
    writeDate(image, root, kOffDate, now);
    writeBString(image, root, kOffName, volumeName.substr(0, kMaxNameBytes));
    writeDate(image, root, kOffVolumeDate, now);
    writeDate(image, root, kOffCreationDate, now);
    writeLong(image, blockStart(root) + kOffSecType, kSecRoot);
    sealBlock(image, root);

    BlockMap map(image, {root + 1}, count, root);
    for (std::uint32_t block = 2; block < count; ++block)
        map.set(block, block != root && block != root + 1);
    map.seal();
    return image;
}

}  // namespace iradudo
