// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_platform.h"

#include "platform/amiga_disk.h"
#include "platform/dos_path.h"
#include "platform/drives/drive_backend.h"
#include "platform/drives/image_copies.h"
#include "platform/io_error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <sys/stat.h>
#include <unistd.h>

namespace iradudo {

struct LinuxPlatform::Resolved {
    Location location;  // the full path, last component included
    std::string hostPath;
    int errorCode = 0;  // Windows code when the path cannot be resolved
    bool lastExists = true;
};

LinuxPlatform::LinuxPlatform(DriveTable drives, std::shared_ptr<CommandLauncher> launcher)
    : launcher_(launcher ? std::move(launcher) : std::make_shared<DetachedLauncher>()),
      fileCopies_(std::make_unique<ImageCopies>())
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
        std::unique_ptr<DriveBackend>& backend = backends_[static_cast<std::size_t>(drive.letter - 'A')];
        try {
            if (drive.image)
                backend = makeDiscImageBackend(drive.root);
            else if (!drive.floppy.empty() && isAmigaDiskPath(drive.floppy))
                backend = makeAdfBackend(drive.floppy);
            else if (!drive.floppy.empty())
                backend = makeFatFloppyBackend(drive.floppy);
            else if (!drive.root.empty())
                backend = makeHostDirectoryBackend(drive.root);
        } catch (const std::exception&) {
            // Left without a backend, the drive reports no medium.
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
    if (DriveBackend* backend = backendOf(currentDrive_))
        backend->startIn(driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]);
}

LinuxPlatform::~LinuxPlatform() = default;

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
    if (const DriveBackend* backend = drive ? backendOf(letter) : nullptr) {
        if (std::optional<std::string> label = backend->volumeLabel())
            return *label;
    }
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

DriveBackend* LinuxPlatform::backendOf(char letter) const
{
    const Drive* drive = drives_.find(letter);
    return drive ? backends_[static_cast<std::size_t>(drive->letter - 'A')].get() : nullptr;
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

bool LinuxPlatform::isLeafInCurrentDirectory(const std::string& name) const
{
    const DriveBackend* backend = backendOf(currentDrive_);
    if (!backend || !backend->answersBareNames() || name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        if (c == '\\' || c == '/')
            return false;
    }
    return !hasDriveLetter(name);
}

LinuxPlatform::Location LinuxPlatform::currentLocation() const
{
    if (currentDrive_ == 0)
        return {};
    return {currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]};
}

std::optional<LinuxPlatform::Location> LinuxPlatform::literalLocation(
    const Location& base, const std::string& path) const
{
    // Only "\\" and ":" make a DOS path out of one name; without them the name
    // resolves below as the one component it is (most lookups stop here).
    if (base.drive == 0 || path.find_first_of("\\:") == std::string::npos)
        return std::nullopt;
    Location location = base;
    if (path == dosPathOf(location))
        return location;
    if (path.find('/') != std::string::npos)
        return std::nullopt;
    const DriveBackend* backend = backendOf(base.drive);
    if (!backend)
        return std::nullopt;
    location.components.push_back(path);
    try {
        const std::optional<FileEntry> entry = backend->entry(location.components);
        if (!entry || entry->name != path)
            return std::nullopt;
    } catch (const EInOutError&) {
        return std::nullopt;
    }
    return location;
}

LinuxPlatform::Resolved LinuxPlatform::resolve(const std::string& path, bool lastMayBeMissing) const
{
    return resolveIn(currentLocation(), path, lastMayBeMissing);
}

LinuxPlatform::Resolved LinuxPlatform::resolveIn(
    const Location& base, const std::string& path, bool lastMayBeMissing) const
{
    Resolved result;
    // A name taken from a file list is that entry of its directory before it is
    // read as a path: on Linux and on Amiga discs "C:X" and "A\\B" are names.
    // The directory's own path is taken as it stands, since a name in it may hold
    // the separator.
    if (const std::optional<Location> literal = literalLocation(base, path)) {
        result.location = *literal;
        result.hostPath = hostPathOf(result.location);
        return result;
    }
    std::string_view rest = path;
    char letter = base.drive;
    if (hasDriveLetter(rest)) {
        letter = driveLetterOf(rest);
        rest.remove_prefix(2);
    }
    const Drive* drive = drives_.find(letter);
    if (!drive) {
        result.errorCode = ErrorInvalidDrive;
        return result;
    }
    const DriveBackend* backend = backendOf(letter);
    if (!backend) {
        result.errorCode = ErrorNotReady;
        return result;
    }
    result.location.drive = letter;
    const bool absolute = !rest.empty() && isDosSeparator(rest.front());
    if (!absolute) {
        result.location.components
            = letter == base.drive ? base.components : driveDirectories_[static_cast<std::size_t>(letter - 'A')];
    }
    // Only the current directory itself may be answered from a name batch.
    const bool startsInCurrent = !absolute && letter == currentDrive_
        && result.location.components == driveDirectories_[static_cast<std::size_t>(letter - 'A')];

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
        try {
            actual = backend->matchName(components, part, inCurrent);
        } catch (const EInOutError& error) {
            result.errorCode = error.errorCode();
            return result;
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
    backendOf(target.location.drive)->enter(target.location.components);
    currentDrive_ = target.location.drive;
    driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')] = target.location.components;
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
    const DriveBackend* backend = backendOf(target.location.drive);
    if (!backend)
        throw EInOutError(ErrorNotReady);
    backend->list(target.location.components, onEntry);
}

std::optional<FileEntry> LinuxPlatform::findEntry(const std::string& name) const
{
    // Bare names in the current directory (every listing lookup) are answered in
    // place where the drive can.
    if (isLeafInCurrentDirectory(name))
        return backendOf(currentDrive_)->bareEntry(name);
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return std::nullopt;
    return backendOf(target.location.drive)->entry(target.location.components);
}

bool LinuxPlatform::fileExists(const std::string& name) const
{
    const std::optional<FileEntry> entry = findEntry(name);
    return entry && !entry->isDirectory();
}

FileHandle LinuxPlatform::openFile(const std::string& name) const
{
    if (isLeafInCurrentDirectory(name))
        return backendOf(currentDrive_)->openBare(name, false);
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return {};
    return backendOf(target.location.drive)->open(target.location.components);
}

std::optional<LinuxPlatform::Location> LinuxPlatform::directoryLocation(const std::string& directory) const
{
    // The current directory's own path stands for it as it is, since a name in it
    // may hold the separator.
    if (directory.empty() || directory == currentDirectory())
        return currentDrive_ == 0 ? std::nullopt : std::optional<Location>(currentLocation());
    // Any other directory is a path with its drive, as the directory source
    // reports it, and never an entry name of the current directory.
    if (!hasDriveLetter(directory))
        return std::nullopt;
    const Resolved target = resolveIn(Location{}, directory, false);
    if (target.errorCode != 0)
        return std::nullopt;
    try {
        const std::optional<FileEntry> entry = backendOf(target.location.drive)->entry(target.location.components);
        if (!entry || !entry->isDirectory())
            return std::nullopt;
    } catch (const EInOutError&) {
        return std::nullopt;
    }
    return target.location;
}

ListedFile LinuxPlatform::openListedFile(const std::string& directory, const std::string& name) const
{
    const std::optional<Location> base = directoryLocation(directory);
    if (!base || name.empty())
        throw EFOpenError(name);
    const Resolved target = resolveIn(*base, name, false);
    if (target.errorCode != 0 || target.location.components.empty())
        throw EFOpenError(name);
    ListedFile file;
    try {
        file.handle = backendOf(target.location.drive)->open(target.location.components);
    } catch (const EInOutError&) {
        throw EFOpenError(name);
    }
    struct stat status { };
    if (!file.handle.valid() || ::fstat(file.handle.fd(), &status) != 0 || !S_ISREG(status.st_mode))
        throw EFOpenError(name);
    file.name = target.location.components.back();
    file.size = status.st_size;
    return file;
}

FileHandle LinuxPlatform::openListedRegularFile(const std::string& name) const
{
    if (isLeafInCurrentDirectory(name))
        return backendOf(currentDrive_)->openBare(name, true);
    return openFile(name);
}

bool LinuxPlatform::readListedRegularFileHead(const std::string& name, std::size_t maxBytes, std::string& bytes) const
{
    if (isLeafInCurrentDirectory(name)) {
        FileHandle file = backendOf(currentDrive_)->openBare(name, true);
        return readHead(file, maxBytes, bytes);
    }
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return false;
    return backendOf(target.location.drive)->readHead(target.location.components, maxBytes, bytes);
}

void LinuxPlatform::beginNameBatch()
{
    if (batchDepth_++ == 0) {
        for (const std::unique_ptr<DriveBackend>& backend : backends_) {
            if (backend)
                backend->batchBegan();
        }
    }
}

void LinuxPlatform::endNameBatch()
{
    if (batchDepth_ > 0 && --batchDepth_ == 0) {
        for (const std::unique_ptr<DriveBackend>& backend : backends_) {
            if (backend)
                backend->batchEnded();
        }
    }
}

bool LinuxPlatform::copyFile(const std::string& source, const std::string& destination)
{
    const Resolved from = resolve(source, false);
    const Resolved to = resolve(destination, true);
    if (from.errorCode != 0 || to.errorCode != 0 || to.location.components.empty()
        || !backendOf(to.location.drive)->writable())
        return false;
    return backendOf(from.location.drive)->copyOut(from.location.components, to.hostPath);
}

bool LinuxPlatform::runCommandLine(const std::string& commandLine)
{
    const std::optional<CommandLine> command = parseCommandLine(commandLine);
    if (!command)
        return false;
    if (command->kind == CommandLine::Kind::Start)
        return currentDrive_ != 0 && startIn(currentLocation(), command->name);
    return launcher_->launch(
        commandArguments(*command), currentDrive_ == 0 ? std::string() : hostPathOf(currentLocation()));
}

bool LinuxPlatform::startListedFile(const std::string& directory, const std::string& name)
{
    const std::optional<Location> base = directoryLocation(directory);
    return base && !name.empty() && startIn(*base, name);
}

bool LinuxPlatform::startIn(const Location& base, const std::string& name)
{
    // The name is resolved first, so "C:X" listed on an image is that file.
    const Resolved target = resolveIn(base, name, true);
    DriveBackend* backend = target.errorCode == 0 ? backendOf(target.location.drive) : nullptr;
    if (!backend || target.location.components.empty())
        return false;
    // An opener cannot reach into an image or an unmounted floppy: it gets a copy.
    if (!backend->hasHostPaths())
        return target.lastExists && backend->startCopy(target.location.components, *fileCopies_, *launcher_);
    // The opener is handed the host path the name resolved to, absolute, so neither
    // a leading "-" nor a "scheme:" in a name is read as anything else. A name that
    // finds nothing goes too: the opener says what it cannot open, as for any file.
    const CommandLine start{CommandLine::Kind::Start, target.hostPath, {}};
    return launcher_->launch(commandArguments(start), hostPathOf(base));
}

}  // namespace iradudo
