// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_platform.h"

#include "platform/dos_path.h"
#include "platform/drives/drive_backend.h"
#include "platform/drives/image_copies.h"
#include "platform/io_error.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
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
            else if (!drive.floppy.empty())
                backend = makeMtoolsFloppyBackend(drive.floppy);
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

std::optional<LinuxPlatform::Location> LinuxPlatform::literalLocation(const std::string& path) const
{
    // Only "\\" and ":" make a DOS path out of one name; without them the name
    // resolves below as the one component it is (most lookups stop here).
    if (currentDrive_ == 0 || path.find_first_of("\\:") == std::string::npos)
        return std::nullopt;
    Location location{currentDrive_, driveDirectories_[static_cast<std::size_t>(currentDrive_ - 'A')]};
    if (path == dosPathOf(location))
        return location;
    if (path.find('/') != std::string::npos)
        return std::nullopt;
    const DriveBackend* backend = backendOf(currentDrive_);
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
    Resolved result;
    // A name taken from a file list is that entry of the current directory before
    // it is read as a path: on Linux and on Amiga discs "C:X" and "A\\B" are names.
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
    const DriveBackend* backend = backendOf(letter);
    if (!backend) {
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
        return backendOf(currentDrive_)->openBare(name);
    const Resolved target = resolve(name, false);
    if (target.errorCode != 0)
        return {};
    return backendOf(target.location.drive)->open(target.location.components);
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
    std::optional<CommandLine> command = parseCommandLine(commandLine);
    if (!command)
        return false;
    // An opener cannot reach into an image or an unmounted floppy: it gets a copy.
    // The name is resolved first, so "C:X" listed on an image is that file.
    if (command->kind == CommandLine::Kind::Start) {
        const Resolved target = resolve(command->name, false);
        const char letter = target.errorCode == 0 ? target.location.drive
            : hasDriveLetter(command->name)       ? driveLetterOf(command->name)
                                                  : currentDrive_;
        const DriveBackend* backend = backendOf(letter);
        if (backend && !backend->hasHostPaths())
            return target.errorCode == 0 && backend->startCopy(target.location.components, *fileCopies_, *launcher_);
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
