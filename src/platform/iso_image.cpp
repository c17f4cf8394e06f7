// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/iso_image.h"

#include "platform/dos_path.h"
#include "platform/exception.h"
#include "platform/io_error.h"

#include <algorithm>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <cstdlib>
#include <sys/stat.h>
#include <unordered_map>

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

std::vector<RawEntry> readRaw(iso9660_t* iso, const std::string& recordedPath)
{
    CdioList_t* list = iso9660_ifs_readdir(iso, recordedPath.c_str());
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
        raw.entry.firstSector = static_cast<std::uint32_t>(stat->lsn);
        raw.entry.extentBytes = stat->size;
        raw.entry.size = raw.entry.directory ? 0 : stat->size;
        raw.entry.recordedPath = (recordedPath == "/" ? "" : recordedPath) + "/" + raw.entry.name;
        entries.push_back(std::move(raw));
    }
    iso9660_filelist_free(list);
    return entries;
}

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
    imageBytes_ = static_cast<std::uint64_t>(status.st_size);
    iso_ = iso9660_open_ext(imagePath.c_str(), ISO_EXTENSION_NONE);
    if (iso_ == nullptr)
        throw EFOpenError(imagePath);
    iso9660_pvd_t pvd{};
    if (!iso9660_ifs_read_pvd(iso_, &pvd)) {
        iso9660_close(iso_);
        throw EFOpenError(imagePath);
    }
    if (char* id = iso9660_get_volume_id(&pvd)) {
        volumeLabel_ = trimmed(id);
        std::free(id);
    }

    root_.directory = true;
    root_.recordedPath = "/";
    // The root's own record sizes its directory, checked before the reader trusts it.
    auto statRoot = [this, &imagePath] {
        iso9660_stat_t* stat = iso9660_ifs_stat(iso_, "/");
        if (stat == nullptr) {
            iso9660_close(iso_);
            throw EFOpenError(imagePath);
        }
        root_.firstSector = static_cast<std::uint32_t>(stat->lsn);
        root_.extentBytes = stat->size;
        iso9660_stat_free(stat);
    };
    statRoot();

    // Rock Ridge marks even the root's "." entry, so the root alone tells.
    bool rockRidge = false;
    try {
        checkExtent(root_);
        for (const RawEntry& raw : readRaw(iso_, "/"))
            rockRidge = rockRidge || raw.rockRidge;
    } catch (const EInOutError&) {
        iso9660_close(iso_);
        throw EFOpenError(imagePath);
    }
    if (rockRidge) {
        names_ = IsoNames::RockRidge;
        return;
    }
    iso9660_t* joliet = iso9660_open_ext(
        imagePath.c_str(), ISO_EXTENSION_JOLIET_LEVEL1 | ISO_EXTENSION_JOLIET_LEVEL2 | ISO_EXTENSION_JOLIET_LEVEL3);
    if (joliet != nullptr && iso9660_ifs_get_joliet_level(joliet) > 0) {
        iso9660_close(iso_);
        iso_ = joliet;
        names_ = IsoNames::Joliet;
        statRoot();
    } else if (joliet != nullptr) {
        iso9660_close(joliet);
    }
}

IsoImage::~IsoImage()
{
    iso9660_close(iso_);
}

void IsoImage::checkExtent(const IsoEntry& entry) const
{
    const std::uint64_t start = std::uint64_t{entry.firstSector} * kSectorBytes;
    if (start > imageBytes_ || entry.extentBytes > imageBytes_ - start)
        throw EInOutError(ErrorIoDevice);
    if (entry.directory && entry.extentBytes > kMaxDirectoryBytes)
        throw EInOutError(ErrorIoDevice);
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
    for (RawEntry& raw : readRaw(iso_, directory.recordedPath)) {
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
    const std::uint64_t sectors = (file.size + kSectorBytes - 1) / kSectorBytes;
    // A little at a time, so a file is never held twice over in sector-sized slack.
    constexpr std::uint64_t kChunkSectors = 64;
    std::string chunk(kChunkSectors * kSectorBytes, '\0');
    bytes.reserve(file.size);
    for (std::uint64_t done = 0; done < sectors; done += kChunkSectors) {
        const std::uint64_t count = std::min(kChunkSectors, sectors - done);
        const long got = iso9660_iso_seek_read(
            iso_, chunk.data(), static_cast<lsn_t>(file.firstSector + done), static_cast<long>(count));
        if (got != static_cast<long>(count * kSectorBytes)) {
            bytes.clear();
            return WholeFileRead::ReadError;
        }
        bytes.append(chunk.data(), std::min<std::uint64_t>(count * kSectorBytes, file.size - bytes.size()));
    }
    return WholeFileRead::Complete;
}

}  // namespace iradudo
