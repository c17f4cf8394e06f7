// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_platform.h"

#include "platform/dos_path.h"
#include "platform/file_copy.h"
#include "platform/io_error.h"
#include "platform/iso_image.h"
#include "platform/name_cache.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
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

// A file of a disc image as an open handle on a memory copy of its bytes.
FileHandle openImageFile(const IsoImage& image, const std::vector<std::string>& path)
{
    constexpr std::uint64_t kMaxBytes = std::uint64_t{1} << 30;
    const std::optional<IsoEntry> entry = image.findEntry(path);
    return entry ? memoryCopy(image, *entry, kMaxBytes) : FileHandle();
}

}  // namespace

struct LinuxPlatform::Resolved {
    Location location;  // the full path, last component included
    std::string hostPath;
    int errorCode = 0;  // Windows code when the path cannot be resolved
    bool lastExists = true;
};

LinuxPlatform::LinuxPlatform(DriveTable drives, std::shared_ptr<CommandLauncher> launcher)
    : launcher_(launcher ? std::move(launcher) : std::make_shared<DetachedLauncher>())
{
    // Roots are kept canonical so the working directory can be mapped back onto them.
    std::vector<Drive> list = drives.drives();
    for (Drive& drive : list) {
        char resolved[PATH_MAX];
        if (!drive.root.empty() && ::realpath(drive.root.c_str(), resolved))
            drive.root = resolved;
    }
    drives_ = DriveTable(std::move(list));
    for (const Drive& drive : drives_.drives()) {
        try {
            if (drive.image)
                images_[static_cast<std::size_t>(drive.letter - 'A')] = std::make_unique<IsoImage>(drive.root);
        } catch (const Exception&) {
            // Left without an image, the drive reports no medium.
        }
    }

    char cwd[PATH_MAX];
    const std::string workingDirectory = ::getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
    if (const std::optional<Location> start = locationOfHostPath(workingDirectory)) {
        currentDrive_ = start->drive;
        driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')] = start->components;
    } else {
        for (const Drive& drive : drives_.drives()) {
            if (!drive.root.empty()) {
                currentDrive_ = drive.letter;
                [[maybe_unused]] const int ignored = ::chdir(drive.root.c_str());
                break;
            }
        }
    }
    if (currentDrive_ != 0)
        enteredDirectory(hostPathOf({currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]}));
}

LinuxPlatform::~LinuxPlatform()
{
    if (currentDirectoryFd_ >= 0)
        ::close(currentDirectoryFd_);
}

std::optional<LinuxPlatform::Location> LinuxPlatform::locationOfHostPath(const std::string& canonicalPath) const
{
    std::optional<Location> best;
    std::size_t bestLength = 0;
    for (const Drive& drive : drives_.drives()) {
        const std::string& root = drive.root;
        if (root.empty() || canonicalPath.empty())
            continue;
        const bool inside = canonicalPath == root
            || (canonicalPath.compare(0, root.size(), root) == 0
                && (root.back() == '/' || canonicalPath[root.size()] == '/'));
        if (inside && (!best || root.size() > bestLength)) {
            bestLength = root.size();
            best = Location{drive.letter, splitDosPath(std::string_view(canonicalPath).substr(root.size()))};
        }
    }
    return best;
}

std::optional<std::string> LinuxPlatform::dosPathForHostPath(const std::string& hostPath) const
{
    char resolved[PATH_MAX];
    if (!::realpath(hostPath.c_str(), resolved))
        return std::nullopt;
    const std::optional<Location> location = locationOfHostPath(resolved);
    if (!location)
        return std::nullopt;
    return dosPathOf(*location);
}

std::unique_ptr<LinuxPlatform> LinuxPlatform::fromSystem(const std::vector<std::string>& discDirectories)
{
    return std::make_unique<LinuxPlatform>(buildSystemDriveTable(discDirectories));
}

std::uint32_t LinuxPlatform::logicalDrives() const
{
    return drives_.presentMask();
}

int LinuxPlatform::driveType(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive ? drive->type : DriveUnknown;
}

std::string LinuxPlatform::volumeLabel(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive && !drive->root.empty() ? drive->label : std::string();
}

std::optional<std::string> LinuxPlatform::networkName(char letter) const
{
    const Drive* drive = drives_.find(letter);
    if (!drive || drive->type != DriveRemote || drive->remoteName.empty())
        return std::nullopt;
    return drive->remoteName;
}

std::string LinuxPlatform::driveRoot(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive ? drive->root : std::string();
}

const IsoImage* LinuxPlatform::imageOf(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive && drive->image ? images_[static_cast<std::size_t>(drive->letter - 'A')].get() : nullptr;
}

std::string LinuxPlatform::dosPathOf(const Location& location)
{
    return joinDosPath(location.drive, location.components);
}

std::string LinuxPlatform::hostPathOf(const Location& location) const
{
    const Drive* drive = drives_.find(location.drive);
    std::string path = drive ? drive->root : std::string();
    for (const std::string& component : location.components) {
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path += component;
    }
    return path;
}

std::string LinuxPlatform::currentDirectory() const
{
    if (currentDrive_ == 0)
        return {};
    return dosPathOf({currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]});
}

std::optional<std::string> LinuxPlatform::batchMatch(
    const std::string& hostDirectory, const std::string& name, unsigned char* type) const
{
    const char* found = batchLookup(hostDirectory, name, type);
    return found ? std::optional<std::string>(found) : std::nullopt;
}

const char* LinuxPlatform::batchLookup(
    const std::string& hostDirectory, const std::string& name, unsigned char* type) const
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

std::optional<std::string> LinuxPlatform::scanMatch(const std::string& hostDirectory, const std::string& name) const
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

std::optional<std::string> LinuxPlatform::matchName(
    const std::string& hostDirectory, const std::string& name, bool inCurrentDirectory) const
{
    if (batchDepth_ > 0 && inCurrentDirectory)
        return batchMatch(hostDirectory, name);
    int error = 0;
    const std::string exactPath = hostDirectory + (hostDirectory.ends_with('/') ? "" : "/") + name;
    if (entryExists(exactPath, error) || error != ENOENT)
        return name;  // other errors show when the entry is used
    return scanMatch(hostDirectory, name);
}

bool LinuxPlatform::isLeafInCurrentDirectory(const std::string& name) const
{
    if (currentDirectoryFd_ < 0 || name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        if (c == '\\' || c == '/')
            return false;
    }
    return !hasDriveLetter(name);
}

void LinuxPlatform::enteredDirectory(const std::string& hostPath)
{
    if (currentDirectoryFd_ >= 0)
        ::close(currentDirectoryFd_);
    currentDirectoryFd_ = hostPath.empty() ? -1 : ::open(hostPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    currentHostPath_ = hostPath;
    if (batchCache_ && batchCache_->hostDirectory() != hostPath)
        batchCache_.reset();
}

std::optional<LinuxPlatform::Location> LinuxPlatform::literalLocation(const std::string& path) const
{
    if (currentDrive_ == 0 || path.empty())
        return std::nullopt;
    Location location{currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]};
    if (path == dosPathOf(location))
        return location;
    // Only "\" and ":" make a DOS path out of one name; without them the name
    // resolves below as the one component it is.
    if (path == "." || path == ".." || path.find('/') != std::string::npos
        || path.find_first_of("\\:") == std::string::npos)
        return std::nullopt;
    location.components.push_back(path);
    if (const IsoImage* image = imageOf(currentDrive_)) {
        try {
            const std::optional<IsoEntry> entry = image->findEntry(location.components);
            if (!entry || entry->name != path)
                return std::nullopt;
        } catch (const EInOutError&) {
            return std::nullopt;
        }
        return location;
    }
    struct stat info { };
    if (currentDirectoryFd_ < 0 || ::fstatat(currentDirectoryFd_, path.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return location;
}

LinuxPlatform::Resolved LinuxPlatform::resolve(const std::string& path, bool lastMayBeMissing) const
{
    Resolved result;
    // A name taken from a file list is that entry of the current directory before
    // it is read as a path: on Linux and on Amiga discs "C:X" and "A\B" are names.
    // The current directory's own path is taken as it stands, since a name in it
    // may hold the separator.
    if (const std::optional<Location> literal = literalLocation(path)) {
        result.location = *literal;
        result.hostPath = hostPathOf(result.location);
        return result;
    }
    std::string_view rest = path;
    char letter = currentDrive_;
    if (hasDriveLetter(rest)) {
        letter = driveLetterOf(rest);
        rest.remove_prefix(2);
    }
    const Drive* drive = drives_.find(letter);
    if (!drive) {
        result.errorCode = ErrorInvalidDrive;
        return result;
    }
    const IsoImage* image = imageOf(letter);
    if (drive->root.empty() || (drive->image && !image)) {
        result.errorCode = ErrorNotReady;
        return result;
    }
    result.location.drive = letter;
    const bool absolute = !rest.empty() && isDosSeparator(rest.front());
    if (!absolute)
        result.location.components = driveDirectories_[static_cast<std::size_t>(letter - 'A')];
    const bool startsInCurrent = !absolute && letter == currentDrive_;

    std::vector<std::string>& components = result.location.components;
    // ".." takes back the component before it in the text itself, whether or not
    // that one still exists (the parent of a vanished directory can be entered).
    std::vector<std::string> parts;
    for (const std::string& part : splitDosPath(rest)) {
        if (part == ".")
            continue;
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else
            parts.push_back(part);
    }
    bool inCurrent = startsInCurrent;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part == ".")
            continue;
        if (part == "..") {
            if (!components.empty())
                components.pop_back();
            inCurrent = false;
            continue;
        }
        std::optional<std::string> actual;
        if (image) {
            std::vector<std::string> below = components;
            below.push_back(part);
            try {
                const std::optional<IsoEntry> entry = image->findEntry(below);
                if (entry)
                    actual = entry->name;
            } catch (const EInOutError& error) {
                result.errorCode = error.errorCode();
                return result;
            }
        } else {
            actual = matchName(hostPathOf(result.location), part, inCurrent);
        }
        inCurrent = false;
        const bool last = i + 1 == parts.size();
        if (!actual) {
            if (!last) {
                result.errorCode = ErrorPathNotFound;
                return result;
            }
            if (!lastMayBeMissing) {
                result.errorCode = ErrorFileNotFound;
                return result;
            }
            result.lastExists = false;
            components.push_back(part);
            break;
        }
        components.push_back(*actual);
    }
    result.hostPath = hostPathOf(result.location);
    return result;
}

void LinuxPlatform::setCurrentDirectory(const std::string& path)
{
    const Resolved target = resolve(path, false);
    if (target.errorCode != 0)
        throw EInOutError(target.errorCode);
    if (const IsoImage* image = imageOf(target.location.drive)) {
        // The process's working directory cannot follow into an image; bare names
        // then resolve through the image like any other path.
        const std::optional<IsoEntry> entry = image->findEntry(target.location.components);
        if (!entry || !entry->directory)
            throw EInOutError(ErrorDirectory);
        currentDrive_ = target.location.drive;
        driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')] = target.location.components;
        enteredDirectory({});
        return;
    }
    if (::chdir(target.hostPath.c_str()) != 0)
        throw EInOutError(windowsErrorFromErrno(errno));
    currentDrive_ = target.location.drive;
    driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')] = target.location.components;
    enteredDirectory(target.hostPath);
}

void LinuxPlatform::readDirectory(const std::string& path, const std::function<void(const FileEntry&)>& onEntry) const
{
    Resolved target;
    if (path.empty()) {
        if (currentDrive_ == 0)
            throw EInOutError(ErrorInvalidDrive);
        target.location = {currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]};
        target.hostPath = hostPathOf(target.location);
    } else {
        target = resolve(path, false);
        if (target.errorCode != 0)
            throw EInOutError(target.errorCode);
    }
    const bool atRoot = target.location.components.empty();
    if (const IsoImage* image = imageOf(target.location.drive)) {
        const std::vector<IsoEntry> entries = image->listDirectory(target.location.components);
        if (!atRoot) {
            for (const char* dots : {".", ".."})
                onEntry(FileEntry{dots, faReadOnly | faDirectory, 0});
        }
        for (const IsoEntry& entry : entries)
            onEntry(entryFromImage(entry));
        return;
    }

    DIR* dir = ::opendir(target.hostPath.c_str());
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

std::optional<FileEntry> LinuxPlatform::findEntry(const std::string& name) const
{
    // Bare names in the current directory (every listing lookup) take one fstatat.
    // Names from a file list exist as given, so the exact name goes first. A link
    // that leads nowhere (dangling or looping) is no entry: it has no size, and
    // reading it fails, like an entry that vanished.
    if (isLeafInCurrentDirectory(name)) {
        struct stat info { };
        if (::fstatat(currentDirectoryFd_, name.c_str(), &info, 0) == 0)
            return entryFromStat(name, info);
        if (errno != ENOENT)
            return std::nullopt;
        const std::optional<std::string> actual
            = batchDepth_ > 0 ? batchMatch(currentHostPath_, name) : scanMatch(currentHostPath_, name);
        if (!actual || *actual == name)
            return std::nullopt;
        if (::fstatat(currentDirectoryFd_, actual->c_str(), &info, 0) == 0)
            return entryFromStat(*actual, info);
        return std::nullopt;
    }
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return std::nullopt;
    if (const IsoImage* image = imageOf(target.location.drive)) {
        try {
            std::optional<IsoEntry> entry = image->findEntry(target.location.components);
            if (!entry)
                return std::nullopt;
            if (target.location.components.empty())
                entry->name.clear();
            return entryFromImage(*entry);
        } catch (const EInOutError&) {
            return std::nullopt;
        }
    }
    struct stat info { };
    if (::stat(target.hostPath.c_str(), &info) != 0)
        return std::nullopt;
    const auto& components = target.location.components;
    return entryFromStat(components.empty() ? std::string() : components.back(), info);
}

bool LinuxPlatform::fileExists(const std::string& name) const
{
    const std::optional<FileEntry> entry = findEntry(name);
    return entry && !entry->isDirectory();
}

FileHandle LinuxPlatform::openFile(const std::string& name) const
{
    if (!isLeafInCurrentDirectory(name)) {
        const Resolved target = resolve(name, false);
        if (target.errorCode != 0)
            return {};
        if (const IsoImage* image = imageOf(target.location.drive)) {
            try {
                return openImageFile(*image, target.location.components);
            } catch (const EInOutError&) {
                return {};
            }
        }
        return openRegularFile(target.hostPath);
    }
    if (batchDepth_ > 0) {
        unsigned char type = DT_UNKNOWN;
        const char* actual = batchLookup(currentHostPath_, name, &type);
        if (!actual || type == DT_DIR)
            return {};
        return openRegularFileAt(currentDirectoryFd_, actual, type == DT_REG);
    }
    FileHandle file = openRegularFileAt(currentDirectoryFd_, name.c_str());
    if (!file.valid() && errno == ENOENT) {
        if (const std::optional<std::string> actual = scanMatch(currentHostPath_, name))
            file = openRegularFileAt(currentDirectoryFd_, actual->c_str());
    }
    return file;
}

void LinuxPlatform::beginNameBatch()
{
    ++batchDepth_;
}

void LinuxPlatform::endNameBatch()
{
    if (batchDepth_ > 0 && --batchDepth_ == 0)
        batchCache_.reset();
}

bool LinuxPlatform::copyFile(const std::string& source, const std::string& destination)
{
    const Resolved from = resolve(source, false);
    const Resolved to = resolve(destination, true);
    if (from.errorCode != 0 || to.errorCode != 0 || to.location.components.empty() || imageOf(to.location.drive))
        return false;
    if (imageOf(from.location.drive)) {
        FileHandle file = openFile(source);
        return copyFileReplacing(file, to.hostPath);
    }
    return copyFileReplacing(from.hostPath, to.hostPath);
}

bool LinuxPlatform::runCommandLine(const std::string& commandLine)
{
    std::optional<CommandLine> command = parseCommandLine(commandLine);
    if (!command)
        return false;
    // An opener cannot reach into an image: it gets a copy of the file.
    const char letter = hasDriveLetter(command->name) ? driveLetterOf(command->name) : currentDrive_;
    if (command->kind == CommandLine::Kind::Start && imageOf(letter) != nullptr) {
        const Resolved target = resolve(command->name, false);
        return target.errorCode == 0
            && startImageFile(*imageOf(letter), target.location.components, imageCopies_, *launcher_);
    }
    // A bare name opens the file its case-insensitive lookup finds, as listed.
    const bool bareName = command->name.find_first_of("\\/:") == std::string::npos;
    if (command->kind == CommandLine::Kind::Start && bareName && currentDrive_ != 0) {
        const Resolved target = resolve(command->name, true);
        if (target.errorCode == 0 && target.lastExists)
            command->name = target.location.components.back();
    }
    const std::string workingDirectory = currentDrive_ == 0
        ? std::string()
        : hostPathOf({currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]});
    return launcher_->launch(commandArguments(*command), workingDirectory);
}

}  // namespace iradudo
