// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_encoding.h"
#include "platform/drives/drive_backend.h"
#include "platform/drives/fat_volume.h"
#include "platform/io_error.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

// Files are opened as a copy in memory. A floppy holds at most 2.88 MB; the
// bound leaves room for the small FAT16 media (memory cards, ZIP disks) that are
// read the same way, while keeping one opened file from taking a large share of memory.
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

FileEntry fileEntry(const FatEntry& stored)
{
    FileEntry entry;
    entry.name = stored.name;
    entry.attributes = stored.directory ? faDirectory : faArchive;
    if (entry.name.size() > 1 && entry.name[0] == '.')
        entry.attributes |= faHidden;
    entry.size = stored.size;
    return entry;
}

// What identifies one state of an image file: a copy onto it changes its
// modification time.
struct Stamp {
    ino_t inode = 0;
    off_t size = 0;
    time_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const Stamp&) const = default;
};

// The medium as read at one moment: its boot sector and FAT, and the
// directories read since.
struct Medium {
    FileHandle file;
    std::optional<FatVolume> volume;
    std::map<DriveBackend::Path, std::vector<FatEntry>> directories;
};

class FatFloppyBackend : public DriveBackend {
public:
    explicit FatFloppyBackend(const std::string& deviceOrImage) : deviceOrImage_(deviceOrImage) { }

    std::optional<std::string> volumeLabel() const override
    {
        try {
            return medium().volume->label();
        } catch (const EInOutError&) {
            return std::string();
        } catch (const FatError&) {
            return std::string();
        }
    }

    std::optional<std::string> matchName(const Path& directory, const std::string& name, bool) const override
    {
        const std::vector<FatEntry>& entries = listing(directory);
        std::optional<std::size_t> found = findFatName(entries, name);
        // Long names are UTF-8; a name given in ISO-8859-1 bytes finds the same file.
        if (!found && !isValidUtf8(name))
            found = findFatName(entries, latin1ToUtf8(name));
        return found ? std::optional<std::string>(entries[*found].name) : std::nullopt;
    }

    void enter(const Path& directory) override
    {
        if (directory.empty()) {
            medium();  // throws ErrorNotReady without a readable disk
            return;
        }
        Medium& read = medium();
        const std::optional<FatEntry> found = storedEntry(read, directory);
        if (!found || !found->directory)
            throw EInOutError(ErrorDirectory);
        listing(read, directory);
    }

    void list(const Path& directory, const std::function<void(const FileEntry&)>& onEntry) const override
    {
        const std::vector<FatEntry> entries = listing(directory);
        if (!directory.empty()) {
            for (const char* dots : {".", ".."})
                onEntry(FileEntry{dots, faDirectory, 0});
        }
        for (const FatEntry& entry : entries)
            onEntry(fileEntry(entry));
    }

    std::optional<FileEntry> entry(const Path& path) const override
    {
        try {
            if (path.empty()) {
                medium();
                return FileEntry{"", faDirectory, 0};
            }
            const std::optional<FatEntry> found = storedEntry(medium(), path);
            return found ? std::optional<FileEntry>(fileEntry(*found)) : std::nullopt;
        } catch (const EInOutError&) {
            return std::nullopt;
        }
    }

    FileHandle open(const Path& path) const override
    {
        try {
            Medium& read = medium();
            const std::optional<FatEntry> found = storedEntry(read, path);
            std::string bytes;
            if (!found || !read.volume->read(*found, kMaxFileBytes, bytes))
                return {};
            return memoryFile(bytes);
        } catch (const EInOutError&) {
            return {};
        }
    }

    // A floppy's files are small: read whole from the volume, no memory file made.
    bool readHead(const Path& path, std::size_t maxBytes, std::string& bytes) const override
    {
        bytes.clear();
        try {
            Medium& read = medium();
            const std::optional<FatEntry> found = storedEntry(read, path);
            if (!found || !read.volume->read(*found, kMaxFileBytes, bytes))
                return false;
            if (bytes.size() > maxBytes)
                bytes.resize(maxBytes);
            return true;
        } catch (const EInOutError&) {
            return false;
        }
    }

    void batchBegan() override { batchOpen_ = true; }
    void batchEnded() override
    {
        batchOpen_ = false;
        readInBatch_ = false;
    }

private:
    // The medium, read again when it may have changed: an image file whenever its
    // stamp differs, a device (whose disk may be swapped at any moment) on every
    // call outside a name batch.
    Medium& medium() const
    {
        // One name batch (a listing, its companions) sees one state of the medium.
        if (medium_ && batchOpen_ && readInBatch_)
            return *medium_;
        struct stat info { };
        const bool image = ::stat(deviceOrImage_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
        const Stamp stamp{info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
        const bool current = medium_ && (image ? stamp == stamp_ : batchOpen_);
        if (current) {
            readInBatch_ = batchOpen_;
            return *medium_;
        }
        medium_.reset();
        auto read = std::make_unique<Medium>();
        read->file = FileHandle(::open(deviceOrImage_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!read->file.valid())
            throw EInOutError(ErrorNotReady);
        const off_t end = ::lseek(read->file.fd(), 0, SEEK_END);
        try {
            read->volume.emplace(readFromDescriptor(read->file.fd()), end > 0 ? static_cast<std::uint64_t>(end) : 0);
        } catch (const FatError&) {
            throw EInOutError(ErrorNotReady);
        }
        medium_ = std::move(read);
        stamp_ = image ? stamp : Stamp{};
        readInBatch_ = batchOpen_;
        return *medium_;
    }

    // A directory's entries, each read once per state of the medium. A directory
    // whose cluster is already on the path to it (a loop back to an ancestor)
    // cannot be entered.
    static const std::vector<FatEntry>& listing(Medium& read, const Path& directory)
    {
        try {
            auto cached = read.directories.find({});
            if (cached == read.directories.end())
                cached = read.directories.emplace(Path{}, read.volume->root()).first;
            std::vector<std::uint32_t> visited;
            Path path;
            for (const std::string& name : directory) {
                const std::vector<FatEntry>& above = cached->second;
                const std::optional<std::size_t> found = findFatName(above, name);
                if (!found || !above[*found].directory)
                    throw EInOutError(ErrorPathNotFound);
                const FatEntry& stored = above[*found];
                if (std::ranges::find(visited, stored.firstCluster) != visited.end())
                    throw EInOutError(ErrorPathNotFound);
                visited.push_back(stored.firstCluster);
                path.push_back(name);
                auto below = read.directories.find(path);
                if (below == read.directories.end())
                    below = read.directories.emplace(path, read.volume->list(stored)).first;
                cached = below;
            }
            return cached->second;
        } catch (const FatError&) {
            throw EInOutError(directory.empty() ? ErrorNotReady : ErrorIoDevice);
        }
    }

    const std::vector<FatEntry>& listing(const Path& directory) const { return listing(medium(), directory); }

    static std::optional<FatEntry> storedEntry(Medium& read, const Path& path)
    {
        const std::vector<FatEntry>& entries = listing(read, Path(path.begin(), path.end() - 1));
        const std::optional<std::size_t> found = findFatName(entries, path.back());
        return found ? std::optional<FatEntry>(entries[*found]) : std::nullopt;
    }

    std::string deviceOrImage_;
    bool batchOpen_ = false;
    // The medium has been checked since the batch began.
    mutable bool readInBatch_ = false;
    mutable Stamp stamp_;
    mutable std::unique_ptr<Medium> medium_;
};

}  // namespace

std::unique_ptr<DriveBackend> makeFatFloppyBackend(const std::string& deviceOrImage)
{
    return std::make_unique<FatFloppyBackend>(deviceOrImage);
}

}  // namespace iradudo
