// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/drives/adf_volume.h"
#include "platform/drives/drive_backend.h"
#include "platform/io_error.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

FileEntry entryFromVolume(const AdfEntry& adf)
{
    FileEntry entry;
    entry.name = adf.name;
    entry.attributes = adf.directory ? faDirectory : faArchive;
    entry.size = adf.directory ? 0 : static_cast<std::int64_t>(adf.size);
    return entry;
}

// Drive A: on an Amiga disk file. The image is read whole (it holds at most
// 1.76 MB) and read again when the file changes, as a copy to the floppy does.
class AdfBackend : public DriveBackend {
public:
    explicit AdfBackend(std::string imagePath) : imagePath_(std::move(imagePath)) { }

    std::optional<std::string> volumeLabel() const override
    {
        try {
            return volume().volumeName();
        } catch (const EInOutError&) {
            return std::string();
        }
    }

    std::optional<std::string> matchName(const Path& directory, const std::string& name, bool) const override
    {
        Path below = directory;
        below.push_back(name);
        const std::optional<AdfEntry> found = volume().find(below);
        return found ? std::optional<std::string>(found->name) : std::nullopt;
    }

    void enter(const Path& directory) override
    {
        const std::optional<AdfEntry> found = volume().find(directory);
        if (!found || !found->directory)
            throw EInOutError(ErrorDirectory);
    }

    void list(const Path& directory, const std::function<void(const FileEntry&)>& onEntry) const override
    {
        std::vector<AdfEntry> entries;
        try {
            entries = volume().list(directory);
        } catch (const AmigaDiskError&) {
            throw EInOutError(ErrorPathNotFound);
        }
        if (!directory.empty()) {
            for (const char* dots : {".", ".."})
                onEntry(FileEntry{dots, faDirectory, 0});
        }
        for (const AdfEntry& entry : entries)
            onEntry(entryFromVolume(entry));
    }

    std::optional<FileEntry> entry(const Path& path) const override
    {
        try {
            const std::optional<AdfEntry> found = volume().find(path);
            return found ? std::optional<FileEntry>(entryFromVolume(*found)) : std::nullopt;
        } catch (const EInOutError&) {
            return std::nullopt;
        }
    }

    FileHandle open(const Path& path) const override
    {
        try {
            const std::optional<AdfEntry> found = volume().find(path);
            if (!found || found->directory)
                return {};
            return memoryFile(volume().read(*found));
        } catch (const EInOutError&) {
            return {};
        } catch (const AmigaDiskError&) {
            return {};
        }
    }

    bool readHead(const Path& path, std::size_t maxBytes, std::string& bytes) const override
    {
        bytes.clear();
        try {
            const std::optional<AdfEntry> found = volume().find(path);
            if (!found || found->directory)
                return false;
            bytes = volume().read(*found);
            if (bytes.size() > maxBytes)
                bytes.resize(maxBytes);
            return true;
        } catch (const EInOutError&) {
            return false;
        } catch (const AmigaDiskError&) {
            return false;
        }
    }

private:
    // The volume as the image now holds it; ErrorNotReady when it is no Amiga disk.
    const AdfVolume& volume() const
    {
        struct stat info { };
        if (::stat(imagePath_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)
            || (info.st_size != kAmigaDoubleDensityBytes && info.st_size != kAmigaHighDensityBytes)) {
            volume_.reset();
            throw EInOutError(ErrorNotReady);
        }
        if (volume_ && writes_ == amigaDiskWriteCount() && info.st_ino == loaded_.st_ino
            && info.st_size == loaded_.st_size && info.st_mtim.tv_sec == loaded_.st_mtim.tv_sec
            && info.st_mtim.tv_nsec == loaded_.st_mtim.tv_nsec)
            return *volume_;
        volume_.reset();
        writes_ = amigaDiskWriteCount();
        const FileHandle file(::open(imagePath_.c_str(), O_RDONLY | O_CLOEXEC));
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t done = 0;
        while (file.valid() && done < bytes.size()) {
            const ssize_t n = ::pread(file.fd(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        if (done != bytes.size())
            throw EInOutError(ErrorNotReady);
        try {
            volume_ = std::make_unique<AdfVolume>(std::move(bytes));
        } catch (const AmigaDiskError&) {
            throw EInOutError(ErrorNotReady);
        }
        loaded_ = info;
        return *volume_;
    }

    std::string imagePath_;
    mutable std::unique_ptr<AdfVolume> volume_;
    mutable struct stat loaded_ {
    };
    mutable std::uint64_t writes_ = 0;
};

}  // namespace

std::unique_ptr<DriveBackend> makeAdfBackend(const std::string& imagePath)
{
    return std::make_unique<AdfBackend>(imagePath);
}

}  // namespace iradudo
