// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dos_path.h"
#include "platform/drives/drive_backend.h"
#include "platform/drives/image_copies.h"
#include "platform/drives/name_cache.h"
#include "platform/file_copy.h"
#include "platform/io_error.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

bool entryExists(const std::string& hostPath, int& error)
{
    struct stat info { };
    if (::lstat(hostPath.c_str(), &info) == 0)
        return true;
    error = errno;
    return false;
}

FileEntry entryFromStat(std::string name, const struct stat& info)
{
    FileEntry entry;
    entry.name = std::move(name);
    if (S_ISDIR(info.st_mode))
        entry.attributes |= faDirectory;
    else if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))
        entry.attributes |= faArchive;
    else
        entry.attributes |= faSysFile;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        entry.attributes |= faReadOnly;
    if (entry.name.size() > 1 && entry.name[0] == '.' && entry.name != "..")
        entry.attributes |= faHidden;
    if (S_ISREG(info.st_mode))
        entry.size = static_cast<std::int64_t>(info.st_size);
    return entry;
}

// Calls onName for every name in a host directory; false when it cannot be read.
template <typename F>
bool forEachName(const std::string& hostDirectory, F&& onName, int& error)
{
    DIR* dir = ::opendir(hostDirectory.c_str());
    if (!dir) {
        error = errno;
        return false;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        onName(entry->d_name, entry->d_type);
        errno = 0;
    }
    error = errno;
    ::closedir(dir);
    return error == 0;
}

class HostDirectoryBackend : public DriveBackend {
public:
    explicit HostDirectoryBackend(std::string root) : root_(std::move(root)) { }
    ~HostDirectoryBackend() override
    {
        if (currentDirectoryFd_ >= 0)
            ::close(currentDirectoryFd_);
    }

    std::optional<std::string> matchName(const Path& directory, const std::string& name, bool inCurrent) const override
    {
        const std::string hostDirectory = hostPathOf(directory);
        if (batchOpen_ && inCurrent)
            return batchMatch(hostDirectory, name);
        int error = 0;
        const std::string exactPath = hostDirectory + (hostDirectory.ends_with('/') ? "" : "/") + name;
        if (entryExists(exactPath, error) || error != ENOENT)
            return name;  // other errors show when the entry is used
        return scanMatch(hostDirectory, name);
    }

    void enter(const Path& directory) override
    {
        const std::string hostPath = hostPathOf(directory);
        if (::chdir(hostPath.c_str()) != 0)
            throw EInOutError(windowsErrorFromErrno(errno));
        enteredDirectory(hostPath);
    }

    void startIn(const Path& directory) override { enteredDirectory(hostPathOf(directory)); }

    void list(const Path& directory, const std::function<void(const FileEntry&)>& onEntry) const override
    {
        const bool atRoot = directory.empty();
        DIR* dir = ::opendir(hostPathOf(directory).c_str());
        if (!dir)
            throw EInOutError(windowsErrorFromErrno(errno));
        const int dirFd = ::dirfd(dir);
        int error = 0;
        try {
            for (;;) {
                errno = 0;
                const dirent* raw = ::readdir(dir);
                if (!raw) {
                    error = errno;
                    break;
                }
                const std::string_view name = raw->d_name;
                if (atRoot && (name == "." || name == ".."))
                    continue;
                struct stat info { };
                if (::fstatat(dirFd, raw->d_name, &info, 0) != 0
                    && ::fstatat(dirFd, raw->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;  // gone since the directory was read
                onEntry(entryFromStat(std::string(name), info));
            }
        } catch (...) {
            ::closedir(dir);
            throw;
        }
        ::closedir(dir);
        if (error != 0)
            throw EInOutError(windowsErrorFromErrno(error));
    }

    std::optional<FileEntry> entry(const Path& path) const override
    {
        struct stat info { };
        if (::stat(hostPathOf(path).c_str(), &info) != 0)
            return std::nullopt;
        return entryFromStat(path.empty() ? std::string() : path.back(), info);
    }

    FileHandle open(const Path& path) const override { return openRegularFile(hostPathOf(path)); }

    bool copyOut(const Path& path, const std::string& hostDestination) const override
    {
        return copyFileReplacing(hostPathOf(path), hostDestination);
    }

    bool writable() const override { return true; }
    bool hasHostPaths() const override { return true; }

    bool answersBareNames() const override { return currentDirectoryFd_ >= 0; }

    // Names from a file list exist as given, so the exact name goes first (one
    // fstatat). A link that leads nowhere (dangling or looping) is no entry: it
    // has no size, and reading it fails, like an entry that vanished.
    std::optional<FileEntry> bareEntry(const std::string& name) const override
    {
        struct stat info { };
        if (::fstatat(currentDirectoryFd_, name.c_str(), &info, 0) == 0)
            return entryFromStat(name, info);
        if (errno != ENOENT)
            return std::nullopt;
        const std::optional<std::string> actual
            = batchOpen_ ? batchMatch(currentHostPath_, name) : scanMatch(currentHostPath_, name);
        if (!actual || *actual == name)
            return std::nullopt;
        if (::fstatat(currentDirectoryFd_, actual->c_str(), &info, 0) == 0)
            return entryFromStat(*actual, info);
        return std::nullopt;
    }

    // Names from a file list exist as given, so the exact name is tried first:
    // the open and a stat of the open file cost less than reading the directory
    // into the batch's name cache, which only a name in another letter case needs.
    FileHandle openBare(const std::string& name, bool listedRegular) const override
    {
        errno = 0;
        FileHandle file = openRegularFileAt(currentDirectoryFd_, name.c_str(), listedRegular);
        if (file.valid() || errno != ENOENT)
            return file;
        if (batchOpen_) {
            unsigned char type = DT_UNKNOWN;
            const char* actual = batchLookup(currentHostPath_, name, &type);
            if (!actual || type == DT_DIR || name == actual)
                return {};
            return openRegularFileAt(currentDirectoryFd_, actual, type == DT_REG);
        }
        if (const std::optional<std::string> actual = scanMatch(currentHostPath_, name))
            file = openRegularFileAt(currentDirectoryFd_, actual->c_str());
        return file;
    }

    void batchBegan() override { batchOpen_ = true; }
    void batchEnded() override
    {
        batchOpen_ = false;
        batchCache_.reset();
    }

private:
    std::string hostPathOf(const Path& path) const
    {
        std::string hostPath = root_;
        for (const std::string& component : path) {
            if (hostPath.empty() || hostPath.back() != '/')
                hostPath.push_back('/');
            hostPath += component;
        }
        return hostPath;
    }

    std::optional<std::string> batchMatch(const std::string& hostDirectory, const std::string& name) const
    {
        const char* found = batchLookup(hostDirectory, name, nullptr);
        return found ? std::optional<std::string>(found) : std::nullopt;
    }

    const char* batchLookup(const std::string& hostDirectory, const std::string& name, unsigned char* type) const
    {
        if (!batchCache_ || batchCache_->hostDirectory() != hostDirectory) {
            auto cache = std::make_unique<NameCache>(hostDirectory);
            int error = 0;
            forEachName(
                hostDirectory, [&](const char* entry, unsigned char type) { cache->add(entry, type); }, error);
            cache->buildIndex();
            batchCache_ = std::move(cache);
        }
        return batchCache_->find(name, type);
    }

    std::optional<std::string> scanMatch(const std::string& hostDirectory, const std::string& name) const
    {
        std::optional<std::string> match;
        bool ambiguous = false;
        int error = 0;
        forEachName(
            hostDirectory,
            [&](const char* entry, unsigned char) {
                if (equalsIgnoringAsciiCase(entry, name)) {
                    ambiguous = ambiguous || match.has_value();
                    match = entry;
                }
            },
            error);
        if (ambiguous)
            return std::nullopt;
        return match;
    }

    void enteredDirectory(const std::string& hostPath)
    {
        if (currentDirectoryFd_ >= 0)
            ::close(currentDirectoryFd_);
        currentDirectoryFd_ = hostPath.empty() ? -1 : ::open(hostPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        currentHostPath_ = hostPath;
        if (batchCache_ && batchCache_->hostDirectory() != hostPath)
            batchCache_.reset();
    }

    std::string root_;
    int currentDirectoryFd_ = -1;  // the current directory, for *at() calls on bare names
    std::string currentHostPath_;
    bool batchOpen_ = false;
    mutable std::unique_ptr<NameCache> batchCache_;
};

}  // namespace

std::unique_ptr<DriveBackend> makeHostDirectoryBackend(const std::string& root)
{
    return std::make_unique<HostDirectoryBackend>(root);
}

}  // namespace iradudo
