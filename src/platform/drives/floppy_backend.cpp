// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/text_encoding.h"
#include "platform/dos_path.h"
#include "platform/drives/drive_backend.h"
#include "platform/drives/mdir_listing.h"
#include "platform/io_error.h"
#include "platform/mtools.h"

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {
namespace {

// The largest floppy there is (2.88 MB): no file on one is larger.
constexpr std::size_t kMaxFloppyFileBytes = 2949120;

FileEntry entryFromListing(const MdirEntry& listed)
{
    FileEntry entry;
    entry.name = listed.name;
    entry.attributes = listed.directory ? faDirectory : faArchive;
    if (entry.name.size() > 1 && entry.name[0] == '.')
        entry.attributes |= faHidden;
    entry.size = listed.size;
    return entry;
}

// The entry a name finds in a listing: the exact name, else the one equal but
// for ASCII case (a unique match wins), else the one whose 8.3 name it is.
const MdirEntry* findListed(const MdirListing& listing, const std::string& name)
{
    const MdirEntry* match = nullptr;
    bool ambiguous = false;
    for (const MdirEntry& entry : listing.entries) {
        if (entry.name == name)
            return &entry;
        if (equalsIgnoringAsciiCase(entry.name, name)) {
            ambiguous = ambiguous || match;
            match = &entry;
        }
    }
    if (match || ambiguous)
        return ambiguous ? nullptr : match;
    for (const MdirEntry& entry : listing.entries) {
        if (equalsIgnoringAsciiCase(entry.shortName, name))
            return &entry;
    }
    return nullptr;
}

// mtools takes "*", "?" and "[" in a name it is given as wildcards; such names
// are passed by their 8.3 names, which cannot hold them.
bool mtoolsTakesLiterally(const std::string& name)
{
    for (const unsigned char c : name) {
        if (c < 0x20 || c == '*' || c == '?' || c == '[' || c == ']' || c == '\\' || c == '/')
            return false;
    }
    return !name.empty();
}

class MtoolsFloppyBackend : public DriveBackend {
public:
    explicit MtoolsFloppyBackend(const std::string& deviceOrImage) : deviceOrImage_(deviceOrImage)
    {
        if (deviceOrImage.find_first_of("\"\n") != std::string::npos)
            throw std::invalid_argument("floppy path holds a quote or a line break");
    }
    ~MtoolsFloppyBackend() override { MtoolsFloppyBackend::batchEnded(); }

    std::optional<std::string> volumeLabel() const override
    {
        try {
            return listing({})->label;
        } catch (const EInOutError&) {
            return std::string();
        }
    }

    std::optional<std::string> matchName(const Path& directory, const std::string& name, bool) const override
    {
        const std::shared_ptr<const MdirListing> names = listing(directory);
        const MdirEntry* found = findListed(*names, name);
        // Long names are UTF-8; a name given in ISO-8859-1 bytes finds the same file.
        if (!found && !isValidUtf8(name))
            found = findListed(*names, latin1ToUtf8(name));
        return found ? std::optional<std::string>(found->name) : std::nullopt;
    }

    void enter(const Path& directory) override
    {
        if (directory.empty()) {
            listing({});  // throws ErrorNotReady without a readable disk
            return;
        }
        const std::optional<MdirEntry> found = listedEntry(directory);
        if (!found || !found->directory)
            throw EInOutError(ErrorDirectory);
    }

    void list(const Path& directory, const std::function<void(const FileEntry&)>& onEntry) const override
    {
        const std::shared_ptr<const MdirListing> names = listing(directory);
        if (!directory.empty()) {
            for (const char* dots : {".", ".."})
                onEntry(FileEntry{dots, faDirectory, 0});
        }
        for (const MdirEntry& entry : names->entries)
            onEntry(entryFromListing(entry));
    }

    std::optional<FileEntry> entry(const Path& path) const override
    {
        try {
            if (path.empty()) {
                listing({});
                return FileEntry{"", faDirectory, 0};
            }
            const std::optional<MdirEntry> found = listedEntry(path);
            return found ? std::optional<FileEntry>(entryFromListing(*found)) : std::nullopt;
        } catch (const EInOutError&) {
            return std::nullopt;
        }
    }

    // The file is copied out whole into the private directory and read into memory.
    // Within a name batch the first file opened in a directory brings all of that
    // directory's files out in one mcopy (a floppy holds little), so a listing's
    // companions cost one run, not one each.
    FileHandle open(const Path& path) const override
    {
        try {
            const std::optional<MdirEntry> found = listedEntry(path);
            if (!found || found->directory || found->size > static_cast<std::int64_t>(kMaxFloppyFileBytes))
                return {};
            const Path parent(path.begin(), path.end() - 1);
            std::string copy;
            if (batchOpen_)
                copy = extractedDirectory(parent);
            if (!copy.empty() && ::access((copy + "/" + found->name).c_str(), F_OK) == 0) {
                copy += "/" + found->name;
            } else {
                copy = mtools().directory() + "/file" + std::to_string(++copies_);
                if (mtools().run("mcopy", {"-n", mtoolsPath(path, false), copy}).exitCode != 0) {
                    ::unlink(copy.c_str());
                    return {};
                }
            }
            FileHandle file(::open(copy.c_str(), O_RDONLY | O_CLOEXEC));
            ::unlink(copy.c_str());
            std::string bytes;
            if (!file.valid() || readWholeFile(file, kMaxFloppyFileBytes, bytes) != WholeFileRead::Complete)
                return {};
            return memoryFile(bytes);
        } catch (const EInOutError&) {
            return {};
        }
    }

    void batchBegan() override { batchOpen_ = true; }
    void batchEnded() override
    {
        batchOpen_ = false;
        for (const auto& [directory, hostDirectory] : extracted_) {
            std::error_code ignored;
            std::filesystem::remove_all(hostDirectory, ignored);
        }
        extracted_.clear();
    }

private:
    // A directory's listing; while a name batch is open each directory is read once.
    std::shared_ptr<const MdirListing> listing(const Path& directory) const
    {
        // An image file that mtools wrote to has a new modification time; a device
        // may have had its disk changed at any moment, so is trusted only within a batch.
        struct stat info { };
        const bool image = ::stat(deviceOrImage_.c_str(), &info) == 0 && S_ISREG(info.st_mode);
        const Stamp stamp{info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
        if (!image || stamp != stamp_) {
            if (!batchOpen_)
                cache_.clear();
            stamp_ = image ? stamp : Stamp{};
        }
        if (batchOpen_ || image) {
            if (const auto cached = cache_.find(directory); cached != cache_.end())
                return cached->second;
        }
        const ProgramResult result = mtools().run("mdir", {"-a", mtoolsPath(directory, true)});
        if (!result.started || result.exitCode != 0) {
            // A disk mtools cannot open or read is no medium; a missing name is a missing path.
            const bool missing = !directory.empty() && result.output.find("not found") != std::string::npos
                && result.output.find("Cannot initialize") == std::string::npos;
            throw EInOutError(missing ? ErrorPathNotFound : ErrorNotReady);
        }
        auto read = std::make_shared<const MdirListing>(parseMdirListing(result.output));
        if (batchOpen_ || image)
            cache_[directory] = read;
        return read;
    }

    std::optional<MdirEntry> listedEntry(const Path& path) const
    {
        const Path parent(path.begin(), path.end() - 1);
        const std::shared_ptr<const MdirListing> names = listing(parent);
        for (const MdirEntry& entry : names->entries) {
            if (entry.name == path.back())
                return entry;
        }
        return std::nullopt;
    }

    // "a:/NAME/NAME" for mtools, each name as stored or, where mtools would read
    // it as a pattern, its 8.3 name from the parent's listing.
    std::string mtoolsPath(const Path& path, bool directory) const
    {
        std::string text = "a:/";
        for (std::size_t i = 0; i < path.size(); ++i) {
            if (i > 0)
                text += '/';
            if (mtoolsTakesLiterally(path[i])) {
                text += path[i];
                continue;
            }
            const std::optional<MdirEntry> found = listedEntry(Path(path.begin(), path.begin() + i + 1));
            if (!found)
                throw EInOutError(i + 1 == path.size() ? ErrorFileNotFound : ErrorPathNotFound);
            text += found->shortName;
        }
        if (directory && !path.empty())
            text += '/';
        return text;
    }

    // All files of a directory copied into a directory of their own; empty when a
    // name in it could not be written there as it is.
    std::string extractedDirectory(const Path& directory) const
    {
        if (const auto done = extracted_.find(directory); done != extracted_.end())
            return done->second;
        std::string& hostDirectory = extracted_[directory];
        const std::shared_ptr<const MdirListing> names = listing(directory);
        for (const MdirEntry& entry : names->entries) {
            if (entry.name.find('/') != std::string::npos || entry.name == "." || entry.name == "..")
                return hostDirectory;
        }
        const std::string target = mtools().directory() + "/dir" + std::to_string(++copies_);
        if (::mkdir(target.c_str(), 0700) != 0)
            return hostDirectory;
        hostDirectory = target;
        mtools().run("mcopy", {"-n", mtoolsPath(directory, true) + "*", target + "/"});
        return hostDirectory;
    }

    struct Stamp {
        ino_t inode = 0;
        off_t size = 0;
        time_t seconds = 0;
        long nanoseconds = 0;
        bool operator==(const Stamp&) const = default;
    };

    std::string deviceOrImage_;
    // Made when the floppy is first read, so a run that never reads it leaves
    // no private directory behind even when it ends without cleaning up.
    const MtoolsDrive& mtools() const
    {
        try {
            if (!mtools_)
                mtools_.emplace(deviceOrImage_);
        } catch (const std::exception&) {
            throw EInOutError(ErrorNotReady);
        }
        return *mtools_;
    }

    mutable std::optional<MtoolsDrive> mtools_;
    bool batchOpen_ = false;
    mutable Stamp stamp_;
    mutable std::map<Path, std::shared_ptr<const MdirListing>> cache_;
    mutable std::map<Path, std::string> extracted_;
    mutable unsigned copies_ = 0;
};

}  // namespace

std::unique_ptr<DriveBackend> makeMtoolsFloppyBackend(const std::string& deviceOrImage)
{
    return std::make_unique<MtoolsFloppyBackend>(deviceOrImage);
}

}  // namespace iradudo
