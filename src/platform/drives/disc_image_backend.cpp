// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/drive_backend.h"
#include "platform/drives/image_copies.h"
#include "platform/drives/iso_image.h"
#include "platform/file_copy.h"
#include "platform/io_error.h"

#include <algorithm>
#include <sys/mman.h>
#include <unistd.h>

namespace iradudo {
namespace {

FileEntry entryFromImage(const IsoEntry& image)
{
    FileEntry entry;
    entry.name = image.name;
    entry.attributes = faReadOnly | (image.directory ? faDirectory : faArchive);
    if (entry.name.size() > 1 && entry.name[0] == '.' && entry.name != "..")
        entry.attributes |= faHidden;
    entry.size = static_cast<std::int64_t>(image.size);
    return entry;
}

class DiscImageBackend : public DriveBackend {
public:
    explicit DiscImageBackend(const std::string& imagePath) : image_(imagePath) { }

    std::optional<std::string> matchName(const Path& directory, const std::string& name, bool) const override
    {
        Path below = directory;
        below.push_back(name);
        const std::optional<IsoEntry> entry = image_.findEntry(below);
        return entry ? std::optional<std::string>(entry->name) : std::nullopt;
    }

    // The process's working directory cannot follow into an image; bare names
    // then resolve through the image like any other path.
    void enter(const Path& directory) override
    {
        const std::optional<IsoEntry> entry = image_.findEntry(directory);
        if (!entry || !entry->directory)
            throw EInOutError(ErrorDirectory);
    }

    void list(const Path& directory, const std::function<void(const FileEntry&)>& onEntry) const override
    {
        const std::vector<IsoEntry> entries = image_.listDirectory(directory);
        if (!directory.empty()) {
            for (const char* dots : {".", ".."})
                onEntry(FileEntry{dots, faReadOnly | faDirectory, 0});
        }
        for (const IsoEntry& entry : entries)
            onEntry(entryFromImage(entry));
    }

    std::optional<FileEntry> entry(const Path& path) const override
    {
        try {
            std::optional<IsoEntry> entry = image_.findEntry(path);
            if (!entry)
                return std::nullopt;
            if (path.empty())
                entry->name.clear();
            return entryFromImage(*entry);
        } catch (const EInOutError&) {
            return std::nullopt;
        }
    }

    FileHandle open(const Path& path) const override
    {
        constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 30;
        try {
            const std::optional<IsoEntry> entry = image_.findEntry(path);
            return entry ? memoryCopy(image_, *entry, kMaxBytes) : FileHandle();
        } catch (const EInOutError&) {
            return {};
        }
    }

    bool readHead(const Path& path, std::size_t maxBytes, std::string& bytes) const override
    {
        bytes.clear();
        try {
            const std::optional<IsoEntry> entry = image_.findEntry(path);
            if (!entry || entry->directory || entry->link)
                return false;
            bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(entry->size, maxBytes)));
            if (bytes.empty() || image_.readAt(*entry, 0, bytes.data(), bytes.size()))
                return true;
        } catch (const EInOutError&) {
        }
        bytes.clear();
        return false;
    }

    bool startCopy(const Path& path, ImageCopies& copies, CommandLauncher& launcher) const override
    {
        return startImageFile(image_, path, copies, launcher);
    }

private:
    IsoImage image_;
};

}  // namespace

std::unique_ptr<DriveBackend> makeDiscImageBackend(const std::string& imagePath)
{
    return std::make_unique<DiscImageBackend>(imagePath);
}

}  // namespace iradudo
